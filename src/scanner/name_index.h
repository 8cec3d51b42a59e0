// Which names a list of entries wants, answered in a few hash probes rather
// than a walk of every entry. An entry without '*' wants exactly itself; an
// entry whose first '*' stands after k bytes wants every longer name that
// begins with those k bytes. A name is the run of ASCII letters, digits and
// '_' at the place asked about, of which at most 32 bytes are compared (the
// tool's rule), or all of them (the library's).
//
// The index does not own the entries or its tables: it points at both, so
// the tool's fixed list and the library's growing ones share it. Reading it
// from many threads at once is safe while nothing is added.
#ifndef KOLVU_SCANNER_NAME_INDEX_H_
#define KOLVU_SCANNER_NAME_INDEX_H_

#include <cstdint>

namespace kolvu {

const int kNameMax = 32;  // bytes of a name that are compared

const int kWholeNames = 0x7fffffff;  // a limit under which names are compared whole

/// The length of the name that begins at pos (at most limit).
int name_length(const char *pos, int limit = kNameMax);

struct NameSlot {
  uint32_t hash;
  int32_t len;      // length of the key; -1 for an empty slot
  const char *key;  // the entry the key comes from
};

class NameIndex {
 public:
  /// Starts empty over two tables of slots slots each (a power of two,
  /// more than twice the entries that will be added), comparing at most
  /// limit bytes of a name.
  void reset(NameSlot *exact, NameSlot *prefix, int slots, int limit = kNameMax);

  /// Adds an entry, which must stay alive and unchanged while indexed.
  void add(const char *entry);

  /// The number of entries added, those that can want nothing included.
  int entries() const { return count_; }

  /// 1 when the name of n bytes (letters, digits and '_', n <= the limit)
  /// is wanted by an entry, else 0.
  int lookup(const char *name, int n) const;

  /// 1 when the name that begins at pos is wanted; always 1 with no entry.
  int wants(const char *pos) const {
    return count_ == 0 ? 1 : lookup(pos, name_length(pos, limit_));
  }

 private:
  NameSlot *exact_ = nullptr;   // keys: whole entries without '*'
  NameSlot *prefix_ = nullptr;  // keys: the bytes before an entry's first '*'
  uint32_t mask_ = 0;
  uint64_t prefix_lens_ = 0;    // bit k: some prefix key is k bytes long
  bool long_prefixes_ = false;  // some prefix key is 64 bytes or longer
  int limit_ = kNameMax;
  int count_ = 0;
};

/// The same answer as NameIndex::lookup, by walking every entry in turn.
int walk_names(const char *const *entries, int count, const char *name, int n);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_NAME_INDEX_H_
