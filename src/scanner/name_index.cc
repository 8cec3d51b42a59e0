// The name index: one hash table of whole entries and one of the bytes
// before an entry's '*'. Entries that cannot meet a name's shape are left
// out, and a name is looked up once whole and once per shorter prefix that
// some entry has.
#include "scanner/name_index.h"

#include <cstring>

#include "kolvu/bytes.h"

namespace kolvu {
namespace {

uint32_t hash_of(const char *p, int n) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
  return h ^ static_cast<uint32_t>(n);
}

void insert(NameSlot *t, uint32_t mask, const char *key, int n) {
  uint32_t h = hash_of(key, n);
  for (uint32_t i = h;; ++i) {
    NameSlot &s = t[i & mask];
    if (s.len < 0) {
      s = {h, n, key};
      return;
    }
    if (s.hash == h && s.len == n && std::memcmp(s.key, key, static_cast<size_t>(n)) == 0)
      return;  // the same key again
  }
}

bool contains(const NameSlot *t, uint32_t mask, const char *key, int n) {
  uint32_t h = hash_of(key, n);
  for (uint32_t i = h;; ++i) {
    const NameSlot &s = t[i & mask];
    if (s.len < 0) return false;
    if (s.hash == h && s.len == n && std::memcmp(s.key, key, static_cast<size_t>(n)) == 0)
      return true;
  }
}

// Bytes of a name until the first '*' or the end of the entry; -1 when a
// byte before that could never be part of a name, or there are too many.
int name_part(const char *e, int limit) {
  int k = 0;
  for (; e[k] != '\0' && e[k] != '*'; ++k)
    if (k == limit || !is_ident(e[k])) return -1;
  return k;
}

}  // namespace

int name_length(const char *pos, int limit) {
  int n = 0;
  while (n < limit && is_ident(pos[n])) ++n;
  return n;
}

void NameIndex::reset(NameSlot *exact, NameSlot *prefix, int slots, int limit) {
  limit_ = limit;
  long_prefixes_ = false;
  exact_ = exact;
  prefix_ = prefix;
  mask_ = static_cast<uint32_t>(slots - 1);
  for (int i = 0; i < slots; ++i) exact_[i].len = prefix_[i].len = -1;
  prefix_lens_ = 0;
  count_ = 0;
}

void NameIndex::add(const char *e) {
  ++count_;
  int k = name_part(e, limit_);
  if (k < 0) return;
  if (e[k] == '\0') {
    insert(exact_, mask_, e, k);
  } else if (k < limit_) {  // a name longer than k bytes must exist
    insert(prefix_, mask_, e, k);
    if (k < 64)
      prefix_lens_ |= uint64_t{1} << k;
    else
      long_prefixes_ = true;
  }
}

int NameIndex::lookup(const char *name, int n) const {
  if (contains(exact_, mask_, name, n)) return 1;
  // the prefixes shorter than the name
  uint64_t lens = n >= 64 ? prefix_lens_ : prefix_lens_ & ((uint64_t{1} << n) - 1);
  while (lens != 0) {
    int k = __builtin_ctzll(lens);
    if (contains(prefix_, mask_, name, k)) return 1;
    lens &= lens - 1;
  }
  if (long_prefixes_)
    for (int k = 64; k < n; ++k)
      if (contains(prefix_, mask_, name, k)) return 1;
  return 0;
}

int walk_names(const char *const *entries, int count, const char *name, int n) {
  for (int i = 0; i < count; ++i) {
    const char *e = entries[i];
    int j = 0;
    for (; j < n; ++j) {
      if (e[j] == '*') return 1;
      if (e[j] != name[j]) break;
    }
    if (j == n && e[n] == '\0') return 1;
  }
  return 0;
}

}  // namespace kolvu
