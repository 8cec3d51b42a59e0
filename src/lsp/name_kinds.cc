#include "lsp/name_kinds.h"

namespace kolvu {

namespace {

struct KindInfo {
  int symbol;
  int completion;
  const char *word;
};

KindInfo info(NameKind kind) {
  switch (kind) {
    case NameKind::kMacro: return {14, 21, "#define"};          // Constant
    case NameKind::kFunctionMacro: return {12, 3, "#define"};   // Function
    case NameKind::kTypedef: return {5, 7, "typedef"};          // Class
    case NameKind::kStruct: return {23, 22, "struct"};          // Struct
    case NameKind::kUnion: return {23, 22, "union"};
    case NameKind::kFunction: return {12, 3, "function"};
    case NameKind::kPrototype: return {12, 3, "prototype"};
    case NameKind::kEnum: return {10, 13, "enum"};              // Enum
    case NameKind::kEnumerator: return {22, 20, "enumerator"};  // EnumMember
    case NameKind::kMember: return {8, 5, "member"};            // Field
    case NameKind::kVariable: return {13, 6, "variable"};       // Variable
    case NameKind::kExtern: return {13, 6, "extern"};
  }
  return {14, 21, "#define"};
}

}  // namespace

int symbol_kind(NameKind kind) { return info(kind).symbol; }
int completion_kind(NameKind kind) { return info(kind).completion; }
const char *kind_word(NameKind kind) { return info(kind).word; }

}  // namespace kolvu
