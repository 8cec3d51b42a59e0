// Where kolvu-index reads a source. A regular file up to a limit is read
// whole, in one read(2) where it can be, into a buffer each worker keeps
// from file to file, and scanned in memory; any other source (a larger
// file, standard input, a FIFO, a process substitution) is scanned through
// its descriptor a piece at a time, so memory does not grow with it.
#ifndef KOLVU_INDEX_SOURCE_READER_H_
#define KOLVU_INDEX_SOURCE_READER_H_

#include <cstddef>
#include <memory>
#include <type_traits>

#include "kolvu/scan.h"

namespace kolvu {

class SourceReader {
 public:
  /// whole_limit: the largest file read whole.
  explicit SourceReader(size_t whole_limit) : whole_limit_(whole_limit) {}

  /// Scans the file at path, or standard input (descriptor 0, left open)
  /// when path is null. kCannotOpen with errno (EISDIR for a directory)
  /// when the file cannot be opened; kCannotRead with errno when a read
  /// fails.
  ScanResult scan(const char *path, const ScanOptions &options, DefinitionFn fn, void *context);

  template <typename F>
  ScanResult scan(const char *path, const ScanOptions &options, F &&f) {
    using Fn = std::remove_reference_t<F>;
    return scan(path, options, &scan_detail::call<Fn>,
                const_cast<void *>(static_cast<const void *>(&f)));
  }

 private:
  const size_t whole_limit_;
  std::unique_ptr<char[]> buf_;
  size_t cap_ = 0;
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_SOURCE_READER_H_
