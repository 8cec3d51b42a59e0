// Declarations read from their tokens: one declarator at a time, from the
// left, keeping the last identifier that may be the declared name until a
// parameter list, '[', '=' or ':' decides.
#include "scanner/declarations.h"

#include <algorithm>
#include <cstring>

#include "scanner/decl_tokens.h"
#include "scanner/lexer.h"

namespace kolvu {
namespace {

using Tok = TypedefToken;
const size_t kNone = static_cast<size_t>(-1);

// All capitals, digits and '_', with a capital: a macro's name.
bool capitals(const char *p, size_t n) {
  bool letter = false;
  for (size_t i = 0; i < n; ++i) {
    const char c = p[i];
    if (c >= 'a' && c <= 'z') return false;
    letter = letter || (c >= 'A' && c <= 'Z');
  }
  return letter;
}

// What one declarator declares.
struct Declarator {
  size_t start = 0;          // its first token after the macro calls before it
  size_t name = kNone;       // the token of its name
  bool function = false;     // its name is a function's
  size_t params = kNone;     // the '(' of that function's parameter list
  size_t params_end = kNone; // just past its ')'
};

class DeclReader {
 public:
  DeclReader(const char *t, const SeamVec<Tok> &toks) : t_(t), k_(toks) {}

  // The token after the group that opens at a ('(' or '['), or b.
  size_t group_end(size_t a, size_t b) const {
    const char open = k_[a].c, close = open == '(' ? ')' : ']';
    int depth = 0;
    for (size_t j = a; j < b; ++j) {
      if (k_[j].c == open) ++depth;
      if (k_[j].c == close && --depth == 0) return j + 1;
    }
    return b;
  }

  bool ident(size_t j) const { return k_[j].c == 'i'; }
  bool skipped_word(size_t j) const {  // a word whose group is passed over
    const Tok &k = k_[j];
    return k.c == 'i' && (is_attribute_word(t_ + k.off, k.len) || token_is(t_, k, "typeof") ||
                          token_is(t_, k, "__typeof") || token_is(t_, k, "__typeof__") ||
                          token_is(t_, k, "_Atomic") || token_is(t_, k, "_Alignas"));
  }
  bool type_word(size_t j) const { return ident(j) && is_type_word(t_ + k_[j].off, k_[j].len); }
  bool tag_keyword(size_t j) const {
    return token_is(t_, k_[j], "struct") || token_is(t_, k_[j], "union") ||
           token_is(t_, k_[j], "enum") || token_is(t_, k_[j], "class");
  }

  // A line ends between the tokens x and y.
  bool line_ends_between(size_t x, size_t y) const {
    const size_t from = k_[x].off + k_[x].len;
    return std::memchr(t_ + from, '\n', k_[y].off - from) != nullptr;
  }

  bool reserved(size_t j) const {  // a "__" name: an attribute's macro, mostly
    return k_[j].len >= 2 && t_[k_[j].off] == '_' && t_[k_[j].off + 1] == '_';
  }

  // The group of the name at j, a macro that wraps a type, ends at g: a '*'
  // follows it, or a name that is no attribute's macro and begins a call of
  // its own or is plain (with a small letter).
  bool type_macro_before(size_t j, size_t g, size_t b) const {
    if (g >= b) return false;
    if (k_[g].c == '*') return true;
    if (!ident(g) || skipped_word(g) || reserved(g)) return false;
    // extern EXPORT_VAR(char) PC;: a last name is the declared one, unless
    // a function's name (not in capitals) stands before an attribute's
    // macro: f(int a) DEPRECATED;.
    if (g + 1 == b)
      return capitals(t_ + k_[j].off, k_[j].len) || !capitals(t_ + k_[g].off, k_[g].len);
    return k_[g + 1].c == '(' || plain_name_in(g, b);
  }

  // A plain name (not in capitals, not a reserved one) is called at g, with
  // no group of groups (an attribute's macro): PyAPI_FUNC(int) name(void).
  bool call_follows(size_t g, size_t b) const {
    return ident(g) && !skipped_word(g) && !reserved(g) && !type_word(g) &&
           !capitals(t_ + k_[g].off, k_[g].len) && g + 1 < b && k_[g + 1].c == '(' &&
           !(g + 2 < b && k_[g + 2].c == '(');
  }

  // A plain name (with a small letter, not a reserved "__" one) stands in
  // [a, b) outside groups: what a macro wrapping a type is followed by.
  bool plain_name_in(size_t a, size_t b) const {
    for (size_t j = a; j < b; ++j) {
      if (k_[j].c == '(' || k_[j].c == '[') {
        j = group_end(j, b) - 1;
        continue;
      }
      if (!ident(j) || skipped_word(j)) continue;
      const Tok &k = k_[j];
      if (reserved(j)) continue;
      if (!capitals(t_ + k.off, k.len)) return true;
    }
    return false;
  }

  Declarator read(size_t a, size_t b) const {
    Declarator d;
    d.start = a;
    size_t cand = kNone;
    bool plain_type = false;  // a type word or a name with no group has been met
    for (size_t j = a; j < b; ++j) {
      const Tok &k = k_[j];
      const bool group_next = j + 1 < b && k_[j + 1].c == '(';
      if (k.c == '[' && j == a) {  // an IDL attribute list: [in] int x
        j = group_end(j, b) - 1;
        continue;
      }
      if (token_is(t_, k, "operator")) {  // C++'s operator=(...), operator()(...)
        size_t p = j + 1;
        if (p + 1 < b && k_[p].c == '(' && k_[p + 1].c == ')') p += 2;
        while (p < b && k_[p].c != '(') ++p;
        if (p >= b) break;
        d.name = j;
        d.function = true;
        d.params = p;
        d.params_end = group_end(p, b);
        return d;
      }
      if (k.c == 'i') {
        if (skipped_word(j)) {
          if (group_next) j = group_end(j + 1, b) - 1;
          continue;
        }
        if (type_word(j)) {
          plain_type = true;
          continue;
        }
        if (j > a && tag_keyword(j - 1)) continue;  // a tag
        if (group_next && j + 2 < b && (k_[j + 2].c == '*' || k_[j + 2].c == '^')) {
          cand = j;  // a type before a declarator in parentheses: T (*name)(int)
          continue;
        }
        if (group_next) {
          const size_t g = group_end(j + 1, b);
          // A macro's parameter list after the name: f OF((int a)).
          if (cand != kNone && j + 2 < b && k_[j + 2].c == '(') {
            d.name = cand;
            d.function = true;
            d.params = j + 1;
            d.params_end = g;
            return d;
          }
          if (g < b && !typed_before(d.start, j)) {
            // A macro called on a line of its own before a declaration
            // (DECLARE_FUNCTIONS(T) with no ';'), or one that gives the
            // type: PyAPI_FUNC(int) f(void), NSPR_API(void) / f(void).
            if (line_ends_between(g - 1, g)) {
              const Declarator rest = read(g, b);
              if (rest.name != kNone && typed_before(rest.start, rest.name)) return rest;
            }
            if (k_[g].c == '*' || type_macro_before(j, g, b)) {
              j = g - 1;
              cand = kNone;
              continue;
            }
          }
          // A macro that wraps a type after another: extern EXPORT(int)
          // f(void), STACK_OF(X) *p.
          // An attribute's macro before the type: __attr_access((x)) char *f.
          if (g < b && (k_[g].c == '*' || (!plain_type && call_follows(g, b)) ||
                        (reserved(j) && (type_word(g) || (ident(g) && !reserved(g) &&
                                                          !capitals(t_ + k_[g].off, k_[g].len) &&
                                                          !(g + 1 < b && k_[g + 1].c == '(')))) ||
                        (capitals(t_ + k.off, k.len) && type_macro_before(j, g, b)))) {
            j = g - 1;
            cand = kNone;
            continue;
          }
          d.name = j;
          d.function = true;
          d.params = j + 1;
          d.params_end = g;
          return d;
        }
        cand = j;
        plain_type = true;
        continue;
      }
      if (k.c == '(') {  // a declarator in parentheses: (*name)(int), (name)(int)
        const size_t g = group_end(j, b);
        if (declarator_end(j + 1, g) + 1 < g) {  // a list: a macro's parameters
          j = g - 1;
          continue;
        }
        const Declarator in = read(j + 1, g > j + 1 ? g - 1 : j + 1);
        if (in.name == kNone) {
          j = g - 1;
          continue;
        }
        if (in.function) {
          Declarator out = in;
          out.start = d.start;
          return out;
        }
        bool pointer = false;
        for (size_t x = j + 1; x + 1 < g; ++x) pointer = pointer || k_[x].c == '*' || k_[x].c == '^';
        d.name = in.name;
        d.function = !pointer && g < b && k_[g].c == '(';
        if (d.function) {
          d.params = g;
          d.params_end = group_end(g, b);
        }
        return d;
      }
      if (k.c == ':' && j + 1 < b && k_[j + 1].c == ':') {  // a qualified name: Class::name
        ++j;
        continue;
      }
      if (k.c == '[' || k.c == '=' || k.c == ':') break;
    }
    d.name = cand;
    return d;
  }

  // A type stands before the name of d, a declarator that begins at a (the
  // type of the first declarator is that of them all).
  bool typed(const Declarator &d, size_t a) const {
    return typed_before(d.start == a ? first_ : d.start, d.name);
  }
  size_t first_ = 0;  // the declaration's first token after its labels

  // A type stands before token j: an identifier or a body, outside
  // attribute groups.
  bool typed_before(size_t a, size_t j) const {
    for (size_t x = a; x < j; ++x) {
      if (skipped_word(x)) {
        if (x + 1 < j && k_[x + 1].c == '(') x = group_end(x + 1, j) - 1;
        continue;
      }
      if (ident(x) || k_[x].c == '{') return true;
    }
    return false;
  }

  // The end of the declarator that starts at a: a ',' outside groups, or b.
  size_t declarator_end(size_t a, size_t b) const {
    int depth = 0;
    for (size_t j = a; j < b; ++j) {
      const char c = k_[j].c;
      if (c == '(' || c == '[') ++depth;
      if ((c == ')' || c == ']') && depth > 0) --depth;
      if (c == ',' && depth == 0) return j;
    }
    return b;
  }

  // Where the declarators start: after a struct, union or enum body that
  // comes before any of them.
  size_t declarators_from(size_t b) const {
    for (size_t j = 0; j < b; ++j) {
      const char c = k_[j].c;
      if (c == ',' || c == '(' || c == '=' || c == '[') return 0;
      if (c == '{') return j + 1;
    }
    return 0;
  }

  // A K&R function's parameter declarations follow its names, (a, b) int a:
  // its parameter list holds names and commas only, and what is declared
  // after it is one of them, and no function.
  bool knr(const Declarator &d, size_t b) const {
    if (!d.function || d.params_end == kNone || d.params_end >= b) return false;
    for (size_t x = d.params + 1; x + 1 < d.params_end; ++x)
      if (!(ident(x) || k_[x].c == ',') || type_word(x)) return false;
    if (d.params + 2 >= d.params_end) return false;  // ()
    const Declarator next = read(d.params_end, b);
    if (next.name == kNone || next.function) return false;
    const Tok &n = k_[next.name];
    for (size_t x = d.params + 1; x + 1 < d.params_end; ++x)
      if (ident(x) && k_[x].len == n.len && std::memcmp(t_ + k_[x].off, t_ + n.off, n.len) == 0)
        return true;
    return false;
  }

 private:
  const char *t_;
  const SeamVec<Tok> &k_;
};

// The name at j is that of the class whose body holds it: a constructor,
// or with '~' before it a destructor.
bool owns(const char *t, const SeamVec<Tok> &toks, size_t j, uint64_t owner) {
  return owner != 0 && toks[j].c == 'i' && owner_key(t + toks[j].off, toks[j].len) == owner;
}

// The name at j, with the '~' right before it for a class's own
// destructor: in its body (member), or outside it as A::~A.
RawName name_of(const char *t, const SeamVec<Tok> &toks, size_t j, bool member) {
  RawName n{toks[j].off, static_cast<int>(toks[j].len), DefKind::kFunction};
  const bool qualified = j >= 4 && toks[j - 2].c == ':' && toks[j - 3].c == ':' &&
                         toks[j - 4].c == 'i' && toks[j - 4].len == toks[j].len &&
                         std::memcmp(t + toks[j - 4].off, t + toks[j].off, toks[j].len) == 0;
  if ((member || qualified) && j > 0 && toks[j - 1].c == '~' &&
      toks[j - 1].off + 1 == toks[j].off) {
    n.off = toks[j - 1].off;
    ++n.len;
  }
  return n;
}

}  // namespace

uint64_t owner_key(const char *name, size_t len) {
  uint64_t h = 14695981039346656037ull;
  for (size_t i = 0; i < len; ++i) h = (h ^ static_cast<unsigned char>(name[i])) * 1099511628211ull;
  return h == 0 ? 1 : h;
}

bool read_declaration(const char *t, size_t from, size_t to, bool at_brace,
                      const unsigned char *leads, uint64_t owner, SeamVec<RawName> *out,
                      DeclShape *shape, size_t *begin, size_t *name_off, int *name_len,
                      TypedefScratch *scratch) {
  *shape = DeclShape::kNone;
  SeamVec<Tok> &toks = *scratch;
  toks.clear();
  Tokenizer tokenizer(t, to, leads);
  if (!tokenizer.run(from, &toks, false)) return false;
  const size_t n = toks.size();
  if (n == 0) return true;
  *begin = toks[0].off;
  bool is_extern = false;
  for (size_t j = 0; j < n; ++j) {
    if (token_is(t, toks[j], "typedef")) return true;  // the typedef's own record
    is_extern = is_extern || token_is(t, toks[j], "extern");
  }
  DeclReader r(t, toks);
  // Labels before it (C++'s public:) are no part of it.
  size_t first_tok = 0;
  while (first_tok + 1 < n && toks[first_tok].c == 'i' && toks[first_tok + 1].c == ':' &&
         !(first_tok + 2 < n && toks[first_tok + 2].c == ':'))
    first_tok += 2;
  if (first_tok >= n) return true;
  r.first_ = first_tok;
  *begin = toks[first_tok].off;
  if (at_brace) {
    size_t head = first_tok;  // past a template's parameters: template <class T> class
    if (token_is(t, toks[head], "template") && head + 1 < n && toks[head + 1].c == '<') {
      int depth = 0;
      for (++head; head < n; ++head) {
        depth += toks[head].c == '<' ? 1 : toks[head].c == '>' ? -1 : 0;
        if (depth == 0) break;
      }
      ++head;
    }
    bool call = false;  // class T *f(void) { is a function
    for (size_t j = head; j < n && !call; ++j) call = toks[j].c == '(';
    if ((n == 2 && is_extern && toks[1].c == 'L') ||
        (head < n && !call &&
         (token_is(t, toks[head], "class") || token_is(t, toks[head], "namespace")))) {
      *shape = DeclShape::kLinkage;
      if (head < n && token_is(t, toks[head], "class")) {
        // The class's name: its last plain name before a base clause.
        for (size_t j = head + 1; j < n; ++j) {
          if (toks[j].c == ':' && !(j + 1 < n && toks[j + 1].c == ':')) break;
          if (toks[j].c == 'i' && !(j + 1 < n && toks[j + 1].c == '(')) {
            *name_off = toks[j].off;
            *name_len = static_cast<int>(toks[j].len);
          }
        }
      }
      return true;
    }
    // An '=' outside parentheses (not a default argument's), not C++'s
    // operator= or operator==.
    int depth = 0;
    for (size_t j = 0; j < n; ++j) {
      if (token_is(t, toks[j], "operator")) break;
      depth += toks[j].c == '(' ? 1 : toks[j].c == ')' && depth > 0 ? -1 : 0;
      if (toks[j].c == '=' && depth == 0) {
        *shape = DeclShape::kInitializer;
        return true;
      }
    }
    const size_t e = r.declarator_end(first_tok, n);
    const Declarator d = r.read(first_tok, e);
    const bool member = d.name != kNone && d.function && owns(t, toks, d.name, owner);
    if (d.name != kNone && d.function && (r.typed(d, first_tok) || member)) {
      *shape = DeclShape::kFunction;
      *begin = toks[d.start].off;
      const RawName name = name_of(t, toks, d.name, member);
      *name_off = name.off;
      *name_len = name.len;
    }
    return true;
  }
  if (token_is(t, toks[first_tok], "using")) return true;  // C++'s using std::name;
  const size_t a0 = std::max(first_tok, r.declarators_from(n));
  bool first = true;
  for (size_t a = a0; a < n;) {
    const size_t e = r.declarator_end(a, n);
    const Declarator d = r.read(a, e);
    const bool member = d.name != kNone && d.function && owns(t, toks, d.name, owner);
    if (first) {
      if (d.name == kNone || (!r.typed(d, a) && !member)) return true;
      if (d.start != a) *begin = toks[d.start].off;  // after the macro calls before it
      if (r.knr(d, e)) {
        *shape = DeclShape::kKnrPending;
        return true;
      }
      first = false;
    }
    if (d.name != kNone) {
      const DefKind kind =
          d.function ? DefKind::kPrototype : is_extern ? DefKind::kExtern : DefKind::kVariable;
      RawName name = name_of(t, toks, d.name, member);
      name.kind = kind;
      if (!out->push(name)) return false;
      *shape = DeclShape::kDeclared;
    }
    a = e + 1;
  }
  return true;
}

namespace {

// The members of one body (recursively into the anonymous ones it holds).
bool members_of(const char *t, size_t open, size_t close, const unsigned char *leads,
                const RawName &scope, SeamVec<RawName> *out, TypedefScratch *scratch, int depth) {
  Tokenizer tokenizer(t, close, leads, true);
  for (size_t i = open + 1; i < close;) {
    SeamVec<Tok> &toks = *scratch;
    toks.clear();
    if (!tokenizer.run(i, &toks)) return false;
    const size_t next = tokenizer.stop();
    const size_t n = toks.size();
    DeclReader r(t, toks);
    // A body among the tokens: an anonymous struct's or union's members are
    // this container's; a tagged one, or an enum, is a definition of its own.
    size_t body = n;
    for (size_t j = 0; j < n && body == n; ++j)
      if (toks[j].c == '{') body = j;
    if (body < n && depth < 16) {
      const bool tagged = body > 0 && toks[body - 1].c == 'i' && !r.tag_keyword(body - 1) &&
                          !r.skipped_word(body - 1);
      bool su = false;
      for (size_t j = 0; j < body; ++j)
        su = su || token_is(t, toks[j], "struct") || token_is(t, toks[j], "union");
      if (su && !tagged) {
        const Tok b = toks[body];
        if (!members_of(t, b.off, b.off + b.len - 1, leads, scope, out, scratch, depth + 1))
          return false;
        toks.clear();  // read again: the inner bodies used the same scratch
        Tokenizer again(t, close, leads, true);
        if (!again.run(i, &toks)) return false;
      }
    }
    DeclReader r2(t, toks);
    const size_t m = toks.size();
    for (size_t a = r2.declarators_from(m); a < m;) {
      const size_t e = r2.declarator_end(a, m);
      const Declarator d = r2.read(a, e);
      if (d.name != kNone && r2.typed(d, a)) {
        RawName name{toks[d.name].off, static_cast<int>(toks[d.name].len), DefKind::kMember};
        name.scope_off = scope.off;
        name.scope_len = scope.len;
        name.scope_kind = scope.kind;
        if (!out->push(name)) return false;
      }
      a = e + 1;
    }
    if (next <= i) break;
    i = next;
  }
  return true;
}

}  // namespace

bool member_names(const char *t, size_t open, size_t close, const unsigned char *leads,
                  const RawName &scope, SeamVec<RawName> *out, TypedefScratch *scratch) {
  return members_of(t, open, close, leads, scope, out, scratch, 0);
}

bool enumerator_names(const char *t, size_t open, size_t close, const unsigned char *leads,
                      const RawName &scope, SeamVec<RawName> *out, TypedefScratch *scratch) {
  SeamVec<Tok> &toks = *scratch;
  toks.clear();
  Tokenizer tokenizer(t, close, leads, true);
  if (!tokenizer.run(open + 1, &toks, false)) return false;
  const size_t n = toks.size();
  DeclReader r(t, toks);
  bool item_start = true;  // the next name begins an item
  int depth = 0;
  for (size_t j = 0; j < n; ++j) {
    const char c = toks[j].c;
    if (c == '(' || c == '[') ++depth;
    if ((c == ')' || c == ']') && depth > 0) --depth;
    if (c == ',' && depth == 0) {
      item_start = true;
      continue;
    }
    if (!item_start) continue;
    if (r.skipped_word(j)) {  // an attribute before the constant
      if (j + 1 < n && toks[j + 1].c == '(') j = r.group_end(j + 1, n) - 1;
      continue;
    }
    item_start = false;
    if (c != 'i') continue;
    RawName name{toks[j].off, static_cast<int>(toks[j].len), DefKind::kEnumerator};
    name.scope_off = scope.off;
    name.scope_len = scope.len;
    name.scope_kind = scope.kind;
    if (!out->push(name)) return false;
  }
  return true;
}

}  // namespace kolvu
