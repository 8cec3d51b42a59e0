// The tags of a whole run, to be written sorted by name. The tags of the
// files met are held in memory up to a budget; past it they are sorted and
// written to a temporary file as one run of lines, so memory does not grow
// with the tree. At the end the runs, the tags still held and the lines
// kept from a tags file being updated are merged into one sorted file.
#ifndef KOLVU_INDEX_TAG_RUNS_H_
#define KOLVU_INDEX_TAG_RUNS_H_

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "index/fd_writer.h"
#include "index/records.h"

namespace kolvu {

class TagRuns {
 public:
  /// budget: the bytes of tags held before a run is written out.
  explicit TagRuns(size_t budget) : budget_(budget) {}
  ~TagRuns();
  TagRuns(const TagRuns &) = delete;
  TagRuns &operator=(const TagRuns &) = delete;

  /// Takes the tags of the file named file (emptying *tags).
  void add(TagList *tags, std::string file);

  /// Writes header, then every line in name order: for each name, the
  /// lines of kept (a tags file's lines, sorted, each with its newline)
  /// first, then the new ones in the order their files came.
  void write(const std::string &header, std::string_view kept, FdWriter *out);

 private:
  void spill();

  const size_t budget_;
  TagList tags_;
  std::vector<std::string> files_;  // the files of tags_, by their index
  std::vector<std::FILE *> runs_;   // sorted runs of tag lines written out
  bool failed_ = false;             // a run could not be written: hold the rest
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_TAG_RUNS_H_
