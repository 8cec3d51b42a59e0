// The diagnostics formatter and writers.
#include "kolvu/errmsg.h"

#include <cstdlib>
#include <cstring>

#include "kolvu/textio.h"

namespace kolvu {

FILE *errfp = nullptr;
int errmsg_output_flg = 0;

namespace {

// The message buffer starts at 1024 bytes and grows, so an over-long input
// line quoted in a report comes out whole. It grows with the plain heap, not
// getmem: getmem reports its own failures through this formatter.
char initial_buf[1024];
char *buf = initial_buf;
size_t cap = sizeof initial_buf;
size_t len = 0;

bool reserve(size_t extra) {
  if (len + extra + 1 <= cap) return true;
  size_t want = cap;
  while (want < len + extra + 1) want *= 2;
  char *grown = static_cast<char *>(buf == initial_buf ? std::malloc(want) : std::realloc(buf, want));
  if (grown == nullptr) return false;
  if (buf == initial_buf) std::memcpy(grown, initial_buf, len);
  buf = grown;
  cap = want;
  return true;
}

// Appends n bytes, or as many as fit when memory for more cannot be had.
void append(const char *p, size_t n) {
  if (!reserve(n)) n = cap - 1 - len;
  std::memcpy(buf + len, p, n);
  len += n;
}

void append_byte(char c) { append(&c, 1); }

// Writes text to stream as a "%s" format would: up to its first NUL.
int write_text(FILE *stream, const char *text) {
  size_t n = std::strlen(text);
  if (stream == KOLVU_ERRFP_STDOUT) {
    out_write(text, n);
    return static_cast<int>(n);
  }
  if (std::fwrite(text, 1, n, stream) != n) return -1;
  return static_cast<int>(n);
}

}  // namespace

char *err_edit(const char *fmt, va_list args) {
  char num[512];  // room for any double in "%f"
  len = 0;
  for (const char *f = fmt; *f != '\0'; ++f) {
    if (*f != '%') {
      append_byte(*f);
      continue;
    }
    if (f[1] == '\0') {  // a lone "%" at the end: no letter, no argument
      append_byte('%');
      break;
    }
    char letter = *++f;
    int n = 0;
    switch (letter) {
      case 'c':
        append_byte(static_cast<char>(va_arg(args, int)));
        break;
      case 'd':
        n = std::snprintf(num, sizeof num, "%d", va_arg(args, int));
        append(num, n);
        break;
      case 'x':
        n = std::snprintf(num, sizeof num, "%x", va_arg(args, unsigned));
        append(num, n);
        break;
      case 's': {
        const char *s = va_arg(args, const char *);
        if (s == nullptr) s = "(null)";
        append(s, std::strlen(s));
        break;
      }
      case 'f':
        n = std::snprintf(num, sizeof num, "%f", va_arg(args, double));
        append(num, n);
        break;
      default:
        (void)va_arg(args, int);
        append_byte('?');
        append_byte(letter);
        break;
    }
  }
  buf[len] = '\0';
  return buf;
}

int errmsg(const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const char *text = err_edit(fmt, args);
  va_end(args);
  int written = write_text(errfp == KOLVU_ERRFP_STDOUT ? KOLVU_ERRFP_STDOUT : stderr, text);
  errmsg_output_flg = 1;
  return written;
}

int errmsg1(const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const char *text = err_edit(fmt, args);
  va_end(args);
  return write_text(errfp == nullptr ? stderr : errfp, text);
}

}  // namespace kolvu
