#include "lsp/identifier_uses.h"

#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/lexer.h"

namespace kolvu {

namespace {

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

// White space within a line (a carriage return among it).
bool blank(char c) { return is_cspace(c) && c != '\n'; }

// The walk: from one place where something may begin to the next, past the
// bytes that are nothing but blanks or punctuation (lex::skip_to).
class Walk {
 public:
  Walk(std::string_view src, Encoding encoding)
      : leads_(lex::leads_of(encoding == Encoding::kAuto ? Encoding::kShiftJis : encoding)),
        t_(src.data()), n_(src.size()) {}

  std::vector<IdentifierUse> run() {
    size_t i = line_begins(0);
    while ((i = lex::skip_to(leads_, t_, i, n_, kStop)) < n_) {
      const char c = t_[i];
      if (c == '\n') {
        const bool spliced = lex::splice_before(leads_, t_ + line_, t_ + i);
        new_line(i);
        line_ = ++i;
        if (!spliced) i = line_begins(i);
      } else if (c == '/') {
        i = comment(i);
      } else if (c == '"' || (c == '\'' && !lex::digit_separator(leads_, t_ + line_, t_ + i, t_ + n_))) {
        i = line_ = past(i, lex::literal_end(leads_, t_, i, n_));
      } else if (lex::is(c, lex::kDigit)) {
        i = number(i);
      } else if (lex::is(c, lex::kNameByte)) {
        i = name(i);
      } else {
        i = lex::name_step(leads_, t_, i, n_);
      }
    }
    return std::move(uses_);
  }

 private:
  // Bytes where something may begin: a name's or a number's, a line's end,
  // a comment's '/', a quote, a byte of 0x80 or above.
  static constexpr unsigned char kStop = lex::kNameByte | lex::kDirStop;

  // At the start of a line (or after a comment there): blanks, then
  // perhaps a directive, whose own word is passed over, and whose rest is
  // a header's name after #include. Where the walk goes on.
  size_t line_begins(size_t i) {
    for (;;) {
      while (i < n_ && blank(t_[i])) ++i;
      line_start_ = i;
      const size_t hash = i < n_ ? lex::hash_length(t_, i, n_, false) : 0;
      if (hash == 0) return i;
      size_t w = i + hash;
      while (w < n_ && blank(t_[w])) ++w;
      const size_t e = lex::name_end(t_, w, n_);
      if (!header_directive(t_ + w, e - w)) return e;
      // Just past the directive's '\n': a line begins.
      i = line_ = past(e, lex::directive_end(leads_, t_, line_, e, n_, nullptr));
    }
  }

  // The '/' at i: past the comment it opens, or past itself.
  size_t comment(size_t i) {
    if (i + 1 >= n_ || (t_[i + 1] != '*' && t_[i + 1] != '/')) return i + 1;
    const bool at_line_start = i == line_start_;
    if (t_[i + 1] == '*') {
      i = past(i, lex::block_comment_end(t_, i, n_));
    } else {
      // A splice at its end carries a line comment on.
      size_t from = i, j = lex::line_end(t_, i, n_);
      while (j < n_ && lex::splice_before(leads_, t_ + from, t_ + j)) {
        new_line(j);
        from = j + 1;
        j = lex::line_end(t_, from, n_);
      }
      i = j;
    }
    line_ = i;
    return at_line_start ? line_begins(i) : i;
  }

  // A line ends with the '\n' at nl.
  void new_line(size_t nl) {
    ++line_number_;
    line_begin_ = checked_ = nl + 1;
    high_ = false;
  }

  // The walk jumps from the byte at from to to: the lines that end between
  // are counted. Returns to.
  size_t past(size_t from, size_t to) {
    while (const void *nl = from < to ? std::memchr(t_ + from, '\n', to - from) : nullptr) {
      from = static_cast<size_t>(static_cast<const char *>(nl) - t_);
      new_line(from++);
    }
    return to;
  }

  // The number that begins at i, with its suffix, exponent sign and digit
  // separators: where it ends.
  size_t number(size_t i) {
    size_t j = i + 1;
    while (j < n_) {
      const char d = t_[j];
      if (lex::is(d, lex::kNumberRun)) ++j;
      else if ((d == '+' || d == '-') && ((t_[j - 1] | 0x20) == 'e' || (t_[j - 1] | 0x20) == 'p')) ++j;
      else if (d == '\'' && lex::digit_separator(leads_, t_ + line_, t_ + j, t_ + n_)) ++j;
      else break;
    }
    return j;
  }

  // The name that begins at i, a use unless it makes a literal wide or UTF.
  size_t name(size_t i) {
    const size_t e = lex::name_end(t_, i, n_);
    if (!(e < n_ && (t_[e] == '"' || t_[e] == '\'') && literal_prefix(t_ + i, e - i))) {
      IdentifierUse use;
      use.offset = static_cast<uint32_t>(i);
      use.length = static_cast<uint32_t>(e - i);
      use.line = line_number_;
      use.column = static_cast<uint32_t>(i - line_begin_ + 1);
      for (; checked_ < i && !high_; ++checked_) high_ = static_cast<unsigned char>(t_[checked_]) >= 0x80;
      checked_ = i;
      use.ascii_prefix = !high_;
      uses_.push_back(use);
    }
    return e;
  }

  const unsigned char *leads_;
  const char *t_;
  const size_t n_;
  std::vector<IdentifierUse> uses_;
  uint32_t line_number_ = 1;  // of the line being read
  size_t line_begin_ = 0;     // where it begins
  size_t checked_ = 0;        // its bytes before this are looked at for 0x80 and above
  bool high_ = false;         // and one was found
  size_t line_ = 0;  // a place on the current line known to start a character
  // Where only blanks and comments stand before, on the current line: a
  // comment that begins there may be followed by a directive.
  size_t line_start_ = 0;
};

}  // namespace

std::vector<IdentifierUse> identifier_uses(std::string_view src, Encoding encoding) {
  return Walk(src, encoding).run();
}

}  // namespace kolvu
