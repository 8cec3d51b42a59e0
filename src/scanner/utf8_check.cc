#include "scanner/utf8_check.h"

#include <cstdint>
#include <cstring>

namespace kolvu {

namespace {

bool is_cont(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

size_t ascii_prefix(const unsigned char *p, size_t n) {
  size_t i = 0;
  // Runs of ASCII, the bulk of any source, 32 bytes at a time, then eight.
  const uint64_t high = 0x8080808080808080ull;
  for (uint64_t w[4]; n - i >= 32; i += 32) {
    std::memcpy(w, p + i, 32);
    if (((w[0] | w[1] | w[2] | w[3]) & high) != 0) break;
  }
  for (uint64_t w; n - i >= 8; i += 8) {
    std::memcpy(&w, p + i, 8);
    if ((w & high) != 0) break;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

size_t utf8_lead_length(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
}

size_t utf8_char_length(const unsigned char *p, size_t n) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  if (c < 0xC2) return 0;  // a continuation byte, or an overlong lead
  if (c < 0xE0) return n >= 2 && is_cont(p[1]) ? 2 : 0;
  if (c < 0xF0) {
    if (n < 3 || !is_cont(p[1]) || !is_cont(p[2])) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
    if (c == 0xED && p[1] >= 0xA0) return 0;  // a surrogate
    return 3;
  }
  if (c < 0xF5) {
    if (n < 4 || !is_cont(p[1]) || !is_cont(p[2]) || !is_cont(p[3])) return 0;
    if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
    if (c == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace kolvu
