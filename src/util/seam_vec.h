// A growable array of plain values whose memory comes through the
// allocation seam: push() answers false when memory runs out, where a
// std::vector would throw, so a scan can fail with kNoMemory instead.
#ifndef KOLVU_UTIL_SEAM_VEC_H_
#define KOLVU_UTIL_SEAM_VEC_H_

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "util/alloc_seam.h"

namespace kolvu {

template <typename T>
class SeamVec {
  static_assert(std::is_trivially_copyable_v<T>, "values are moved with memcpy");

 public:
  SeamVec() = default;
  ~SeamVec() { std::free(data_); }
  SeamVec(const SeamVec &) = delete;
  SeamVec &operator=(const SeamVec &) = delete;

  /// False, and the array unchanged, when memory runs out.
  bool push(const T &v) {
    if (size_ == cap_ && !reserve(cap_ == 0 ? 16 : cap_ * 2)) return false;
    data_[size_++] = v;
    return true;
  }
  bool reserve(size_t n) {
    if (n <= cap_) return true;
    void *moved = realloc_or_null(data_, n * sizeof(T));
    if (moved == nullptr) return false;
    data_ = static_cast<T *>(moved);
    cap_ = n;
    return true;
  }
  /// Makes this a copy of the n values at p; false when memory runs out.
  bool assign(const T *p, size_t n) {
    if (!reserve(n)) return false;
    if (n > 0) std::memcpy(data_, p, n * sizeof(T));
    size_ = n;
    return true;
  }
  /// Room for n values after the last, the size unchanged, or null when
  /// memory runs out; the room grows by half at least, so that values
  /// written a few at a time are not moved each time.
  T *room(size_t n) {
    if ((cap_ - size_ < n || data_ == nullptr) &&
        !reserve(std::max({size_ + n, cap_ + cap_ / 2, size_t{16}})))
      return nullptr;
    return data_ + size_;
  }
  /// The values written in the room up to end join the array.
  void commit(const T *end) { size_ = static_cast<size_t>(end - data_); }
  /// Appends the n values at p; false when memory runs out.
  bool append(const T *p, size_t n) {
    T *at = room(n);
    if (at == nullptr) return false;
    if (n > 0) std::memcpy(at, p, n * sizeof(T));
    size_ += n;
    return true;
  }
  /// Empties the array, and gives its memory back when it has room for
  /// more than keep values.
  void clear_keeping(size_t keep) {
    size_ = 0;
    if (cap_ <= keep) return;
    std::free(data_);
    data_ = nullptr;
    cap_ = 0;
  }
  /// Appends the values of other; false when memory runs out.
  bool append(const SeamVec &other) {
    if (!reserve(size_ + other.size_)) return false;
    if (other.size_ > 0) std::memcpy(data_ + size_, other.data_, other.size_ * sizeof(T));
    size_ += other.size_;
    return true;
  }
  void pop() { --size_; }
  void clear() { size_ = 0; }
  void resize_down(size_t n) { size_ = n; }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T &operator[](size_t i) { return data_[i]; }
  const T &operator[](size_t i) const { return data_[i]; }
  T &back() { return data_[size_ - 1]; }
  T *begin() { return data_; }
  T *end() { return data_ + size_; }
  const T *begin() const { return data_; }
  const T *end() const { return data_ + size_; }

 private:
  T *data_ = nullptr;
  size_t size_ = 0;
  size_t cap_ = 0;
};

}  // namespace kolvu

#endif  // KOLVU_UTIL_SEAM_VEC_H_
