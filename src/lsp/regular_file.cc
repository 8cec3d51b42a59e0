#include "lsp/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kolvu {

namespace {

FileStamp stamp_from(const struct stat &st) {
  FileStamp s;
  s.size = static_cast<int64_t>(st.st_size);
  s.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

// Opens path without waiting and checks on the descriptor that it is a
// regular file: its descriptor, or -1 with the reason.
int open_regular(const std::string &path, struct stat *st, std::string *error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return -1;
  }
  if (::fstat(fd, st) != 0) {
    *error = std::strerror(errno);
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st->st_mode)) {
    *error = S_ISDIR(st->st_mode) ? std::strerror(EISDIR) : "not a regular file";
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

FileStamp stamp_of(const std::string &path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileStamp();
  return stamp_from(st);
}

bool read_regular_range(const std::string &path, size_t offset, size_t size, std::string *text) {
  text->clear();
  struct stat st;
  std::string error;
  int fd = open_regular(path, &st, &error);
  if (fd < 0) return false;
  text->resize(size);
  ssize_t n;
  do {
    n = ::pread(fd, &(*text)[0], size, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  text->resize(n > 0 ? static_cast<size_t>(n) : 0);
  return n >= 0;
}

bool read_regular_file(const std::string &path, size_t max_bytes, std::string *text,
                       std::string *error, FileStamp *stamp) {
  text->clear();
  struct stat st;
  int fd = open_regular(path, &st, error);
  if (fd < 0) return false;
  const std::string too_large = "larger than " + std::to_string(max_bytes) + " bytes";
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    *error = too_large;
    ::close(fd);
    return false;
  }
  if (stamp != nullptr) *stamp = stamp_from(st);
  text->reserve(static_cast<size_t>(st.st_size));
  // The size may have been wrong (a file that grows, or one of /proc that
  // says 0): the limit holds for what is read, not for what was said.
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      if (text->size() + static_cast<size_t>(n) > max_bytes) {
        *error = too_large;
        text->clear();
        text->shrink_to_fit();
        ::close(fd);
        return false;
      }
      text->append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    break;
  }
  ::close(fd);
  return true;
}

}  // namespace kolvu
