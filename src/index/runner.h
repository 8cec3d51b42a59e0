// The parallel run: the walk hands out files in order, N workers scan them
// and turn their definitions into output, and the output is written in the
// walk's order. The file whose turn it is writes its output as it goes;
// the others keep theirs within a fixed budget shared by all, and a worker
// whose file would pass the budget waits for its turn. So what the run holds
// stays bounded whatever the size of the tree and of its files (the sources
// being scanned aside); the bytes written are the same for every N.
#ifndef KOLVU_INDEX_RUNNER_H_
#define KOLVU_INDEX_RUNNER_H_

#include <cstddef>
#include <functional>
#include <string>

#include "index/options.h"
#include "common/walk.h"
#include "kolvu/scan.h"

namespace kolvu {

struct IndexJob {
  ScanOptions scan;
  IndexFormat format = IndexFormat::kJson;
  int jobs = 1;
  const char *version = "";  // for the tags file's header
  /// Tags only: the tags file whose lines are kept, those of the files met
  /// in this run aside, and merged with the new ones. Empty: none.
  std::string update_from;
  /// Output held for files whose turn has not come, in bytes, all workers
  /// together.
  size_t output_budget = 8u << 20;
  /// Tags held in memory before they are sorted into a temporary file, in
  /// bytes; the runs are merged at the end.
  size_t tags_budget = 8u << 20;
  /// The largest file read whole and scanned in memory (most sources);
  /// larger ones are read a piece at a time, so each worker keeps no more
  /// than this.
  size_t whole_file_limit = 1u << 20;
};

/// One item of the run: a walk's item, or standard input under the name in
/// path.
struct SourceItem : WalkItem {
  bool standard_input = false;
};

/// Fills in the next item; false after the last.
using ItemSource = std::function<bool(SourceItem *)>;

struct RunOutcome {
  bool all_read = true;  // false when some path or file could not be read
  int write_error = 0;   // errno of a failed write to out_fd, 0 if none
  std::string update_error;  // why the tags file to update could not be read
};

/// Indexes every item of next, writing the output to out_fd and a
/// "kolvu-index: PATH: reason" line for each path that cannot be read (or
/// "kolvu-index: warning: PATH: reason" for one passed over) to err_fd.
/// After a failed write to out_fd no further file is started and nothing
/// more is written there; the caller reports it.
RunOutcome run_index_jobs(const IndexJob &job, const ItemSource &next, int out_fd, int err_fd);

}  // namespace kolvu

#endif  // KOLVU_INDEX_RUNNER_H_
