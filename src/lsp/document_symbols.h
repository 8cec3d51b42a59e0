// The symbols of one document: its definitions in source order, as a tree
// (DocumentSymbol, members under their struct or union, enumerators under
// their enum, any definition inside a struct's, union's or enum's body
// under it) for a client that takes one, else as a flat list
// (SymbolInformation, the container named).
#ifndef KOLVU_LSP_DOCUMENT_SYMBOLS_H_
#define KOLVU_LSP_DOCUMENT_SYMBOLS_H_

#include <string>

#include "lsp/query_context.h"

namespace kolvu {

/// The answer to documentSymbol for the file path, as JSON text.
std::string document_symbols(QueryContext &ctx, const std::string &path, bool hierarchical);

}  // namespace kolvu

#endif  // KOLVU_LSP_DOCUMENT_SYMBOLS_H_
