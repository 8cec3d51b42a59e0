// The name index. An entry without '*' wants exactly itself; an entry whose
// first '*' stands after k bytes wants every longer name that begins with
// those k bytes. Names are at most 32 bytes of letters, digits and '_', so
// entries that cannot meet that shape are left out, and a name is looked up
// once whole and once per shorter prefix that some entry has.
#include "driver/name_index.h"

#include <cstdint>
#include <cstring>

#include "driver/namelist.h"
#include "kolvu/bytes.h"

namespace kolvu {

unsigned list_generation = 0;

namespace {

const int kSlots = 4096;  // a power of two, over twice the largest list

struct Slot {
  uint32_t hash;
  int16_t len;    // length of the key; -1 for an empty slot
  int16_t entry;  // the list entry the key comes from
};

struct Table {
  Slot slots[kSlots];
  void clear() {
    for (Slot &s : slots) s.len = -1;
  }
};

Table exact;            // keys: whole entries without '*'
Table prefix;           // keys: the bytes before an entry's first '*'
uint64_t prefix_lens;   // bit k: some prefix key is k bytes long
int indexed_cnt = -1;
unsigned indexed_generation = 0;

uint32_t hash_of(const char *p, int n) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
  return h ^ static_cast<uint32_t>(n);
}

void insert(Table &t, const char *key, int n, int entry) {
  uint32_t h = hash_of(key, n);
  for (uint32_t i = h;; ++i) {
    Slot &s = t.slots[i & (kSlots - 1)];
    if (s.len < 0) {
      s = {h, static_cast<int16_t>(n), static_cast<int16_t>(entry)};
      return;
    }
    if (s.hash == h && s.len == n && std::memcmp(list[s.entry], key, static_cast<size_t>(n)) == 0)
      return;  // the same key again
  }
}

bool contains(const Table &t, const char *key, int n) {
  uint32_t h = hash_of(key, n);
  for (uint32_t i = h;; ++i) {
    const Slot &s = t.slots[i & (kSlots - 1)];
    if (s.len < 0) return false;
    if (s.hash == h && s.len == n && std::memcmp(list[s.entry], key, static_cast<size_t>(n)) == 0)
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

void update_name_index() {
  if (indexed_cnt == list_cnt && indexed_generation == list_generation) return;
  exact.clear();
  prefix.clear();
  prefix_lens = 0;
  for (int i = 0; i < list_cnt; ++i) {
    const char *e = list[i];
    int k = name_part(e, kNameMax);
    if (k < 0) continue;
    if (e[k] == '\0') {
      insert(exact, e, k, i);
    } else if (k < kNameMax) {  // a name longer than k bytes must exist
      insert(prefix, e, k, i);
      prefix_lens |= uint64_t{1} << k;
    }
  }
  indexed_cnt = list_cnt;
  indexed_generation = list_generation;
}

int index_lookup(const char *name, int n) {
  if (contains(exact, name, n)) return 1;
  uint64_t lens = prefix_lens & ((uint64_t{1} << n) - 1);  // prefixes shorter than the name
  while (lens != 0) {
    int k = __builtin_ctzll(lens);
    if (contains(prefix, name, k)) return 1;
    lens &= lens - 1;
  }
  return 0;
}

int walk_lookup(const char *name, int n) {
  for (int i = 0; i < list_cnt; ++i) {
    const char *e = list[i];
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
