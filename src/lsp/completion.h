// Completion of the names the index knows: those that begin with the part
// of the identifier before the cursor, in name order, each once, with its
// kind and the first line of its definition (a member's or enumerator's own
// line) as detail.
#ifndef KOLVU_LSP_COMPLETION_H_
#define KOLVU_LSP_COMPLETION_H_

#include <string>

#include <nlohmann/json.hpp>

#include "lsp/query_context.h"

namespace kolvu {

/// A completion lists at most this many names, then says it is incomplete.
const size_t kCompletionLimit = 100;

/// A detail shows at most this many bytes of its line.
const size_t kDetailBytes = 160;

/// The CompletionList for (line, character) of path.
nlohmann::json complete(QueryContext &ctx, const std::string &path, long line, long character);

}  // namespace kolvu

#endif  // KOLVU_LSP_COMPLETION_H_
