#include "common/kinds.h"

namespace kolvu {

namespace {

struct KindLetter {
  char letter;
  DefKind kind;
  int bits;  // the kind bits the letter selects
};

// In the order of DefKind.
constexpr KindLetter kKinds[] = {
    {'d', DefKind::kDefine, DEF_SINGLE | DEF_CONT},
    {'t', DefKind::kTypedef, TD_SIMPLE | TD_BLOCK},
    {'s', DefKind::kStruct, SU_STRUCT},
    {'u', DefKind::kUnion, SU_UNION},
    {'f', DefKind::kFunction, FN_BODY},
    {'p', DefKind::kPrototype, FN_PROTO},
    {'g', DefKind::kEnum, EN_TYPE},
    {'e', DefKind::kEnumerator, EN_CONST},
    {'m', DefKind::kMember, SU_MEMBER},
    {'v', DefKind::kVariable, VAR_DEF},
    {'x', DefKind::kExtern, VAR_EXTERN},
};

constexpr bool in_kind_order() {
  int i = 0;
  for (const KindLetter &kl : kKinds) {
    if (static_cast<int>(kl.kind) != i++) return false;
  }
  return i == static_cast<int>(DefKind::kExtern) + 1;
}
static_assert(in_kind_order(), "kKinds has one entry for each DefKind, in its order");

const KindLetter &of(DefKind kind) { return kKinds[static_cast<int>(kind)]; }

}  // namespace

const int kDefaultKinds = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;

bool parse_kind_letters(std::string_view value, int *kinds) {
  if (value == "all") {
    *kinds = ALL_KINDS;
    return true;
  }
  int k = 0;
  for (char c : value) {
    const KindLetter *found = nullptr;
    for (const KindLetter &kl : kKinds) {
      if (kl.letter == c) found = &kl;
    }
    if (found == nullptr) return false;
    k |= found->bits;
  }
  if (k == 0) return false;
  *kinds = k;
  return true;
}

const char *kind_letter_list() { return "d, e, f, g, m, p, s, t, u, v, x"; }

char kind_letter(DefKind kind) { return of(kind).letter; }

bool kind_asked(DefKind kind, int kinds) { return (of(kind).bits & kinds) != 0; }

}  // namespace kolvu
