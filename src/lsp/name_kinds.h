// What the editor is told of each kind of name: its SymbolKind and
// CompletionItemKind numbers, and the word that introduces it.
#ifndef KOLVU_LSP_NAME_KINDS_H_
#define KOLVU_LSP_NAME_KINDS_H_

#include "lsp/source_names.h"

namespace kolvu {

/// SymbolKind: a function-like macro, a function or a prototype as a
/// function, another macro as a constant, a typedef as a class, a struct or
/// union as a struct, an enum, an enumerator as an enum member, a member as
/// a field, a variable or extern as a variable.
int symbol_kind(NameKind kind);

/// CompletionItemKind, by the same reading.
int completion_kind(NameKind kind);

/// "#define", "typedef", "struct", "union", "function", "prototype",
/// "enum", "enumerator", "member", "variable" or "extern".
const char *kind_word(NameKind kind);

}  // namespace kolvu

#endif  // KOLVU_LSP_NAME_KINDS_H_
