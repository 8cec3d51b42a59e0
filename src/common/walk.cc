#include "common/walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kolvu {

namespace {

std::string join(const std::string &dir, const std::string &name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// Makes item the report that path cannot be read, for the reason
// error_number, or message when that is 0.
void cannot_read(WalkItem *item, const std::string &path, int error_number,
                 const char *message = nullptr) {
  char buf[256];
  item->path = path;
  item->error = path + ": " + (error_number != 0 ? strerror_r(error_number, buf, sizeof buf) : message);
}

}  // namespace

std::vector<std::string> default_source_exts() {
  return {".c", ".h", ".cc", ".cpp", ".cxx", ".hh", ".hpp", ".hxx"};
}

bool has_source_ext(const std::string &name, const std::vector<std::string> &exts) {
  for (const std::string &e : exts) {
    if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0)
      return true;
  }
  return false;
}

Walker::Walker(std::vector<std::string> paths, std::vector<std::string> exts)
    : paths_(std::move(paths)), exts_(std::move(exts)) {}

bool Walker::below_itself(dev_t dev, ino_t ino) const {
  for (const Dir &d : stack_) {
    if (d.dev == dev && d.ino == ino) return true;
  }
  return false;
}

Walker::Entered Walker::enter(const std::string &path, WalkItem *item) {
  // Opened without following a last symbolic link, so that a link put in
  // place of a listed directory is not walked either.
  bool nested = !stack_.empty();
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (nested ? O_NOFOLLOW : 0));
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    int e = errno;
    if (fd >= 0) ::close(fd);
    if (nested && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return Entered::kPassedOver;
    cannot_read(item, path, e);
    return Entered::kFailed;
  }
  if (below_itself(st.st_dev, st.st_ino)) {
    ::close(fd);
    cannot_read(item, path, 0, "directory loop");
    return Entered::kFailed;
  }
  DIR *dir = ::fdopendir(fd);
  if (dir == nullptr) {
    int e = errno;
    ::close(fd);
    cannot_read(item, path, e);
    return Entered::kFailed;
  }
  Dir d;
  d.path = path;
  d.dev = st.st_dev;
  d.ino = st.st_ino;
  errno = 0;
  while (struct dirent *de = ::readdir(dir)) {
    if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0) continue;
    d.entries.push_back({de->d_name, de->d_type});
  }
  int e = errno;
  ::closedir(dir);
  if (e != 0) {
    cannot_read(item, path, e);
    return Entered::kFailed;
  }
  std::sort(d.entries.begin(), d.entries.end(),
            [](const Entry &a, const Entry &b) { return a.name < b.name; });
  stack_.push_back(std::move(d));
  return Entered::kYes;
}

bool Walker::next(WalkItem *item) {
  item->path.clear();
  item->error.clear();
  for (;;) {
    if (stack_.empty()) {
      if (next_path_ == paths_.size()) return false;
      const std::string &path = paths_[next_path_++];
      struct stat st;
      if (::stat(path.c_str(), &st) != 0) {
        cannot_read(item, path, errno);
        return true;
      }
      if (S_ISDIR(st.st_mode)) {
        if (enter(path, item) == Entered::kFailed) return true;
        continue;
      }
      if (S_ISREG(st.st_mode)) item->path = path;
      else cannot_read(item, path, 0, "not a regular file or directory");
      return true;
    }
    Dir &top = stack_.back();
    if (top.at == top.entries.size()) {
      stack_.pop_back();
      continue;
    }
    const Entry &e = top.entries[top.at++];
    std::string path = join(top.path, e.name);
    unsigned char type = e.type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::lstat(path.c_str(), &st) != 0) {
        cannot_read(item, path, errno);
        return true;
      }
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG
                                          : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
      if (enter(path, item) == Entered::kFailed) return true;
      continue;
    }
    if ((type != DT_REG && type != DT_LNK) || !has_source_ext(e.name, exts_)) continue;
    if (type == DT_LNK) {
      struct stat st;
      if (::stat(path.c_str(), &st) != 0) {
        cannot_read(item, path, errno);
        return true;
      }
      if (!S_ISREG(st.st_mode)) continue;  // a link to a directory or a device
    }
    item->path = std::move(path);
    return true;
  }
}

}  // namespace kolvu
