#include "index/source_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace kolvu {

ScanResult SourceReader::scan(const char *path, const ScanOptions &options, DefinitionFn fn,
                              void *context) {
  if (path == nullptr) return scan_definitions_fd(0, options, fn, context);
  ScanResult r;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    r.status = ScanStatus::kCannotOpen;
    r.error_number = fd < 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : errno;
    if (fd >= 0) ::close(fd);
    return r;
  }
  size_t size = static_cast<size_t>(st.st_size);
  if (!S_ISREG(st.st_mode) || size > whole_limit_) {
    r = scan_definitions_fd(fd, options, fn, context);
    ::close(fd);
    return r;
  }
  // One byte more than the size: a read of a regular file that comes back
  // short has met the end, so a file that did not grow takes one read; one
  // that did is read on to its end. The room after the bytes read lets the
  // scan read them as text where they are. The buffer is grown before the
  // first read, so the bytes read are not moved, and by half at least, so a
  // worker meeting larger and larger files makes few buffers.
  const size_t room = kInPlaceRoom;
  size_t n = 0;
  for (;;) {
    if (n + room == cap_ || cap_ < size + 1 + room) {
      size_t cap = cap_ + cap_ / 2;
      if (n + room == cap_ && cap < 2 * cap_) cap = 2 * cap_;  // the file grew
      if (cap < size + 1 + room) cap = size + 1 + room;
      // Memory that cannot be had is the file's failure, not the run's end.
      std::unique_ptr<char[]> grown(new (std::nothrow) char[cap]);
      if (grown == nullptr) {
        ::close(fd);
        r.status = ScanStatus::kNoMemory;
        return r;
      }
      if (n > 0) std::memcpy(grown.get(), buf_.get(), n);
      buf_ = std::move(grown);
      cap_ = cap;
    }
    ssize_t got = ::read(fd, buf_.get() + n, cap_ - room - n);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      r.status = ScanStatus::kCannotRead;
      r.error_number = errno;
      ::close(fd);
      return r;
    }
    if (got == 0) break;
    n += static_cast<size_t>(got);
    if (n < cap_ - room) break;
  }
  ::close(fd);
  r = scan_definitions_in_place(buf_.get(), n, cap_, options, fn, context);
  // What a large file needed is not kept for the next one.
  if (cap_ > whole_limit_ + 1 + room) {
    buf_.reset();
    cap_ = 0;
  }
  return r;
}

}  // namespace kolvu
