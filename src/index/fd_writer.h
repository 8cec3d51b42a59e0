// Buffered writes to a descriptor for kolvu-index's output: pieces are
// gathered up to a buffer's size and written in one write(2) each; a piece
// as large as the buffer goes out on its own. The first failure is kept and
// every write after it is dropped.
#ifndef KOLVU_INDEX_FD_WRITER_H_
#define KOLVU_INDEX_FD_WRITER_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kolvu {

class FdWriter {
 public:
  static const size_t kBuffer = 64 * 1024;

  explicit FdWriter(int fd) : fd_(fd) { buf_.reserve(kBuffer); }
  void put(std::string_view s);
  void flush();
  /// errno of the first failed write, 0 if none.
  int error() const { return error_; }

 private:
  void write_all(const char *p, size_t n);

  int fd_;
  int error_ = 0;
  std::string buf_;
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_FD_WRITER_H_
