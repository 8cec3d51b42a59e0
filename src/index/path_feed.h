// The paths kolvu-index is given, one at a time: those of the command line,
// then those of each --files-from list in turn, read as they are needed so
// that a list of any length is never held whole. A list has one path a
// line, or one path ended by NUL each; empty entries are passed over.
#ifndef KOLVU_INDEX_PATH_FEED_H_
#define KOLVU_INDEX_PATH_FEED_H_

#include <cstdio>
#include <string>
#include <vector>

namespace kolvu {

class PathFeed {
 public:
  PathFeed(std::vector<std::string> paths, std::vector<std::string> lists, bool null_separated);
  ~PathFeed();
  PathFeed(const PathFeed &) = delete;
  PathFeed &operator=(const PathFeed &) = delete;

  /// Opens every list ("-": standard input) before the run starts. False
  /// with "cannot read paths from 'LIST': reason" when one cannot be opened.
  bool open(std::string *error);

  /// The next path; false after the last, or when a list cannot be read on
  /// (with the reason in *error, empty otherwise).
  bool next(std::string *path, std::string *error);

 private:
  std::vector<std::string> paths_;
  size_t next_path_ = 0;
  std::vector<std::string> lists_;
  std::vector<FILE *> files_;
  size_t list_ = 0;
  char end_;
  char *line_ = nullptr;
  size_t line_cap_ = 0;
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_PATH_FEED_H_
