// A typedef is cut into tokens (identifiers, single punctuation bytes, and
// a struct or union body as one token), then read the way a declaration is
// read: the body's tag first, then each declarator between top-level
// commas, whose name is the identifier that is neither a type nor inside a
// parameter list.
#include "scanner/declarators.h"

#include <cstring>

#include "kolvu/bytes.h"

namespace kolvu {
namespace {

using Tok = TypedefToken;

bool word_is(const char *t, const Tok &k, const char *w) {
  size_t n = std::strlen(w);
  return k.c == 'i' && k.len == n && std::memcmp(t + k.off, w, n) == 0;
}

bool attribute_word(const char *t, const Tok &k) {
  return k.c == 'i' && is_attribute_word(t + k.off, k.len);
}

// Words of a declaration's type that are never the declared name.
bool type_word(const char *t, const Tok &k) {
  static const char *const kWords[] = {
      "const",  "volatile", "restrict", "__restrict", "__restrict__", "signed", "unsigned",
      "int",    "char",     "short",    "long",       "float",        "double", "void",
      "_Bool",  "struct",   "union",    "enum",       "__extension__", "__const"};
  for (const char *w : kWords)
    if (word_is(t, k, w)) return true;
  return false;
}

class Lexer {
 public:
  Lexer(const char *t, size_t limit, const unsigned char *leads)
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
      if (c == '"' || c == '\'') {
        k.c = 'L';
        i = after_literal(i);
      } else if (is_ident(c)) {
        k.c = c >= '0' && c <= '9' ? 'N' : 'i';
        i = ident_end(t_, i, limit_);
      } else if (c == '{') {
        i = after_body(i);
      } else if ((leads_[c] & kLead) && i + 1 < limit_ && t_[i + 1] != '\n') {
        k.c = '?';
        i += 2;
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
  // From the start of a line: past the preprocessor lines there.
  size_t after_directives(size_t i) {
    for (;;) {
      size_t j = i;
      while (j < limit_ && is_blank(t_[j])) ++j;
      if (j >= limit_ || t_[j] != '#') return i;
      // The directive runs to a '\n' without a backslash before it.
      for (;;) {
        const void *nl = std::memchr(t_ + j, '\n', limit_ - j);
        if (nl == nullptr) return limit_;
        j = static_cast<size_t>(static_cast<const char *>(nl) - t_);
        if (j == 0 || t_[j - 1] != '\\') break;
        ++j;
      }
      i = j + 1;
    }
  }
  size_t after_comment(size_t i) {
    if (t_[i + 1] == '/') {
      const void *nl = std::memchr(t_ + i, '\n', limit_ - i);
      return nl == nullptr ? limit_ : static_cast<size_t>(static_cast<const char *>(nl) - t_);
    }
    for (size_t j = i + 2; j + 1 < limit_; ++j)
      if (t_[j] == '*' && t_[j + 1] == '/') return j + 2;
    return limit_;
  }
  size_t after_literal(size_t i) {
    char q = t_[i];
    for (size_t j = i + 1; j < limit_; ++j) {
      unsigned char c = static_cast<unsigned char>(t_[j]);
      if (c == '\\') {
        ++j;
      } else if (c == q) {
        return j + 1;
      } else if (c == '\n') {
        return j;
      } else if ((leads_[c] & kLead) && j + 1 < limit_ && t_[j + 1] != '\n') {
        ++j;
      }
    }
    return limit_;
  }
  size_t after_body(size_t i) {
    int depth = 0;
    while (i < limit_) {
      unsigned char c = static_cast<unsigned char>(t_[i]);
      if (c == '/' && i + 1 < limit_ && (t_[i + 1] == '/' || t_[i + 1] == '*')) {
        i = after_comment(i);
      } else if (c == '"' || c == '\'') {
        i = after_literal(i);
      } else if (c == '\n') {
        i = after_directives(i + 1);
      } else if ((leads_[c] & kLead) && i + 1 < limit_ && t_[i + 1] != '\n') {
        i += 2;
      } else {
        ++i;
        if (c == '{') ++depth;
        if (c == '}' && --depth == 0) return i;
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
      if (k_[x].c == '(' || k_[x].c == '<') {
        x = group_end(x, j) - 1;
        continue;
      }
      if (k_[x].c != 'i' || attribute_word(t_, k_[x])) continue;
      if (!type_word(t_, k_[x])) found = x;
    }
    return found;
  }

  // The token of the name a declarator of k_[a, b) declares, or none.
  size_t declared(size_t a, size_t b, size_t none) const {
    for (size_t j = a; j < b; ++j) {
      const Tok &k = k_[j];
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
      if (k.c == '(' && j > a && k_[j - 1].c == 'i') {
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
        bool inner = next == '(' || next == '[' || first == '*' || first == '^' || first == '&' ||
                     first == '(';
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
  if (!Lexer(t, limit, leads).run(from, &toks)) return false;
  const size_t n = toks.size();
  Reader r(t, toks);
  // A struct or union body before any declarator: its tag comes first, and
  // the declarators follow the body.
  size_t decl = 0;
  for (size_t j = 0; j < n; ++j) {
    const Tok &k = toks[j];
    if (k.c == ',' || k.c == '(' || k.c == ';') break;
    if (k.c != '{') continue;
    for (size_t x = 0; x < j; ++x) {
      bool su = word_is(t, toks[x], "struct"), un = word_is(t, toks[x], "union");
      if (!su && !un) continue;
      *has_body = true;
      // The tag: the last identifier before the body (or a base clause)
      // that no group follows (a group belongs to an attribute or a macro).
      size_t tag = j;
      for (size_t y = x + 1; y < j && toks[y].c != ':'; ++y) {
        if (toks[y].c != 'i') continue;
        if (y + 1 < j && (toks[y + 1].c == '(' || toks[y + 1].c == '<')) {
          y = r.group_end(y + 1, j) - 1;
          continue;
        }
        if (!attribute_word(t, toks[y]) && !word_is(t, toks[y], "final")) tag = y;
      }
      if (tag < j && !out->push({toks[tag].off, static_cast<int>(toks[tag].len),
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
