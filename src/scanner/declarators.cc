// A typedef is cut into tokens (identifiers, single punctuation bytes, and
// a struct or union body as one token), then read the way a declaration is
// read: the body's tag first, then each declarator between top-level
// commas, whose name is the identifier that is neither a type nor inside a
// parameter list.
#include "scanner/declarators.h"

#include <algorithm>
#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/lexer.h"
#include "scanner/tag_head.h"

namespace kolvu {
namespace {

using Tok = TypedefToken;

template <size_t N>
bool word_is(const char *t, const Tok &k, const char (&w)[N]) {
  return k.c == 'i' && lex::word_is(t + k.off, k.len, w);
}

bool attribute_word(const char *t, const Tok &k) {
  return k.c == 'i' && is_attribute_word(t + k.off, k.len);
}

// Words of a declaration's type that are never the declared name.
bool type_word(const char *t, const Tok &k) {
  struct Word {
    const char *w;
    size_t n;
  };
  static const Word kWords[] = {
      {"const", 5}, {"volatile", 8}, {"restrict", 8}, {"__restrict", 10}, {"__restrict__", 12},
      {"signed", 6}, {"unsigned", 8}, {"int", 3}, {"char", 4}, {"short", 5}, {"long", 4},
      {"float", 5}, {"double", 6}, {"void", 4}, {"struct", 6}, {"union", 5}, {"enum", 4},
      {"__extension__", 13}, {"__const", 7}};
  if (k.c != 'i') return false;
  for (const Word &w : kWords)
    if (k.len == w.n && std::memcmp(t + k.off, w.w, w.n) == 0) return true;
  return false;
}

// A typedef's text cut into tokens on the lexical layer's rules. Of an
// #if ... #else ... #endif group inside it only the first branch is read, so
// a head written twice (`typedef struct S {` / `#else` / `typedef union S {`)
// is read once.
class Tokenizer {
 public:
  Tokenizer(const char *t, size_t limit, const unsigned char *leads)
      : t_(t), limit_(limit), leads_(leads) {}

  // The tokens from i to the first ';' outside braces and parentheses.
  bool run(size_t i, SeamVec<Tok> *out) {
    int paren = 0;
    while (i < limit_) {
      unsigned char c = static_cast<unsigned char>(t_[i]);
      if (c == '\n') {
        i = after_directives(i + 1);
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
      Tok k{static_cast<char>(c), i, 1};
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
        if (c == ';' && paren == 0) return true;
      }
      k.len = i - k.off;
      if (!out->push(k)) return false;
    }
    return true;
  }

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
  // the later branches of a conditional group (to its #endif).
  size_t after_directives(size_t i) {
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
          if (skipping == 0) skipping = 1;
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
};

class Reader {
 public:
  Reader(const char *t, const SeamVec<Tok> &toks) : t_(t), k_(toks) {}

  // The token after the group that opens at a ('(', '[' or '<'), or b.
  size_t group_end(size_t a, size_t b) const {
    char open = k_[a].c, close = open == '(' ? ')' : open == '[' ? ']' : '>';
    int depth = 0;
    for (size_t j = a; j < b; ++j) {
      if (k_[j].c == open) ++depth;
      if (k_[j].c == close && --depth == 0) return j + 1;
    }
    return b;
  }

  // The identifier that names nothing else before j, from a: the last one
  // that is not a type word, an attribute, or inside a group; none when none.
  size_t last_name(size_t a, size_t j, size_t none) const {
    size_t found = none;
    for (size_t x = a; x < j; ++x) {
      if (k_[x].c == '(' || k_[x].c == '<' || k_[x].c == '[') {
        x = group_end(x, j) - 1;
        continue;
      }
      if (k_[x].c != 'i' || attribute_word(t_, k_[x])) continue;
      if (!type_word(t_, k_[x])) found = x;
    }
    return found;
  }

  // The group that opens at a ('(') holds a declarator's inside, with a
  // parameter list after it: a '*', '^' or '&' after at most two words that
  // are no type words (a calling convention, a macro), and after the group
  // a '(' or '[', or a macro's parameter list: (ZCALLBACK *name) OF((...)).
  bool inner_declarator(size_t a, size_t b) const {
    size_t j = a + 1;
    for (int words = 0; j < b && k_[j].c == 'i' && !type_word(t_, k_[j]) && words < 2; ++words) ++j;
    if (!(j < b && (k_[j].c == '*' || k_[j].c == '^' || k_[j].c == '&'))) return false;
    const size_t end = group_end(a, b);
    if (end >= b) return false;
    const char next = k_[end].c;
    return next == '(' || next == '[' || (next == 'i' && end + 1 < b && k_[end + 1].c == '(');
  }

  // The token of the name a declarator of k_[a, b) declares, or none.
  size_t declared(size_t a, size_t b, size_t none) const {
    for (size_t j = a; j < b; ++j) {
      const Tok &k = k_[j];
      if (k.c == '[' && j == a) {  // an IDL attribute list: [context_handle]
        j = group_end(j, b) - 1;
        continue;
      }
      if (k.c == 'i' && attribute_word(t_, k) && j + 1 < b && k_[j + 1].c == '(') {
        j = group_end(j + 1, b) - 1;
        continue;
      }
      if (k.c == 'i' && j + 1 < b && k_[j + 1].c == '<') {  // a template's arguments
        j = group_end(j + 1, b) - 1;
        continue;
      }
      if (k.c == ':' && j + 1 < b && k_[j + 1].c == ':') {  // a scope
        ++j;
        continue;
      }
      if (k.c == '(' && j > a && k_[j - 1].c == 'i' && !inner_declarator(j, b)) {
        // A macro's arguments inside a declarator: MACRO(1) CALL *name.
        size_t end = group_end(j, b);
        if (end < b && (k_[end].c == 'i' || k_[end].c == '*')) {
          j = end - 1;
          continue;
        }
      }
      if (k.c == '(') {
        size_t end = group_end(j, b);
        char next = end < b ? k_[end].c : 0;
        char first = j + 1 < b ? k_[j + 1].c : 0;
        // (*NAME)(...), (WINAPI *NAME)[4], (NAME)(...): the name is inside.
        // A macro's parameter list may follow: (*NAME) OF((int)).
        bool inner = next == '(' || next == '[' || first == '*' || first == '^' || first == '&' ||
                     first == '(' || inner_declarator(j, b);
        if (inner) return declared(j + 1, end - 1 > j + 1 ? end - 1 : j + 1, none);
        return last_name(a, j, none);  // NAME(params)
      }
      if (k.c == '[' || k.c == '=' || k.c == ':') return last_name(a, j, none);
    }
    return last_name(a, b, none);
  }

 private:
  const char *t_;
  const SeamVec<Tok> &k_;
};

}  // namespace

bool is_attribute_word(const char *p, size_t n) {
  static const char *const kWords[] = {"__attribute__", "__attribute", "__declspec", "_Alignas",
                                       "alignas", "__asm__", "__asm", "asm", "__aligned"};
  for (const char *w : kWords)
    if (std::strlen(w) == n && std::memcmp(p, w, n) == 0) return true;
  return false;
}


bool typedef_names(const char *t, size_t from, size_t limit, const unsigned char *leads,
                   SeamVec<RawName> *out, bool *has_body, TypedefScratch *scratch) {
  *has_body = false;
  SeamVec<Tok> &toks = *scratch;
  toks.clear();
  if (!Tokenizer(t, limit, leads).run(from, &toks)) return false;
  const size_t n = toks.size();
  Reader r(t, toks);
  // A struct or union body before any declarator: its tag comes first, and
  // the declarators follow the body.
  size_t decl = 0;
  bool su_seen = false;
  for (size_t j = 0; j < n; ++j) {
    const Tok &k = toks[j];
    if (k.c == '(' && su_seen && j > 0 && toks[j - 1].c == 'i') {
      j = r.group_end(j, n) - 1;  // an attribute's or a macro's group in the head
      continue;
    }
    if (k.c == ',' || k.c == '(' || k.c == ';') break;
    su_seen = su_seen || word_is(t, k, "struct") || word_is(t, k, "union");
    if (k.c != '{') continue;
    for (size_t x = 0; x < j; ++x) {
      bool su = word_is(t, toks[x], "struct"), un = word_is(t, toks[x], "union");
      if (!su && !un) continue;
      *has_body = true;
      // The tag, read as every struct's head is read for lookups.
      lex::TagHead head(lex::HeadPolicy::kStrict);
      int found = lex::TagHead::kMore;
      for (size_t y = x + 1; y <= j && found == lex::TagHead::kMore; ++y) {
        const Tok &k = toks[y];
        if (k.c == 'i') {
          found = head.name(t + k.off, k.len, k.off);
        } else if (k.c != 'L' || !head.passes_literals()) {
          int used = 1;
          // A number, a literal or a character of two bytes is a byte that
          // decides against a body where it stands.
          const char c = k.c == 'N' || k.c == 'L' || k.c == '?' ? '0' : k.c;
          found = head.byte(c, y + 1 < n ? toks[y + 1].c : '\0', &used);
          y += static_cast<size_t>(used - 1);
        }
      }
      if (found == '{' && head.tag_len() > 0 &&
          !out->push({head.tag_off(), static_cast<int>(head.tag_len()),
                      su ? DefKind::kStruct : DefKind::kUnion}))
        return false;
      break;
    }
    decl = j + 1;
    break;
  }
  // Each declarator, between commas outside parentheses and brackets.
  size_t a = decl;
  int depth = 0;
  for (size_t j = decl; j <= n; ++j) {
    char c = j < n ? toks[j].c : ';';
    if (c == '(' || c == '[' || c == '<') ++depth;
    if ((c == ')' || c == ']' || c == '>') && depth > 0) --depth;
    if ((c == ',' && depth == 0) || c == ';' || j == n) {
      size_t at = r.declared(a, j, n);
      if (at < n && !out->push({toks[at].off, static_cast<int>(toks[at].len), DefKind::kTypedef}))
        return false;
      a = j + 1;
      if (c == ';' || j == n) break;
    }
  }
  return true;
}

}  // namespace kolvu
