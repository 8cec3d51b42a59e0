#include "index/fd_writer.h"

#include <unistd.h>

#include <cerrno>

namespace kolvu {

void FdWriter::put(std::string_view s) {
  if (error_ != 0) return;
  if (buf_.size() + s.size() > kBuffer) {
    flush();
    if (s.size() >= kBuffer) {
      write_all(s.data(), s.size());
      return;
    }
  }
  buf_.append(s);
}

void FdWriter::flush() {
  if (error_ == 0 && !buf_.empty()) write_all(buf_.data(), buf_.size());
  buf_.clear();
}

void FdWriter::write_all(const char *p, size_t n) {
  while (n > 0 && error_ == 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno != EINTR) error_ = errno;
      continue;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

}  // namespace kolvu
