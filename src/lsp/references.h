// The uses of the name under the cursor, from the index of uses: in every
// file of the workspace (references), with or without the places that
// define or declare it, and in the open document alone (highlights).
#ifndef KOLVU_LSP_REFERENCES_H_
#define KOLVU_LSP_REFERENCES_H_

#include <string>

#include "lsp/query_context.h"

namespace kolvu {

/// Location[] of every use of the identifier at (line, character) of path,
/// by file, in source order; without the definitions' and declarations' own
/// names unless include_declaration. As JSON text; "null" when no
/// identifier stands there.
std::string find_references(QueryContext &ctx, const std::string &path, long line, long character,
                            bool include_declaration);

/// DocumentHighlight[] of the uses in path of the identifier at (line,
/// character), as JSON text; "null" when none stands there.
std::string document_highlights(QueryContext &ctx, const std::string &path, long line,
                                long character);

}  // namespace kolvu

#endif  // KOLVU_LSP_REFERENCES_H_
