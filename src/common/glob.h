// Shell-style patterns for leaving paths out of a walk: '*' stands for any
// run of bytes but '/', '?' for one byte but '/', "[...]" for one byte of a
// set ("[a-z_]", "[!0-9]" or "[^0-9]" for its complement), and '\' makes the
// next byte plain. Bytes are compared as they are: no locale, no case
// folding.
#ifndef KOLVU_COMMON_GLOB_H_
#define KOLVU_COMMON_GLOB_H_

#include <string_view>

namespace kolvu {

/// True when the whole of text matches pattern.
bool glob_match(std::string_view pattern, std::string_view text);

}  // namespace kolvu

#endif  // KOLVU_COMMON_GLOB_H_
