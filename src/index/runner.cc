#include "index/runner.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "index/etags.h"
#include "index/fd_writer.h"
#include "index/file_records.h"
#include "index/records.h"
#include "index/source_reader.h"
#include "index/tag_runs.h"
#include "index/tags_update.h"

namespace kolvu {

namespace {

// Files in flight for each worker: a large file whose turn has come holds
// back the writing of those after it, which the others go on scanning
// (their output held within the budget) while the window has room. The
// window is wide enough that the others seldom wait behind a large file:
// what it holds is bounded by the budget of output held, not by it.
const size_t kFilesPerWorker = 64;
const size_t kAheadPerWorker = 4;  // files walked ahead of the workers
const size_t kOutBuffer = FdWriter::kBuffer;

// One file of the walk and what came of it.
struct Slot {
  std::string path;
  bool to_scan = false;
  bool standard_input = false;
  bool in_walk = false;
  bool done = false;
  bool failed = false;
  bool warning = false;   // failed, but only passed over
  std::vector<std::string> out;  // output held until the file's turn, in pieces
  TagList tags;           // their file index is set when written
  std::string err;        // a diagnostic line
};

std::string prefixed(const std::string &message) { return "kolvu-index: " + message + "\n"; }
std::string warned(const std::string &message) { return "kolvu-index: warning: " + message + "\n"; }

// Where a worker's output goes: put() takes a piece of a file's output.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void put(Slot *s, std::string *piece) = 0;
};

// A worker's tools: the output of the file at hand, as it comes.
class FileIndexer {
 public:
  FileIndexer(const IndexJob &job, OutputSink *sink)
      : job_(job), sink_(sink), records_(job.format, job.scan.kinds, job.scan.names),
        reader_(job.whole_file_limit) {}

  void index(Slot *s) {
    records_.start(s->path);
    std::string *piece = records_.piece();
    ScanResult r = reader_.scan(s->standard_input ? nullptr : s->path.c_str(), job_.scan,
                                [&](const Definition &d) {
                                  records_.add(d);
                                  if (job_.format == IndexFormat::kJson && piece->size() >= kOutBuffer)
                                    sink_->put(s, piece);
                                });
    if (r.status != ScanStatus::kOk) {
      char buf[256];
      const char *why = r.error_number != 0 ? strerror_r(r.error_number, buf, sizeof buf)
                                            : scan_status_text(r.status);
      // A file found in a walk and gone before its turn is passed over.
      s->warning = s->in_walk && r.status == ScanStatus::kCannotOpen && r.error_number == ENOENT;
      s->err = (s->warning ? warned : prefixed)(s->path + ": " + why);
      s->failed = true;
      return;
    }
    if (job_.format == IndexFormat::kTags) {
      s->tags = std::move(*records_.tags());
      return;
    }
    if (job_.format == IndexFormat::kEtags && !piece->empty()) {
      std::string section;
      append_etags_section(s->path, *piece, &section);
      sink_->put(s, &section);
      return;
    }
    if (!piece->empty()) sink_->put(s, piece);
  }

 private:
  const IndexJob &job_;
  OutputSink *sink_;
  FileRecords records_;
  SourceReader reader_;
};

class Runner : public OutputSink {
 public:
  Runner(const IndexJob &job, int out_fd, int err_fd)
      : job_(job), out_(out_fd), err_fd_(err_fd),
        tag_runs_(job.tags_budget), window_(kFilesPerWorker * static_cast<size_t>(job.jobs)) {}

  // The calling thread is one of the workers: with one job no thread is
  // started at all.
  RunOutcome run(const ItemSource &next) {
    next_ = &next;
    std::vector<std::thread> workers;
    for (int i = 1; i < job_.jobs; ++i) workers.emplace_back([this] { work(); });
    work();
    for (std::thread &t : workers) t.join();
    RunOutcome outcome;
    if (job_.format == IndexFormat::kTags && out_.error() == 0) write_tags(&outcome);
    out_.flush();
    outcome.all_read = all_read_;
    outcome.write_error = out_.error();
    return outcome;
  }

  // A piece of s's output: written at once when it is s's turn, else held
  // within the budget, or held back until s's turn when the budget is full.
  void put(Slot *s, std::string *piece) override {
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
      if (s == &slots_.front()) {
        out_cv_.wait(lock, [this] { return !writing_; });
        writing_ = true;
        std::vector<std::string> held = std::move(s->out);
        s->out.clear();
        lock.unlock();
        size_t bytes = 0;
        for (const std::string &h : held) {
          out_.put(h);
          bytes += h.size();
        }
        out_.put(*piece);
        bool failed = out_.error() != 0;
        lock.lock();
        held_ -= bytes;
        writing_ = false;
        if (failed) stopped_ = true;
        out_cv_.notify_all();
        break;
      }
      if (held_ + piece->size() <= job_.output_budget) {
        // A copy of its size: many files wait in the window, most with a
        // piece far smaller than the buffer, which the worker keeps.
        held_ += piece->size();
        s->out.emplace_back(*piece);
        break;
      }
      out_cv_.wait(lock);
    }
    piece->clear();
  }

 private:
  // Claims the next file of the walk and indexes it; with fewer to claim
  // than there are workers, walks on to find more first (one worker at a
  // time), within the window of files in flight, so that the others seldom
  // wait for the walk. Ends when the walk is over and every file claimed.
  void work() {
    FileIndexer indexer(job_, this);
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
      const size_t waiting = base_ + slots_.size() - claim_;
      if (waiting > 0 && waiting < static_cast<size_t>(job_.jobs) && !walking_ &&
          !walk_ended_ && !stopped_ && slots_.size() < window_) {
        walk(lock);
        continue;
      }
      if (waiting > 0) {
        Slot *s = &slots_[claim_++ - base_];
        if (!s->to_scan) continue;
        bool stopped = stopped_;
        // The slot stays where it is until it is done: meanwhile the deque
        // only grows at its back, which moves no element.
        lock.unlock();
        if (!stopped) indexer.index(s);
        lock.lock();
        s->done = true;
        if (s == &slots_.front()) drain(lock);
        continue;
      }
      if (walking_ || (!walk_ended_ && !stopped_ && slots_.size() >= window_)) {
        // Another worker walks, or the window is full: wait for files, or
        // for room.
        int &count = walking_ ? idle_ : room_waiters_;
        ++count;
        work_cv_.wait(lock);
        --count;
        continue;
      }
      if (walk_ended_ || stopped_) return;
      walk(lock);
    }
  }

  // Takes items of the walk into the window until a few for each worker
  // wait to be claimed, or the window is full, or the walk ends, so that
  // the others seldom find nothing to claim. The items are taken with the
  // lock released and put in at once.
  void walk(std::unique_lock<std::mutex> &lock) {
    walking_ = true;
    size_t waiting = base_ + slots_.size() - claim_;
    size_t ahead = kAheadPerWorker * static_cast<size_t>(job_.jobs);
    size_t want = std::min(ahead - std::min(ahead, waiting), window_ - slots_.size());
    bool ended = false;
    lock.unlock();
    batch_.clear();
    while (batch_.size() < want) {
      batch_.emplace_back();
      if (!(*next_)(&batch_.back())) {
        batch_.pop_back();
        ended = true;
        break;
      }
    }
    lock.lock();
    for (SourceItem &item : batch_) {
      slots_.emplace_back();
      Slot &s = slots_.back();
      s.path = std::move(item.path);
      s.standard_input = item.standard_input;
      s.in_walk = item.in_walk;
      if (item.error.empty()) {
        s.to_scan = true;
      } else {
        s.warning = item.warning;
        s.err = (item.warning ? warned : prefixed)(item.error);
        s.failed = s.done = true;
      }
    }
    if (ended) walk_ended_ = true;
    walking_ = false;
    // Files failed in the walk are written when their turn has come.
    if (!slots_.empty() && slots_.front().done) drain(lock);
    // Those waiting may claim the new files, walk on in turn, or end.
    if (idle_ > 0 || room_waiters_ > 0) work_cv_.notify_all();
  }

  // Writes the finished files at the front, in their turn, with the lock
  // released while writing. One thread writes at a time; a file finished
  // meanwhile is seen by that thread when it looks at the front again.
  void drain(std::unique_lock<std::mutex> &lock) {
    if (writing_) return;
    writing_ = true;
    while (!slots_.empty() && slots_.front().done) {
      Slot s = std::move(slots_.front());
      slots_.pop_front();
      ++base_;
      if (claim_ < base_) claim_ = base_;  // it was done without a worker
      // The next file's turn has come: its worker may write now.
      out_cv_.notify_all();
      lock.unlock();
      emit(&s);
      bool failed = out_.error() != 0;
      lock.lock();
      for (const std::string &h : s.out) held_ -= h.size();
      if (failed) stopped_ = true;
    }
    writing_ = false;
    out_cv_.notify_all();
    // Room in the window: a worker waiting for it may walk on.
    if (room_waiters_ > 0) work_cv_.notify_all();
  }

  // Writes a finished file's output.
  void emit(Slot *s) {
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

  void write_err(const std::string &line) {
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
  void write_tags(RunOutcome *outcome) {
    std::string kept;
    if (!job_.update_from.empty()) {
      std::string old;
      if (!read_whole_file(job_.update_from, &old, &outcome->update_error)) return;
      kept = kept_tag_lines(old, met_);
    }
    tag_runs_.write(tags_header(job_.version), kept, &out_);
  }

  const IndexJob &job_;
  // Used by the one thread that writes at a time (writing_), then by run().
  FdWriter out_;
  int err_fd_;
  bool all_read_ = true;
  TagRuns tag_runs_;
  std::unordered_set<std::string> met_;  // the files of this run, for an update

  const size_t window_;  // files in flight at most
  const ItemSource *next_ = nullptr;  // the walk
  std::vector<SourceItem> batch_;      // items taken from it at once
  std::mutex mu_;
  std::condition_variable work_cv_, out_cv_;
  std::deque<Slot> slots_;  // the files in flight, in walk order
  size_t base_ = 0;         // the walk's number of slots_.front()
  size_t claim_ = 0;        // the walk's number of the next slot to claim
  size_t held_ = 0;         // bytes of output held in slots
  int idle_ = 0;            // workers waiting for a file while another walks
  int room_waiters_ = 0;    // workers waiting for room in the window
  bool writing_ = false;    // a thread is writing to out_
  bool walking_ = false;    // a worker takes items of the walk
  bool walk_ended_ = false;
  bool stopped_ = false;    // a write failed: no further file is started
};

}  // namespace

RunOutcome run_index_jobs(const IndexJob &job, const ItemSource &next, int out_fd, int err_fd) {
  Runner runner(job, out_fd, err_fd);
  return runner.run(next);
}

}  // namespace kolvu
