// In-place edits, case conversion and tab expansion.
#include "kolvu/text.h"

#include <cstring>

#include "kolvu/bytes.h"
#include "kolvu/exit_status.h"
#include "kolvu/textio.h"

namespace kolvu {

namespace {

const int kMaxColumns = 2048;
char expanded[kMaxColumns + 1];

inline int byte_at(const char *p) { return static_cast<unsigned char>(*p); }

[[noreturn]] void too_long(const char *text) {
  out_puts(text);
  out_puts(" ... too long\n");
  exit_process(kExitFailure);
}

}  // namespace

int insChar(char *s, int c) {
  std::memmove(s + 1, s, std::strlen(s) + 1);
  s[0] = static_cast<char>(c);
  return 0;
}

char *clear(char *buf, int c, int count) {
  if (count <= 0) return buf;
  std::memset(buf, c, static_cast<size_t>(count));
  return buf + count;
}

int to_upper(char *s) {
  for (char *p = s; *p != '\0'; ++p) {
    int c = byte_at(p);
    if (c >= 0x80) {
      if (p[1] == '\0') break;
      ++p;  // the second byte goes with it
    } else if (c >= 'a' && c <= 'z') {
      *p = static_cast<char>(c - 0x20);
    }
  }
  return 0;
}

int to_lower(char *s) {
  for (char *p = s; *p != '\0'; ++p) {
    int c = byte_at(p);
    if (is_kana(c)) continue;
    if (c >= 0x80) {
      if (p[1] == '\0') break;
      ++p;  // the second byte goes with it
    } else if (c >= 'A' && c <= 'Z') {
      *p = static_cast<char>(c + 0x20);
    }
  }
  return 0;
}

char *exp_tab(int width, const char *text) {
  int column = 0;
  char *w = expanded;
  for (const char *p = text; *p != '\0'; ++p) {
    if (*p == '\t') {
      for (int n = width - column % width; n > 0 && column < kMaxColumns; --n, ++column)
        *w++ = ' ';
      if (column == kMaxColumns) too_long(text);
    } else {
      // The byte that would stand in column 2049 is refused before it is stored.
      if (column == kMaxColumns) too_long(text);
      *w++ = *p;
      ++column;
    }
  }
  *w = '\0';
  return expanded;
}

}  // namespace kolvu
