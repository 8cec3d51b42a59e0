// A typedef is cut into tokens (identifiers, single punctuation bytes, and
// a struct or union body as one token), then read the way a declaration is
// read: the body's tag first, then each declarator between top-level
// commas, whose name is the identifier that is neither a type nor inside a
// parameter list.
#include "scanner/declarators.h"

#include <algorithm>
#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/decl_tokens.h"
#include "scanner/lexer.h"
#include "scanner/tag_head.h"

namespace kolvu {
namespace {

using Tok = TypedefToken;

bool attribute_word(const char *t, const Tok &k) {
  return k.c == 'i' && is_attribute_word(t + k.off, k.len);
}

bool type_word(const char *t, const Tok &k) {
  return k.c == 'i' && is_type_word(t + k.off, k.len);
}

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

bool head_tag(const char *t, const SeamVec<TypedefToken> &toks, size_t kw, size_t body,
              size_t *tag_off, size_t *tag_len) {
  // Read as every struct's head is read for lookups.
  lex::TagHead head(lex::HeadPolicy::kStrict);
  int found = lex::TagHead::kMore;
  const size_t n = toks.size();
  for (size_t y = kw + 1; y <= body && y < n && found == lex::TagHead::kMore; ++y) {
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
  *tag_off = head.tag_off();
  *tag_len = head.tag_len();
  return found == '{' && *tag_len > 0;
}

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
    su_seen = su_seen || token_is(t, k, "struct") || token_is(t, k, "union");
    if (k.c != '{') continue;
    for (size_t x = 0; x < j; ++x) {
      bool su = token_is(t, toks[x], "struct"), un = token_is(t, toks[x], "union");
      if (!su && !un) continue;
      *has_body = true;
      size_t tag_off = 0, tag_len = 0;
      if (head_tag(t, toks, x, j, &tag_off, &tag_len) &&
          !out->push({tag_off, static_cast<int>(tag_len), su ? DefKind::kStruct : DefKind::kUnion}))
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
