#include "common/walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/glob.h"

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

// ASCII letters to lower case, every other byte as it is.
struct LowerTable {
  unsigned char map[256];
  LowerTable() {
    for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
};
const LowerTable kLower;

bool same_ignoring_case(const char *a, const char *b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (kLower.map[static_cast<unsigned char>(a[i])] != kLower.map[static_cast<unsigned char>(b[i])])
      return false;
  }
  return true;
}

// Where the last component of path begins, a trailing '/' aside.
size_t base_name_at(const std::string &path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  size_t slash = path.rfind('/', end - 1);
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::vector<std::string> default_source_exts() {
  return {".c", ".h", ".cc", ".cpp", ".cxx", ".hh", ".hpp", ".hxx"};
}

bool has_source_ext(const std::string &name, const std::vector<std::string> &exts) {
  for (const std::string &e : exts) {
    if (name.size() > e.size() &&
        same_ignoring_case(name.data() + name.size() - e.size(), e.data(), e.size()))
      return true;
  }
  return false;
}

Walker::Walker(std::vector<std::string> paths, WalkOptions options)
    : paths_(std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end())),
      options_(std::move(options)) {}

bool Walker::below_itself(dev_t dev, ino_t ino) const {
  for (const Dir &d : stack_) {
    if (d.dev == dev && d.ino == ino) return true;
  }
  return false;
}

bool Walker::excluded(const std::string &path, size_t name_at, size_t root_len) const {
  if (options_.excludes.empty()) return false;
  std::string_view whole(path);
  while (whole.size() > 2 && whole.compare(0, 2, "./") == 0) whole.remove_prefix(2);
  std::string_view base = std::string_view(path).substr(name_at);
  while (base.size() > 1 && base.back() == '/') base.remove_suffix(1);
  std::string_view below = std::string_view(path).substr(root_len);
  for (const std::string &p : options_.excludes) {
    if (glob_match(p, base) || glob_match(p, whole) || (!below.empty() && glob_match(p, below)))
      return true;
  }
  return false;
}

Walker::Entered Walker::enter(const std::string &path, size_t root_len, bool through_link,
                              WalkItem *item) {
  // A nested directory is opened without following a last symbolic link,
  // so that a link put in place of a listed directory is not walked either;
  // a link the walk means to follow is.
  bool nested = !stack_.empty();
  int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (nested && !through_link ? O_NOFOLLOW : 0);
  int fd = ::open(path.c_str(), flags);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    int e = errno;
    if (fd >= 0) ::close(fd);
    if (nested && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return Entered::kPassedOver;
    cannot_read(item, path, e);
    if (nested && e == ENOENT) item->warning = true;  // gone since it was listed
    return Entered::kFailed;
  }
  if (below_itself(st.st_dev, st.st_ino)) {
    ::close(fd);
    if (through_link) return Entered::kPassedOver;  // a link up the tree
    cannot_read(item, path, 0, "directory loop");
    return Entered::kFailed;
  }
  if (options_.follow && !entered_.insert({st.st_dev, st.st_ino}).second) {
    ::close(fd);
    return Entered::kPassedOver;
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
  d.root_len = root_len;
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
  *item = WalkItem();
  for (;;) {
    if (stack_.empty()) {
      if (paths_.empty()) return false;
      std::string path = std::move(paths_.front());
      paths_.pop_front();
      if (excluded(path, base_name_at(path), path.size())) continue;
      struct stat st;
      if (::stat(path.c_str(), &st) != 0) {
        cannot_read(item, path, errno);
        return true;
      }
      if (S_ISDIR(st.st_mode)) {
        size_t root_len = path.size() + (path.empty() || path.back() != '/' ? 1 : 0);
        if (enter(path, root_len, true, item) == Entered::kFailed) return true;
        continue;
      }
      item->path = std::move(path);
      return true;
    }
    Dir &top = stack_.back();
    if (top.at == top.entries.size()) {
      stack_.pop_back();
      continue;
    }
    const Entry &e = top.entries[top.at++];
    std::string path = join(top.path, e.name);
    size_t root_len = top.root_len;
    item->in_walk = true;
    unsigned char type = e.type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::lstat(path.c_str(), &st) != 0) {
        int err = errno;
        cannot_read(item, path, err);
        item->warning = err == ENOENT;  // gone since its directory was listed
        return true;
      }
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG
                                          : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    if (type != DT_DIR && type != DT_REG && type != DT_LNK) continue;
    if (excluded(path, path.size() - e.name.size(), root_len)) continue;
    bool through_link = false;
    if (type == DT_LNK) {
      struct stat st;
      if (::stat(path.c_str(), &st) != 0) {
        int err = errno;
        if (!has_source_ext(e.name, options_.exts) && !options_.follow) continue;
        cannot_read(item, path, err);
        item->warning = err == ENOENT || err == ELOOP;  // a dangling link
        return true;
      }
      if (S_ISDIR(st.st_mode) && options_.follow) {
        type = DT_DIR;
        through_link = true;
      } else if (!S_ISREG(st.st_mode)) {
        continue;  // a link to a directory not followed, or to a device
      }
    }
    if (type == DT_DIR) {
      if (enter(path, root_len, through_link, item) == Entered::kFailed) return true;
      continue;
    }
    if (!has_source_ext(e.name, options_.exts)) continue;
    item->path = std::move(path);
    return true;
  }
}

}  // namespace kolvu
