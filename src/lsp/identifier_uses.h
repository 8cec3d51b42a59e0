// The names a source uses: every identifier in its code, outside comments
// and literals, in directives too, found by a walk on the scanner's lexical
// layer, so a Shift_JIS character whose second byte is a backslash never
// splices a line or escapes a quote, and no name begins inside a character.
// Not names: numbers, the directive's own word (define, ifdef ...), the
// header name of an #include, and the prefixes L, u, U and u8 of literals.
#ifndef KOLVU_LSP_IDENTIFIER_USES_H_
#define KOLVU_LSP_IDENTIFIER_USES_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {

struct IdentifierUse {
  uint32_t offset;     // of the name's first byte
  uint32_t length;
  uint32_t line;       // from 1
  uint32_t column;     // byte column in the line, from 1
  bool ascii_prefix;   // the line holds only ASCII before the name
};

/// The identifier uses of src read in encoding (kAuto as Shift_JIS), in
/// source order.
std::vector<IdentifierUse> identifier_uses(std::string_view src, Encoding encoding);

}  // namespace kolvu

#endif  // KOLVU_LSP_IDENTIFIER_USES_H_
