// The definitions of one name, as the index keeps them: most names have
// one, held in place; more move to an array of their own, exactly as long
// as they are. A name costs no allocation beyond its node in the index.
#ifndef KOLVU_LSP_DEF_LIST_H_
#define KOLVU_LSP_DEF_LIST_H_

#include <cstdint>
#include <memory>

#include "lsp/source_names.h"

namespace kolvu {

/// One definition of a name, as the index keeps it.
struct IndexedName {
  uint32_t file;
  NameKind kind;
  bool ascii_prefix;  // the line holds only ASCII before the name
  uint32_t line;      // from 1
  uint32_t column;    // byte column, from 1
  uint32_t offset;
  uint32_t begin;
  uint32_t end;
};

class DefList {
 public:
  bool empty() const { return count_ == 0; }
  uint32_t size() const { return count_; }
  const IndexedName *begin() const { return count_ <= 1 ? &one_ : more_.get(); }
  const IndexedName *end() const { return begin() + count_; }

  void push_back(const IndexedName &n) {
    if (count_ == 0) {
      one_ = n;
    } else {
      std::unique_ptr<IndexedName[]> grown(new IndexedName[count_ + 1]);
      std::copy(begin(), end(), grown.get());
      grown[count_] = n;
      more_ = std::move(grown);
    }
    ++count_;
  }

  /// Drops the definitions in file; returns how many there were.
  uint32_t remove_file(uint32_t file) {
    IndexedName *all = count_ <= 1 ? &one_ : more_.get();
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count_; ++i)
      if (all[i].file != file) all[kept++] = all[i];
    const uint32_t removed = count_ - kept;
    if (kept == 1 && count_ > 1) {
      one_ = all[0];
      more_.reset();
    } else if (kept == 0) {
      more_.reset();
    }
    count_ = kept;
    return removed;
  }

 private:
  IndexedName one_{};
  uint32_t count_ = 0;
  std::unique_ptr<IndexedName[]> more_;
};

}  // namespace kolvu

#endif  // KOLVU_LSP_DEF_LIST_H_
