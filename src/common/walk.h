// The walk over the paths of the command line: files as named, directories
// recursively, each directory's entries in byte order of their names. From
// a directory only the files whose names end in one of the endings are
// taken; symbolic links to files are taken, links to directories are not
// followed, and a directory met again below itself is not entered twice.
// Directories are listed one at a time, as the walk reaches them, so what a
// walk holds grows with the depth of the tree, not with its size.
#ifndef KOLVU_COMMON_WALK_H_
#define KOLVU_COMMON_WALK_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace kolvu {

/// A file to scan (error empty), or a path that cannot be read, with a
/// message such as "PATH: No such file or directory".
struct WalkItem {
  std::string path;
  std::string error;
};

/// The file name endings a walk takes by default.
std::vector<std::string> default_source_exts();

/// True when name ends in one of exts (".h", ...), and is longer than it.
bool has_source_ext(const std::string &name, const std::vector<std::string> &exts);

class Walker {
 public:
  Walker(std::vector<std::string> paths, std::vector<std::string> exts);

  /// The next item in walk order; false after the last one.
  bool next(WalkItem *item);

 private:
  struct Entry {
    std::string name;
    unsigned char type;  // a DT_ value
  };
  struct Dir {
    std::string path;
    dev_t dev;
    ino_t ino;
    std::vector<Entry> entries;
    size_t at = 0;
  };

  enum class Entered { kYes, kFailed, kPassedOver };
  // Lists the directory path and pushes it. kFailed with item set when it
  // cannot be read; kPassedOver when a symbolic link has taken the place of
  // a directory listed before.
  Entered enter(const std::string &path, WalkItem *item);
  bool below_itself(dev_t dev, ino_t ino) const;

  std::vector<std::string> paths_;
  size_t next_path_ = 0;
  std::vector<std::string> exts_;
  std::vector<Dir> stack_;
};

}  // namespace kolvu

#endif  // KOLVU_COMMON_WALK_H_
