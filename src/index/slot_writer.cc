#include "index/slot_writer.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "index/tags_update.h"

namespace kolvu {

SlotWriter::SlotWriter(const IndexJob &job, int out_fd, int err_fd)
    : job_(job), out_(out_fd), err_fd_(err_fd), tag_runs_(job.tags_budget) {}

void SlotWriter::emit(FileSlot *s) {
  if (!job_.update_from.empty()) met_.insert(s->path);
  if (s->failed) {
    if (!s->warning) all_read_ = false;
    write_err(s->err);
    return;
  }
  if (job_.format != IndexFormat::kTags) {
    for (const std::string &h : s->out) out_.put(h);
    return;
  }
  if (s->tags.empty() || !fits_tags_file(s->path)) return;
  tag_runs_.add(&s->tags, std::move(s->path));
}

RunOutcome SlotWriter::finish() {
  RunOutcome outcome;
  if (job_.format == IndexFormat::kTags && out_.error() == 0) write_tags(&outcome);
  out_.flush();
  outcome.all_read = all_read_;
  outcome.write_error = out_.error();
  return outcome;
}

void SlotWriter::write_err(const std::string &line) {
  // Diagnostics go out at once, each in one write.
  const char *p = line.data();
  size_t n = line.size();
  while (n > 0) {
    ssize_t w = ::write(err_fd_, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w;
    n -= static_cast<size_t>(w);
  }
}

// The sorted tags, merged with the lines kept from the file updated and
// with the runs written before: the kept lines of a name first, then the
// new ones in the order of the walk.
void SlotWriter::write_tags(RunOutcome *outcome) {
  std::string kept;
  if (!job_.update_from.empty()) {
    std::string old;
    if (!read_whole_file(job_.update_from, &old, &outcome->update_error)) return;
    kept = kept_tag_lines(old, met_);
  }
  tag_runs_.write(tags_header(job_.version), kept, &out_);
}

}  // namespace kolvu
