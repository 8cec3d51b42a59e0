#include "index/source_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kolvu {

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

}  // namespace kolvu
