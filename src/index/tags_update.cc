#include "index/tags_update.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kolvu {

std::string_view tag_line_name(std::string_view line) { return line.substr(0, line.find('\t')); }

std::string kept_tag_lines(std::string_view old_file, const std::unordered_set<std::string> &files) {
  std::string kept;
  size_t start = 0;
  std::string file;
  while (start < old_file.size()) {
    size_t nl = old_file.find('\n', start);
    size_t stop = nl == std::string_view::npos ? old_file.size() : nl;
    std::string_view line = old_file.substr(start, stop - start);
    start = stop + 1;
    if (line.empty() || line.compare(0, 2, "!_") == 0) continue;
    size_t tab = line.find('\t');
    if (tab != std::string_view::npos) {
      size_t tab2 = line.find('\t', tab + 1);
      file.assign(line.substr(tab + 1, tab2 == std::string_view::npos ? std::string_view::npos
                                                                      : tab2 - tab - 1));
      if (files.count(file) != 0) continue;
    }
    kept.append(line);
    kept.push_back('\n');
  }
  return kept;
}

bool read_whole_file(const std::string &path, std::string *text, std::string *error) {
  text->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    *error = std::strerror(errno);
    return false;
  }
  char buf[65536];
  for (;;) {
    ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    text->append(buf, static_cast<size_t>(got));
  }
  ::close(fd);
  return true;
}

}  // namespace kolvu
