// The names a typedef introduces, read from its source text: the tag of a
// struct or union it defines with a body, and the name each of its
// declarators declares (REC and LPREC in `typedef struct _REC {...} REC,
// *LPREC;`, CMPFUNC in `typedef int (*CMPFUNC)(const void *, const void *);`,
// arr_t in `typedef char arr_t[10];`, T in `typedef int T
// __attribute__((aligned(8)));`, PFN in `typedef BOOL (WINAPI *PFN)(void);`).
// Comments, literals, preprocessor lines and double-byte characters between
// the tokens are stepped over.
#ifndef KOLVU_SCANNER_DECLARATORS_H_
#define KOLVU_SCANNER_DECLARATORS_H_

#include <cstddef>
#include <cstring>

#include "kolvu/bytes.h"
#include "kolvu/scan.h"
#include "util/seam_vec.h"

namespace kolvu {

/// A name found in a text: its offset and length there, and its kind.
struct RawName {
  size_t off;
  int len;
  DefKind kind;
  // A member's or enumerator's container: its name's place and kind (no
  // container when scope_len is 0).
  size_t scope_off = 0;
  int scope_len = 0;
  DefKind scope_kind = DefKind::kStruct;
};

/// Appends to out the names of the typedef whose text follows its keyword
/// at t[from], up to its first ';' outside braces and parentheses or to
/// limit. leads: the lead-byte classes of the encoding (bit kLead), or a
/// table of zeros. *has_body is set when it defines a struct or union with
/// a body. False when memory runs out.
/// A token of a typedef's text, kept between calls in a TypedefScratch.
struct TypedefToken {
  char c;  // 'i' an identifier, 'N' a number, '{' a whole body, 'L' a literal, else the byte
  size_t off;
  size_t len;
};
using TypedefScratch = SeamVec<TypedefToken>;

bool typedef_names(const char *t, size_t from, size_t limit, const unsigned char *leads,
                   SeamVec<RawName> *out, bool *has_body, TypedefScratch *scratch);

/// True for the n bytes at p when they are a word of a declaration's type
/// that is never the declared name (int, const, struct ...).
inline bool is_type_word(const char *p, size_t n) {
  struct Word {
    const char *w;
    size_t n;
  };
  static const Word kWords[] = {
      {"const", 5}, {"volatile", 8}, {"restrict", 8}, {"__restrict", 10}, {"__restrict__", 12},
      {"signed", 6}, {"unsigned", 8}, {"int", 3}, {"char", 4}, {"short", 5}, {"long", 4},
      {"float", 5}, {"double", 6}, {"void", 4}, {"struct", 6}, {"union", 5}, {"enum", 4},
      {"__extension__", 13}, {"__const", 7}};
  for (const Word &w : kWords)
    if (n == w.n && std::memcmp(p, w.w, w.n) == 0) return true;
  return false;
}

/// True for the n bytes at p when they are a word whose parenthesized group
/// says something about a declaration and names nothing (__attribute__,
/// __declspec, alignas ...).
bool is_attribute_word(const char *p, size_t n);

/// The tag of the struct, union or enum whose keyword is token kw and whose
/// body is token body, read by lex::TagHead's lookups' policy: true, with
/// its place, when a body follows the head and it has a tag.
bool head_tag(const char *t, const SeamVec<TypedefToken> &toks, size_t kw, size_t body,
              size_t *tag_off, size_t *tag_len);

/// Just past the identifier (letters, digits, '_') that starts at t[i], at
/// most limit.
inline size_t ident_end(const char *t, size_t i, size_t limit) {
  while (i < limit && (byte_class[static_cast<unsigned char>(t[i])] & kIdent)) ++i;
  return i;
}

}  // namespace kolvu

#endif  // KOLVU_SCANNER_DECLARATORS_H_
