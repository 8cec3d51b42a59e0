// The answers the server gives from its index: the definitions of the name
// under the cursor, their texts for hover, workspace and document symbols.
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
#include "lsp/columns.h"
#include "lsp/documents.h"
#include "lsp/symbol_index.h"

namespace kolvu {

struct QueryContext {
  const SymbolIndex *index;
  const Documents *docs;
  PositionEncoding pe = PositionEncoding::kUtf16;
  std::vector<std::string> roots;  // workspace folders, absolute, no trailing '/'
  Encoding encoding = Encoding::kAuto;  // for a file not in the index
  Utf8Converter *conv;
  std::function<void(const std::string &)> log;       // a file that cannot be read
  std::function<void(const std::string &)> forget;    // drops a vanished file
  // Brings the files of hits up to date with the disk; true when any was not.
  std::function<bool(const std::vector<NameHit> &)> refresh;
};

/// Hover shows at most this many definitions, then "and N more".
const int kHoverLimit = 8;
/// workspace/symbol lists at most this many.
const size_t kSymbolLimit = 1000;

/// SymbolKind numbers: a function-like macro as a function, another macro
/// as a constant, a typedef as a class, a struct or union as a struct.
int symbol_kind(NameKind kind);

/// The word that introduces a definition of kind: "#define", "typedef",
/// "struct" or "union".
const char *kind_word(NameKind kind);

/// path relative to the workspace folder holding it, or path itself.
std::string relative_path(const std::vector<std::string> &roots, const std::string &path);

/// Location[] of every definition of the identifier at (line, character)
/// of the file path; null when none stands there.
nlohmann::json find_definitions(QueryContext &ctx, const std::string &path, long line,
                                long character);

/// Hover of the identifier at (line, character): null when none or when it
/// has no definition.
nlohmann::json hover(QueryContext &ctx, const std::string &path, long line, long character);

/// SymbolInformation[] of the names matching query, as JSON text.
std::string workspace_symbols(QueryContext &ctx, const std::string &query);

/// DocumentSymbol[] of the file path, in source order, as JSON text.
std::string document_symbols(QueryContext &ctx, const std::string &path);

}  // namespace kolvu

#endif  // KOLVU_LSP_QUERIES_H_
