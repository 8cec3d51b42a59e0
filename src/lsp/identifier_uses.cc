#include "lsp/identifier_uses.h"

#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/lexer.h"

namespace kolvu {

namespace {

const unsigned char kNoLeads[256] = {};

// Where lines start, found as the walk goes: the line of a place and the
// place's line start, and whether a byte of 0x80 or above stands before it.
class LineCounter {
 public:
  explicit LineCounter(const char *t) : t_(t) {}

  void locate(size_t at, IdentifierUse *use) {
    for (;;) {
      const void *nl = std::memchr(t_ + counted_, '\n', at - counted_);
      if (nl == nullptr) break;
      ++line_;
      line_start_ = static_cast<size_t>(static_cast<const char *>(nl) - t_) + 1;
      counted_ = line_start_;
      checked_ = line_start_;
      high_ = false;
    }
    counted_ = at;
    for (; checked_ < at && !high_; ++checked_) high_ = static_cast<unsigned char>(t_[checked_]) >= 0x80;
    if (checked_ < at) checked_ = at;
    use->line = line_;
    use->column = static_cast<uint32_t>(at - line_start_ + 1);
    use->ascii_prefix = !high_;
  }

 private:
  const char *t_;
  size_t counted_ = 0;     // newlines before this are counted
  size_t line_start_ = 0;
  size_t checked_ = 0;     // bytes of the line before this are looked at
  bool high_ = false;
  uint32_t line_ = 1;
};

// The words of a directive after which the rest of the line is a header's
// name, not code.
bool header_directive(const char *w, size_t n) {
  return lex::word_is(w, n, "include") || lex::word_is(w, n, "include_next") ||
         lex::word_is(w, n, "import");
}

// A name that, right before a quote, makes the literal wide or UTF.
bool literal_prefix(const char *w, size_t n) {
  return lex::word_is(w, n, "L") || lex::word_is(w, n, "u") || lex::word_is(w, n, "U") ||
         lex::word_is(w, n, "u8");
}

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::vector<IdentifierUse> identifier_uses(std::string_view src, Encoding encoding) {
  const unsigned char *leads =
      encoding == Encoding::kShiftJis || encoding == Encoding::kAuto ? byte_class : kNoLeads;
  const char *t = src.data();
  const size_t n = src.size();
  std::vector<IdentifierUse> uses;
  LineCounter lines(t);
  size_t line = 0;           // a place on the current line known to start a character
  bool line_start = true;    // only blanks and comments since the line began
  size_t i = 0;
  while (i < n) {
    const char c = t[i];
    if (c == '\n') {
      line_start = !lex::splice_before(leads, t + line, t + i);
      line = ++i;
      continue;
    }
    if (blank(c)) {
      ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && (t[i + 1] == '*' || t[i + 1] == '/')) {
      if (t[i + 1] == '*') {
        i = lex::block_comment_end(t, i, n);
      } else {
        // A splice at its end carries a line comment on.
        size_t from = i, j = lex::line_end(t, i, n);
        while (j < n && lex::splice_before(leads, t + from, t + j)) {
          from = j + 1;
          j = lex::line_end(t, from, n);
        }
        i = j;
      }
      line = i;
      continue;
    }
    if (c == '"' || (c == '\'' && !lex::digit_separator(leads, t + line, t + i, t + n))) {
      i = lex::literal_end(leads, t, i, n);
      line = i;
      line_start = false;
      continue;
    }
    if (size_t hash = line_start ? lex::hash_length(t, i, n, false) : 0) {
      size_t w = i + hash;
      while (w < n && blank(t[w])) ++w;
      const size_t e = lex::name_end(t, w, n);
      if (header_directive(t + w, e - w)) {
        i = lex::directive_end(leads, t, line, e, n, nullptr);
        line = i;
        continue;  // just past the directive's '\n': a line begins
      }
      i = e;
      line_start = false;
      continue;
    }
    line_start = false;
    if (lex::is(c, lex::kDigit) || (c == '.' && i + 1 < n && lex::is(t[i + 1], lex::kDigit))) {
      // A number, with its suffix, exponent sign and digit separators.
      size_t j = i + 1;
      while (j < n) {
        const char d = t[j];
        if (lex::is(d, lex::kNumberRun)) ++j;
        else if ((d == '+' || d == '-') && (t[j - 1] | 0x20) == 'e') ++j;
        else if ((d == '+' || d == '-') && (t[j - 1] | 0x20) == 'p') ++j;
        else if (d == '\'' && lex::digit_separator(leads, t + line, t + j, t + n)) ++j;
        else break;
      }
      i = j;
      continue;
    }
    if (lex::is(c, lex::kNameByte)) {
      const size_t e = lex::name_end(t, i, n);
      if (!(e < n && (t[e] == '"' || t[e] == '\'') && literal_prefix(t + i, e - i))) {
        IdentifierUse use;
        use.offset = static_cast<uint32_t>(i);
        use.length = static_cast<uint32_t>(e - i);
        lines.locate(i, &use);
        uses.push_back(use);
      }
      i = e;
      continue;
    }
    i = lex::name_step(leads, t, i, n);
  }
  return uses;
}

}  // namespace kolvu
