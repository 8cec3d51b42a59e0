// The parallel run: the walk hands out files in order, N workers scan them
// and turn their definitions into output, and each file's output is written
// in the walk's order as soon as its turn comes. At most a few files per
// worker are in flight at once, so memory stays bounded whatever the size of
// the tree; the bytes written are the same for every N.
#ifndef KOLVU_INDEX_RUNNER_H_
#define KOLVU_INDEX_RUNNER_H_

#include <functional>

#include "index/options.h"
#include "common/walk.h"
#include "kolvu/scan.h"

namespace kolvu {

struct IndexJob {
  ScanOptions scan;
  IndexFormat format = IndexFormat::kJson;
  int jobs = 1;
  const char *version = "";  // for the tags file's header
};

/// Fills in the next item of the walk; false after the last.
using ItemSource = std::function<bool(WalkItem *)>;

struct RunOutcome {
  bool all_read = true;  // false when some path or file could not be read
  int write_error = 0;   // errno of a failed write to out_fd, 0 if none
};

/// Indexes every item of next, writing the output to out_fd and a
/// "kolvu-index: PATH: reason" line for each path that cannot be read to
/// err_fd. After a failed write to out_fd no further file is started and
/// nothing more is written there; the caller reports it.
RunOutcome run_index_jobs(const IndexJob &job, const ItemSource &next, int out_fd, int err_fd);

}  // namespace kolvu

#endif  // KOLVU_INDEX_RUNNER_H_
