// A declaration's text cut into tokens on the lexical layer's rules:
// identifiers, numbers (with their digit separators), literals, single
// punctuation bytes, and a body in braces as one token. Comments, blanks,
// preprocessor lines and, outside braces, the later branches of a
// conditional group are stepped over.
#ifndef KOLVU_SCANNER_DECL_TOKENS_H_
#define KOLVU_SCANNER_DECL_TOKENS_H_

#include <algorithm>
#include <cstddef>

#include "kolvu/bytes.h"
#include "scanner/declarators.h"
#include "scanner/lexer.h"
#include "util/seam_vec.h"

namespace kolvu {

/// Token k of t is the identifier w.
template <size_t N>
inline bool token_is(const char *t, const TypedefToken &k, const char (&w)[N]) {
  return k.c == 'i' && lex::word_is(t + k.off, k.len, w);
}

// The tokenizer. Of an #if ... #else ... #endif group only the first branch
// is read, so a typedef's head written twice (`typedef struct S {` / `#else`
// / `typedef union S {`) is read once.
class Tokenizer {
 public:
  /// all_branches: every branch of a conditional group outside braces is
  /// read (the lines of a body's members), not only the first.
  Tokenizer(const char *t, size_t limit, const unsigned char *leads, bool all_branches = false)
      : t_(t), limit_(limit), leads_(leads), all_branches_(all_branches) {}

  /// The tokens from i to the first ';' outside braces and parentheses (or
  /// to the limit when semi_ends is false); stop() is then just past it.
  bool run(size_t i, SeamVec<TypedefToken> *out, bool semi_ends = true) {
    int paren = 0;
    if (i < limit_ && (i == 0 || t_[i - 1] == '\n')) i = after_directives(i, !all_branches_);
    while (i < limit_) {
      unsigned char c = static_cast<unsigned char>(t_[i]);
      if (c == '\n') {
        i = after_directives(i + 1, !all_branches_);
        continue;
      }
      if (is_cspace(c)) {
        ++i;
        continue;
      }
      if (c == '/' && i + 1 < limit_ && (t_[i + 1] == '/' || t_[i + 1] == '*')) {
        i = after_comment(i);
        continue;
      }
      TypedefToken k{static_cast<char>(c), i, 1};
      if (c == '"' || (c == '\'' && !lex::digit_separator(leads_, t_, t_ + i, t_ + limit_))) {
        k.c = 'L';
        i = std::min(lex::literal_end(leads_, t_, i, limit_), limit_);
      } else if (lex::is(static_cast<char>(c), lex::kNameByte)) {
        k.c = c >= '0' && c <= '9' ? 'N' : 'i';
        i = number_or_name_end(i);
      } else if (c == '{' || lex::brace_spelled(t_, i, limit_) == '{') {
        k.c = '{';
        i = after_body(i);
      } else if (lex::lead(leads_, static_cast<char>(c))) {
        k.c = '?';
        i = lex::code_step(leads_, t_, i, limit_);
      } else {
        ++i;
        if (c == '(') ++paren;
        if (c == ')' && paren > 0) --paren;
        if (c == ';' && paren == 0 && semi_ends) {
          stop_ = i;
          return true;
        }
      }
      k.len = i - k.off;
      if (!out->push(k)) return false;
    }
    stop_ = limit_;
    return true;
  }
  size_t stop() const { return stop_; }

 private:
  // A name, or a number with its digit separators (1'000 is one token).
  size_t number_or_name_end(size_t i) {
    const bool number = t_[i] >= '0' && t_[i] <= '9';
    for (;;) {
      i = lex::name_end(t_, i, limit_);
      if (!number || i >= limit_ || t_[i] != '\'' ||
          !lex::digit_separator(leads_, t_, t_ + i, t_ + limit_))
        return i;
      ++i;
    }
  }

  // From the start of a line: past the preprocessor lines there, and past
  // the later branches of a conditional group (to its #endif) unless
  // skip_later is false.
  size_t after_directives(size_t i, bool skip_later = true) {
    int skipping = 0;  // the depth of the group whose later branch is passed over
    for (;;) {
      size_t j = i;
      while (j < limit_ && is_blank(t_[j])) ++j;
      const size_t h = j < limit_ ? lex::hash_length(t_, j, limit_, true) : 0;
      if (h == 0) {
        if (skipping == 0) return i;
        i = lex::line_end(t_, j, limit_);  // a line of a branch passed over
        if (i >= limit_) return limit_;
        ++i;
        continue;
      }
      size_t w = j + h;
      while (w < limit_ && is_blank(t_[w])) ++w;
      const size_t we = ident_end(t_, w, limit_);
      switch (lex::directive_kind(t_ + w, we - w)) {
        case lex::Directive::kIf:
        case lex::Directive::kIfdef:
        case lex::Directive::kIfndef:
          if (skipping > 0) ++skipping;
          break;
        case lex::Directive::kElif:
        case lex::Directive::kElse:
          if (skipping == 0 && skip_later) skipping = 1;
          break;
        case lex::Directive::kEndif:
          if (skipping > 0) --skipping;
          break;
        default:
          break;
      }
      i = lex::directive_end(leads_, t_, j, we, limit_, nullptr);
      if (i >= limit_) return limit_;
    }
  }
  size_t after_comment(size_t i) {
    if (t_[i + 1] == '/') return lex::line_end(t_, i, limit_);
    return lex::block_comment_end(t_, i, limit_);
  }
  size_t after_body(size_t i) {
    int depth = 0;
    while ((i = lex::skip_to(leads_, t_, i, limit_, lex::kBraceStop)) < limit_) {
      const char c = t_[i];
      const char brace = c == '{' || c == '}' ? c : lex::brace_spelled(t_, i, limit_);
      if (c == '/' && i + 1 < limit_ && (t_[i + 1] == '/' || t_[i + 1] == '*')) {
        i = after_comment(i);
      } else if (c == '"' || (c == '\'' && !lex::digit_separator(leads_, t_, t_ + i, t_ + limit_))) {
        i = lex::literal_end(leads_, t_, i, limit_);
      } else if (c == '\n') {
        i = after_directives(i + 1);
      } else if (brace != 0) {
        i += c == '{' || c == '}' ? 1 : c == '?' ? 3 : 2;
        if (brace == '{') ++depth;
        if (brace == '}' && --depth == 0) return i;
      } else {
        i = lex::code_step(leads_, t_, i, limit_);
      }
    }
    return limit_;
  }

  const char *t_;
  size_t limit_;
  const unsigned char *leads_;
  bool all_branches_;
  size_t stop_ = 0;
};

}  // namespace kolvu

#endif  // KOLVU_SCANNER_DECL_TOKENS_H_
