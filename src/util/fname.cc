// File-name comparison, ordering and splitting.
#include "kolvu/fname.h"

#include <cstring>

#include "kolvu/bytes.h"
#include "kolvu/search.h"

namespace kolvu {

namespace {

inline int byte_at(const char *p) { return static_cast<unsigned char>(*p); }

inline int fold(int c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }

// The path of the entry that an element of the sorted array points at.
const char *entry_path(const void *element) {
  const void *entry = *static_cast<const void *const *>(element);
  return *static_cast<const char *const *>(entry);
}

// Backslashes that start a character; the second byte of a double-byte
// character is never one of them.
int separators(const char *path) {
  int n = 0;
  for (const char *p = path; *p != '\0';) {
    if (*p == '\\') {
      ++n;
      ++p;
    } else {
      p += starts_double(p) ? 2 : 1;
    }
  }
  return n;
}

}  // namespace

int StrCmp(const char *a, const char *b) {
  while (*a != '\0' && *b != '\0') {
    int ca = byte_at(a), cb = byte_at(b);
    if (ca < 0x80) {
      if (cb >= 0x80) return -1;
      ca = fold(ca);
      cb = fold(cb);
      if (ca == cb) {
        ++a;
        ++b;
        continue;
      }
      if (ca == '\\') return -1;
      if (cb == '\\') return 1;
      return ca < cb ? -1 : 1;
    }
    if (cb < 0x80) return 1;
    bool ka = is_kana(ca), kb = is_kana(cb);
    if (ka != kb) return ka ? -1 : 1;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ka) {
      ++a;
      ++b;
      continue;
    }
    // The same first byte of a double-byte character: the second bytes decide.
    // A first byte just before the terminator has a second byte of 0.
    int sa = byte_at(a + 1), sb = byte_at(b + 1);
    if (sa != sb) return sa < sb ? -1 : 1;
    if (sa == 0) return 0;
    a += 2;
    b += 2;
  }
  if (*a != '\0') return 1;
  if (*b != '\0') return -1;
  return 0;
}

int comp_file(const void *x, const void *y) {
  const char *px = entry_path(x), *py = entry_path(y);
  int nx = separators(px), ny = separators(py);
  if (nx != ny) return nx < ny ? -1 : 1;
  return StrCmp(px, py);
}

const char *findExt(const char *path) {
  const char *sep = Strrchr(path, '\\');
  return rindex(sep != nullptr ? sep + 1 : path, '.');
}

char *findExt(char *path) { return const_cast<char *>(findExt(static_cast<const char *>(path))); }

int sepname(char *path, char *first, char *rest) {
  rest[0] = '\0';
  char *from = srch_wild(path);
  if (from == nullptr) from = path + std::strlen(path);
  const char *tail = "";
  if (char *sep = Strchr(from, '\\')) {
    *sep = '\0';
    tail = sep + 1;
  }
  // memmove: first may be the path's own storage.
  std::memmove(first, path, std::strlen(path) + 1);
  std::memmove(rest, tail, std::strlen(tail) + 1);
  return 0;
}

}  // namespace kolvu
