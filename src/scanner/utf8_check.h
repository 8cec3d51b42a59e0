// UTF-8 as the scanner library and its clients check it: plain ASCII passed
// eight bytes at a time, and one character's validity (no overlong forms,
// no surrogates, nothing above U+10FFFF).
#ifndef KOLVU_SCANNER_UTF8_CHECK_H_
#define KOLVU_SCANNER_UTF8_CHECK_H_

#include <cstddef>

namespace kolvu {

/// The number of bytes at the start of p (n bytes) below 0x80.
size_t ascii_prefix(const unsigned char *p, size_t n);

/// The bytes a UTF-8 character that begins with lead takes; 0 when none
/// may begin with it.
size_t utf8_lead_length(unsigned char lead);

/// The length of the valid UTF-8 character at the start of p (n > 0 bytes),
/// or 0 when none begins there.
size_t utf8_char_length(const unsigned char *p, size_t n);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_UTF8_CHECK_H_
