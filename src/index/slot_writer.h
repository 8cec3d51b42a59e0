// The writing of a run's finished files, one at a time in the walk's order:
// their output to the output descriptor, their diagnostics to the error
// descriptor at once, their tags into sorted runs, written at the end merged
// with the lines kept of the tags file updated.
#ifndef KOLVU_INDEX_SLOT_WRITER_H_
#define KOLVU_INDEX_SLOT_WRITER_H_

#include <string>
#include <string_view>
#include <unordered_set>

#include "index/fd_writer.h"
#include "index/file_slot.h"
#include "index/runner.h"
#include "index/tag_runs.h"

namespace kolvu {

class SlotWriter {
 public:
  SlotWriter(const IndexJob &job, int out_fd, int err_fd);

  /// A piece of the output of the file whose turn it is.
  void put(std::string_view piece) { out_.put(piece); }
  /// A finished file, in its turn: what it holds is written (or its tags
  /// kept, or its diagnostic written).
  void emit(FileSlot *s);
  /// A write to the output failed; nothing more is written there.
  bool failed() const { return out_.error() != 0; }
  /// The end of the run: the tags written, the output flushed, and what
  /// came of it.
  RunOutcome finish();

 private:
  void write_err(const std::string &line);
  void write_tags(RunOutcome *outcome);

  const IndexJob &job_;
  FdWriter out_;
  int err_fd_;
  bool all_read_ = true;
  TagRuns tag_runs_;
  std::unordered_set<std::string> met_;  // the files of this run, for an update
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_SLOT_WRITER_H_
