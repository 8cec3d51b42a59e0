// The kinds of definition kolvu-index and kolvu-lsp read, each named by
// one letter: d define, e enumerator, f function, g enum, m member,
// p prototype, s struct, t typedef, u union, v variable, x extern. A letter selects the
// scanner's kind bits that find its definitions and the names of its kind;
// a tags file marks each name with its kind's letter.
#ifndef KOLVU_COMMON_KINDS_H_
#define KOLVU_COMMON_KINDS_H_

#include <string_view>

#include "kolvu/scan.h"

namespace kolvu {

/// The kinds written when none are asked for: d, t, s and u.
extern const int kDefaultKinds;

/// Reads the value of --kinds into KindBits: letters in any order, each
/// any number of times, or "all" for every kind. False for an empty value
/// and for any other letter.
bool parse_kind_letters(std::string_view value, int *kinds);

/// The letters, as a usage message lists them: "d, e, f, ..., x".
const char *kind_letter_list();

/// The letter of a name's kind.
char kind_letter(DefKind kind);

/// True when kinds (KindBits) ask for names of kind.
bool kind_asked(DefKind kind, int kinds);

}  // namespace kolvu

#endif  // KOLVU_COMMON_KINDS_H_
