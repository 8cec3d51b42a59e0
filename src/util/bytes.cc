// The byte-class table, built at compile time from the ranges in bytes.h.
#include "kolvu/bytes.h"

namespace kolvu {
namespace {

constexpr unsigned char classify(int c) {
  unsigned char k = 0;
  if ((c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) k |= kLead;
  if ((c >= 0x09 && c <= 0x0D) || c == 0x20) k |= kSpace;
  if (c == 0x20 || c == 0x09) k |= kBlank;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
    k |= kIdent;
  if (c >= 0xA1 && c <= 0xDF) k |= kKana;
  return k;
}

}  // namespace

const unsigned char byte_class[256] = {
#define K(c) classify(c)
#define K4(c) K(c), K(c + 1), K(c + 2), K(c + 3)
#define K16(c) K4(c), K4(c + 4), K4(c + 8), K4(c + 12)
#define K64(c) K16(c), K16(c + 16), K16(c + 32), K16(c + 48)
    K64(0), K64(64), K64(128), K64(192)
#undef K64
#undef K16
#undef K4
#undef K
};

}  // namespace kolvu
