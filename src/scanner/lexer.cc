// The lexical rules kept out of line: directive words, the #if 0 test, a
// directive's end (its walk a vector at a time), and a character's length
// for columns.
#include "scanner/lexer.h"

#include "scanner/engine_vector.h"
#include "scanner/utf8_check.h"

namespace kolvu {

const unsigned char kNoLeads[256] = {};

size_t encoded_char_length(Encoding encoding, const char *p, size_t left) {
  const unsigned char c = static_cast<unsigned char>(*p);
  if (c < 0x80 || left < 2) return 1;
  size_t len = 1;
  switch (encoding) {
    case Encoding::kUtf8:
      len = utf8_char_length(reinterpret_cast<const unsigned char *>(p), left);
      if (len == 0) len = 1;
      break;
    case Encoding::kEucJp:
      if (c == 0x8F) len = 3;
      else if (c == 0x8E || (c >= 0xA1 && c <= 0xFE)) len = 2;
      break;
    case Encoding::kAuto:
    case Encoding::kShiftJis:
      if (lex::lead(byte_class, *p) && p[1] != '\n') len = 2;
      break;
  }
  return len <= left ? len : left;
}

namespace lex {

Directive directive_kind(const char *w, size_t n) {
  auto is = [w](const char *k, size_t len) { return std::memcmp(w, k, len) == 0; };
  switch (n) {
    case 0: return Directive::kNone;
    case 2: if (is("if", 2)) return Directive::kIf; break;
    case 4: if (is("else", 4)) return Directive::kElse; break;
    case 5:
      if (is("ifdef", 5)) return Directive::kIfdef;
      if (is("endif", 5)) return Directive::kEndif;
      break;
    case 6:
      if (is("define", 6)) return Directive::kDefine;
      if (is("ifndef", 6)) return Directive::kIfndef;
      if (is("pragma", 6)) return Directive::kPragma;
      break;
    default: break;
  }
  // #elif and C23's #elifdef and #elifndef alike end a branch.
  if (n >= 4 && is("elif", 4)) return Directive::kElif;
  return Directive::kOther;
}

bool if0_expression(const char *t, size_t i, size_t n) {
  while (i < n && is_blank(t[i])) ++i;
  if (i >= n || t[i] != '0') return false;
  ++i;
  while (i < n && is_blank(t[i])) ++i;
  if (i >= n || t[i] == '\n') return true;
  return i + 1 < n && t[i] == '/' && (t[i + 1] == '*' || t[i + 1] == '/');
}

namespace {

// skip_to over kDirStop, the bytes before the first stop passed a vector at
// a time where the processor has vectors: the class is the bytes of
// kDirStops and every byte of 0x80 or above. skip_to says what a stop is.
size_t skip_to_dir_stop(const unsigned char *leads, const char *t, size_t i, size_t n) {
#if defined(__AVX2__) || defined(__SSE2__)
  for (; i + kVecBytes <= n; i += kVecBytes) {
    const Vec v = load(t + i);
    const unsigned bits = bits_of(eq_any(v, kDirStops)) | bits_of(v);
    if (bits != 0) return skip_to(leads, t, i + static_cast<size_t>(__builtin_ctz(bits)), n, kDirStop);
  }
#endif
  return skip_to(leads, t, i, n, kDirStop);
}

constexpr bool dir_stops_listed() {
  for (int c = 0; c < 256; ++c)
    if (((kClass.v[c] & kDirStop) != 0) != (in_list(c, kDirStops) || c >= 0x80)) return false;
  return true;
}
static_assert(dir_stops_listed(), "the vector walk stops at kDirStops and the high bit");

}  // namespace

size_t directive_end(const unsigned char *leads, const char *t, size_t line, size_t i, size_t n,
                     bool *spliced) {
  size_t j = i;
  while ((j = skip_to_dir_stop(leads, t, j, n)) < n) {
    const char c = t[j];
    if (c == '\n') {
      if (splice_before(leads, t + line, t + j, true)) {
        if (spliced != nullptr) *spliced = true;
        line = ++j;
        continue;
      }
      return j + 1;
    }
    if (c == '/' && j + 1 < n && t[j + 1] == '*') {
      j = block_comment_end(t, j, n);
    } else if (c == '/' && j + 1 < n && t[j + 1] == '/') {
      j = line_end(t, j, n);  // its '\n' is tested for a splice like any
    } else if (c == '"' || (c == '\'' && !digit_separator(leads, t + line, t + j, t + n))) {
      j = literal_end(leads, t, j, n);
    } else {
      j = code_step(leads, t, j, n);
    }
  }
  return n;
}

}  // namespace lex
}  // namespace kolvu
