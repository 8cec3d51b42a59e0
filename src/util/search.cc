// Character-wise and byte-wise searches.
#include "kolvu/search.h"

#include "kolvu/bytes.h"

namespace kolvu {

namespace {

inline int byte_at(const char *p) { return static_cast<unsigned char>(*p); }

// The start of the character after the one at p, which is not the
// terminator. The walk never steps over the terminator.
inline const char *next_char(const char *p) { return starts_double(p) ? p + 2 : p + 1; }

}  // namespace

const char *Strchr(const char *s, int c) {
  c &= 0xff;
  for (const char *p = s; *p != '\0'; p = next_char(p))
    if (byte_at(p) == c) return p;  // before the lead test: a lead byte can be found
  return nullptr;
}

const char *Strrchr(const char *s, int c) {
  c &= 0xff;
  const char *found = nullptr;
  for (const char *p = s; *p != '\0'; p = next_char(p))
    if (byte_at(p) == c) found = p;
  return found;
}

const char *index(const char *s, int c) {
  c &= 0xff;
  for (const char *p = s; *p != '\0'; ++p)
    if (byte_at(p) == c) return p;
  return nullptr;
}

const char *rindex(const char *s, int c) {
  c &= 0xff;
  const char *p = s;
  while (*p != '\0') ++p;
  while (p != s) {
    --p;
    if (byte_at(p) == c) return p;
  }
  return nullptr;
}

const char *index1(const char *s, const char *pattern) {
  for (const char *start = s; *start != '\0'; ++start) {
    const char *t = start;
    const char *q = pattern;
    while (*t != '\0' && *q != '\0' && *t == *q) {
      ++t;
      ++q;
    }
    if (*q == '\0') return start;
  }
  return nullptr;
}

const char *index2(const char *s, const char *set) {
  for (const char *p = s; *p != '\0'; ++p)
    for (const char *m = set; *m != '\0'; ++m)
      if (*m == *p) return p;
  return nullptr;
}

const char *srch_wild(const char *s) {
  for (const char *p = s; *p != '\0'; ++p)
    if (*p == '*' || *p == '?') return p;
  return nullptr;
}

const char *sp_skip(const char *s) {
  const char *p = s;
  while (is_blank(*p)) ++p;
  return p;
}

const char *chr_skip(const char *s) {
  const char *p = s;
  while (*p != '\0' && !is_blank(*p)) ++p;
  return p;
}

// The writable forms: the same walk, handing back the caller's own pointer.

char *Strchr(char *s, int c) { return const_cast<char *>(Strchr(static_cast<const char *>(s), c)); }
char *Strrchr(char *s, int c) { return const_cast<char *>(Strrchr(static_cast<const char *>(s), c)); }
char *index(char *s, int c) { return const_cast<char *>(index(static_cast<const char *>(s), c)); }
char *rindex(char *s, int c) { return const_cast<char *>(rindex(static_cast<const char *>(s), c)); }
char *index1(char *s, const char *pattern) {
  return const_cast<char *>(index1(static_cast<const char *>(s), pattern));
}
char *index2(char *s, const char *set) {
  return const_cast<char *>(index2(static_cast<const char *>(s), set));
}
char *srch_wild(char *s) { return const_cast<char *>(srch_wild(static_cast<const char *>(s))); }
char *sp_skip(char *s) { return const_cast<char *>(sp_skip(static_cast<const char *>(s))); }
char *chr_skip(char *s) { return const_cast<char *>(chr_skip(static_cast<const char *>(s))); }

}  // namespace kolvu
