// Bytes read as text: the text ends at the first Ctrl-Z, and carriage
// returns are dropped, the place of each run noted so that positions in the
// text can be taken back to the source.
#ifndef KOLVU_UTIL_TEXT_COOK_H_
#define KOLVU_UTIL_TEXT_COOK_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kolvu {

/// The count of raw's n bytes before its first Ctrl-Z (0x1A); n without one.
inline size_t before_ctrl_z(const char *raw, size_t n) {
  const void *z = std::memchr(raw, 0x1A, n);
  return z == nullptr ? n : static_cast<size_t>(static_cast<const char *>(z) - raw);
}

/// Moves raw[0, n) to out without its carriage returns, a run between two
/// at a time; out may be raw itself (the text moves down in place) or a
/// buffer apart from it. After each run of carriage returns calls
/// note(written, dropped): the bytes written so far and the carriage
/// returns dropped so far. Returns the bytes written, or SIZE_MAX when a
/// note returned false (memory ran out).
template <class Note>
size_t drop_carriage_returns(const char *raw, size_t n, char *out, Note &&note) {
  const char *const end = raw + n;
  const char *in = static_cast<const char *>(std::memchr(raw, '\r', n));
  size_t to = in == nullptr ? n : static_cast<size_t>(in - raw);
  if (out != raw) std::memmove(out, raw, to);
  size_t dropped = 0;
  while (in != nullptr) {  // at a run of carriage returns
    const char *const run = in;
    do ++in;
    while (in < end && *in == '\r');
    dropped += static_cast<size_t>(in - run);
    if (!note(to, dropped)) return SIZE_MAX;
    const char *const next = static_cast<const char *>(std::memchr(in, '\r', static_cast<size_t>(end - in)));
    const size_t kept = static_cast<size_t>((next == nullptr ? end : next) - in);
    std::memmove(out + to, in, kept);
    to += kept;
    in = next;
  }
  return to;
}

}  // namespace kolvu

#endif  // KOLVU_UTIL_TEXT_COOK_H_
