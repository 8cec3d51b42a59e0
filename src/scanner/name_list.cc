// Name lists of the library: the entries, copied, and a hash index over
// them that grows with the list; names are compared whole.
#include <cstdlib>
#include <cstring>
#include <new>

#include "kolvu/scan.h"
#include "scanner/name_index.h"
#include "scanner/scan_access.h"
#include "util/alloc_seam.h"

namespace kolvu {

namespace {

// The index of a NameList and the tables it works in.
struct ListIndex {
  NameIndex index;
  NameSlot *exact;
  NameSlot *prefix;
  int slots;
};

void free_index(void *p) {
  if (p == nullptr) return;
  ListIndex *li = static_cast<ListIndex *>(p);
  std::free(li->exact);
  std::free(li->prefix);
  std::free(li);
}

}  // namespace

const NameIndex *ScanAccess::index_of(const NameList *list) {
  if (list == nullptr || list->index_ == nullptr) return nullptr;
  return &static_cast<const ListIndex *>(list->index_)->index;
}

NameList::~NameList() {
  for (int i = 0; i < count_; ++i) std::free(entries_[i]);
  std::free(entries_);
  free_index(index_);
}

NameList::NameList(NameList &&other) noexcept
    : entries_(other.entries_), count_(other.count_), capacity_(other.capacity_),
      index_(other.index_) {
  other.entries_ = nullptr;
  other.count_ = other.capacity_ = 0;
  other.index_ = nullptr;
}

NameList &NameList::operator=(NameList &&other) noexcept {
  if (this != &other) {
    this->~NameList();
    new (this) NameList(static_cast<NameList &&>(other));
  }
  return *this;
}

// Room in the index for one more entry: the tables stay at most a quarter
// full, and are made anew, twice as large, when they would not.
bool NameList::grow_index() {
  ListIndex *li = static_cast<ListIndex *>(index_);
  if (li != nullptr && (count_ + 1) * 4 <= li->slots) return true;
  int slots = li == nullptr ? 16 : li->slots * 2;
  ListIndex *fresh = static_cast<ListIndex *>(alloc_or_null(sizeof(ListIndex)));
  if (fresh == nullptr) return false;
  fresh->exact = static_cast<NameSlot *>(alloc_or_null(sizeof(NameSlot) * slots));
  fresh->prefix = static_cast<NameSlot *>(alloc_or_null(sizeof(NameSlot) * slots));
  if (fresh->exact == nullptr || fresh->prefix == nullptr) {
    free_index(fresh);
    return false;
  }
  fresh->slots = slots;
  new (&fresh->index) NameIndex();
  fresh->index.reset(fresh->exact, fresh->prefix, slots, kWholeNames);
  for (int i = 0; i < count_; ++i) fresh->index.add(entries_[i]);
  free_index(index_);
  index_ = fresh;
  return true;
}

bool NameList::add(std::string_view entry) {
  if (count_ == capacity_) {
    int grown = capacity_ == 0 ? 16 : capacity_ * 2;
    void *moved = realloc_or_null(entries_, sizeof(char *) * static_cast<size_t>(grown));
    if (moved == nullptr) return false;
    entries_ = static_cast<char **>(moved);
    capacity_ = grown;
  }
  if (!grow_index()) return false;
  char *copy = static_cast<char *>(alloc_or_null(entry.size() + 1));
  if (copy == nullptr) return false;
  std::memcpy(copy, entry.data(), entry.size());
  copy[entry.size()] = '\0';
  entries_[count_++] = copy;
  static_cast<ListIndex *>(index_)->index.add(copy);
  return true;
}

bool NameList::add_list(std::string_view text) {
  for (;;) {
    size_t comma = text.find(',');
    if (!add(text.substr(0, comma))) return false;
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

bool NameList::wants(const char *name) const {
  const NameIndex *index = ScanAccess::index_of(this);
  return index == nullptr || index->wants(name) != 0;
}

}  // namespace kolvu
