#include "index/path_feed.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kolvu {

PathFeed::PathFeed(std::vector<std::string> paths, std::vector<std::string> lists,
                   bool null_separated)
    : paths_(std::move(paths)), lists_(std::move(lists)), end_(null_separated ? '\0' : '\n') {}

PathFeed::~PathFeed() {
  for (FILE *f : files_) {
    if (f != nullptr && f != stdin) std::fclose(f);
  }
  std::free(line_);
}

bool PathFeed::open(std::string *error) {
  for (const std::string &list : lists_) {
    FILE *f = list == "-" ? stdin : std::fopen(list.c_str(), "rb");
    if (f == nullptr) {
      *error = "cannot read paths from '" + list + "': " + std::strerror(errno);
      return false;
    }
    files_.push_back(f);
  }
  return true;
}

bool PathFeed::next(std::string *path, std::string *error) {
  error->clear();
  if (next_path_ < paths_.size()) {
    *path = std::move(paths_[next_path_++]);
    return true;
  }
  while (list_ < files_.size()) {
    FILE *f = files_[list_];
    errno = 0;
    ssize_t n = ::getdelim(&line_, &line_cap_, end_, f);
    if (n < 0) {
      if (std::ferror(f)) {
        *error = "cannot read paths from '" + lists_[list_] + "': " + std::strerror(errno);
        ++list_;
        return false;
      }
      ++list_;
      continue;
    }
    size_t len = static_cast<size_t>(n);
    if (len > 0 && line_[len - 1] == end_) --len;
    if (end_ == '\n' && len > 0 && line_[len - 1] == '\r') --len;
    if (len == 0) continue;
    path->assign(line_, len);
    return true;
  }
  return false;
}

}  // namespace kolvu
