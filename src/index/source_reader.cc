#include "index/source_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kolvu {

const unsigned long long kSourceLimit = 0x7fffffffull - 4096;  // positions fit an int

ScanResult open_source(const char *path, int *fd) {
  ScanResult r;
  *fd = ::open(path, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (*fd >= 0 && ::fstat(*fd, &st) == 0 && !S_ISDIR(st.st_mode)) return r;
  r.status = ScanStatus::kCannotOpen;
  r.error_number = *fd < 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : errno;
  if (*fd >= 0) ::close(*fd);
  *fd = -1;
  return r;
}

ScanResult scan_source_fd(int fd, const ScanOptions &options, DefinitionFn fn, void *context) {
  ScanResult r;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    r.status = ScanStatus::kCannotRead;
    r.error_number = errno;
    return r;
  }
  if (S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) > kSourceLimit) {
    r.status = ScanStatus::kTooLarge;
    return r;
  }
  // The library reads a regular file by its name in one buffer; the
  // descriptor's name in /proc is the same file. A pipe or a FIFO is read
  // here: opened again, it would wait for a writer that may be gone.
  char name[48];
  std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
  if (S_ISREG(st.st_mode) && ::lseek(fd, 0, SEEK_CUR) == 0) {
    r = scan_definitions_file(name, options, fn, context);
    // Without /proc the file is read here, as a pipe is.
    if (r.status != ScanStatus::kCannotOpen || r.error_number != ENOENT) return r;
    r = ScanResult();
  }
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      r.status = ScanStatus::kCannotRead;
      r.error_number = errno;
      return r;
    }
    if (got == 0) break;
    if (text.size() + static_cast<size_t>(got) > kSourceLimit) {
      r.status = ScanStatus::kTooLarge;
      return r;
    }
    text.append(buf, static_cast<size_t>(got));
  }
  return scan_definitions(text.data(), text.size(), options, fn, context);
}

const char *source_status_text(ScanStatus status) {
  if (status == ScanStatus::kTooLarge) return "too large (the limit is 2 GiB)";
  return scan_status_text(status);
}

}  // namespace kolvu
