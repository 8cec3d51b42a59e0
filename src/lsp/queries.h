// The answers the server gives from its index: the definitions of the name
// under the cursor, their texts for hover, workspace symbols.
// Each takes what it needs through a QueryContext and returns the result's
// JSON; positions are in the negotiated encoding, counted on each line as
// the editor shows it.
#ifndef KOLVU_LSP_QUERIES_H_
#define KOLVU_LSP_QUERIES_H_

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/utf8.h"
#include "lsp/query_context.h"

namespace kolvu {


/// Hover shows at most this many definitions, then "and N more".
const int kHoverLimit = 8;
/// workspace/symbol lists at most this many.
const size_t kSymbolLimit = 1000;

/// path relative to the workspace folder holding it, or path itself.
std::string relative_path(const std::vector<std::string> &roots, const std::string &path);

/// Location[] of every definition of the identifier at (line, character)
/// of the file path, those that define it (not prototypes or extern
/// declarations) when any does; with declarations, the prototypes and
/// extern declarations when there are any. Null when no identifier stands
/// there.
nlohmann::json find_definitions(QueryContext &ctx, const std::string &path, long line,
                                long character, bool declarations = false);

/// Hover of the identifier at (line, character): null when none or when it
/// has no definition.
nlohmann::json hover(QueryContext &ctx, const std::string &path, long line, long character);

/// SymbolInformation[] of the names matching query, as JSON text.
std::string workspace_symbols(QueryContext &ctx, const std::string &query);


}  // namespace kolvu

#endif  // KOLVU_LSP_QUERIES_H_
