// Bytes read as text: the text ends at the first Ctrl-Z, and carriage
// returns are dropped, the place of each run noted so that positions in the
// text can be taken back to the source.
#ifndef KOLVU_SCANNER_TEXT_COOK_H_
#define KOLVU_SCANNER_TEXT_COOK_H_

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
  size_t from = 0, to = 0, dropped = 0;
  for (;;) {
    const void *cr = std::memchr(raw + from, '\r', n - from);
    const size_t stop = cr == nullptr ? n : static_cast<size_t>(static_cast<const char *>(cr) - raw);
    if (out + to != raw + from) std::memmove(out + to, raw + from, stop - from);
    to += stop - from;
    if (cr == nullptr) return to;
    from = stop;
    while (from < n && raw[from] == '\r') ++from;
    dropped += from - stop;
    if (!note(to, dropped)) return SIZE_MAX;
  }
}

}  // namespace kolvu

#endif  // KOLVU_SCANNER_TEXT_COOK_H_
