// The walk over the paths a program is given: files as named, directories
// recursively, each directory's entries in byte order of their names. From
// a directory only the files whose names end in one of the endings (ASCII
// case aside) are taken; symbolic links to files are taken, links to
// directories are followed only when asked, and no real directory is
// entered twice in one walk while below itself (or at all, when following
// links). A path whose base name, path below the root, or whole path matches
// an exclusion pattern is left out, and so is all below it.
//
// Paths can be added while the walk runs, so a list of any length is walked
// without being held. Directories are listed one at a time, as the walk
// reaches them, so what a walk holds grows with the depth of the tree, not
// with its size.
#ifndef KOLVU_COMMON_WALK_H_
#define KOLVU_COMMON_WALK_H_

#include <sys/types.h>

#include <deque>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kolvu {

/// A file to scan (error empty), or a path that cannot be read, with a
/// message such as "PATH: No such file or directory". A warning is
/// something found during a walk and passed over (a dangling link, an entry
/// gone since its directory was listed): worth saying, not a failure.
/// A path given is handed out as a file whenever it is not a directory
/// (FIFOs and devices included): the reader finds out what it holds.
struct WalkItem {
  std::string path;
  std::string error;
  bool warning = false;
  bool in_walk = false;  // found inside a directory, not given
};

struct WalkOptions {
  std::vector<std::string> exts;      // ".h", ... compared without ASCII case
  std::vector<std::string> excludes;  // patterns of common/glob.h
  bool follow = false;                // enter links to directories
};

/// The file name endings a walk takes by default.
std::vector<std::string> default_source_exts();

/// True when name ends in one of exts, ASCII case aside, and is longer than
/// it.
bool has_source_ext(const std::string &name, const std::vector<std::string> &exts);

class Walker {
 public:
  Walker(std::vector<std::string> paths, WalkOptions options);

  /// Adds a path to walk after those given before.
  void add(std::string path) { paths_.push_back(std::move(path)); }

  /// The next item in walk order; false when every path added so far is
  /// done (a later add() lets it go on).
  bool next(WalkItem *item);

 private:
  struct Entry {
    std::string name;
    unsigned char type;  // a DT_ value
  };
  struct Dir {
    std::string path;
    size_t root_len;  // bytes of path before the part below the root
    dev_t dev;
    ino_t ino;
    std::vector<Entry> entries;
    size_t at = 0;
  };

  enum class Entered { kYes, kFailed, kPassedOver };
  // Lists the directory path and pushes it. kFailed with item set when it
  // cannot be read; kPassedOver when a symbolic link has taken the place of
  // a directory listed before, or the directory was entered before.
  Entered enter(const std::string &path, size_t root_len, bool through_link, WalkItem *item);
  bool below_itself(dev_t dev, ino_t ino) const;
  bool excluded(const std::string &path, size_t name_at, size_t root_len) const;

  std::deque<std::string> paths_;
  WalkOptions options_;
  std::vector<Dir> stack_;
  std::set<std::pair<dev_t, ino_t>> entered_;  // when following links
};

}  // namespace kolvu

#endif  // KOLVU_COMMON_WALK_H_
