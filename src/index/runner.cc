#include "index/runner.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "index/file_indexer.h"
#include "index/file_slot.h"
#include "index/slot_writer.h"
#include "util/placed_thread.h"

namespace kolvu {

namespace {

// Files in flight for each worker: a large file whose turn has come holds
// back the writing of those after it, which the others go on scanning
// (their output held within the budget) while the window has room. The
// window is wide enough that the others seldom wait behind a large file:
// what it holds is bounded by the budget of output held, not by it. The
// tags of a file are held whole until its turn, outside that budget: for
// them the window stays narrow.
const size_t kFilesPerWorker = 64;
const size_t kTagFilesPerWorker = 8;
const size_t kAheadPerWorker = 4;  // files walked ahead of the workers

class Runner : public OutputSink {
 public:
  Runner(const IndexJob &job, int out_fd, int err_fd)
      : job_(job), writer_(job, out_fd, err_fd),
        window_((job.format == IndexFormat::kTags ? kTagFilesPerWorker : kFilesPerWorker) *
                static_cast<size_t>(job.jobs)) {}

  // The calling thread is one of the workers. The others are started by
  // the walk as it finds files for them (none for a run of one file), on
  // the other processors, where they are at work at once. Once the calling
  // thread is done, the walk is over and no more are started.
  RunOutcome run(const ItemSource &next) {
    next_ = &next;
    workers_.reserve(static_cast<size_t>(job_.jobs));
    work();
    for (PlacedThread &t : workers_) t.join();
    return writer_.finish();
  }

  // A piece of s's output: written at once when it is s's turn, else held
  // within the budget, or held back until s's turn when the budget is full.
  void put(FileSlot *s, std::string_view piece) override {
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
          writer_.put(h);
          bytes += h.size();
        }
        writer_.put(piece);
        bool failed = writer_.failed();
        lock.lock();
        held_ -= bytes;
        writing_ = false;
        if (failed) stopped_ = true;
        out_cv_.notify_all();
        break;
      }
      if (held_ + piece.size() <= job_.output_budget) {
        // A copy of its size: many files wait in the window, most with a
        // piece far smaller than the buffer, which the worker keeps.
        held_ += piece.size();
        s->out.emplace_back(piece);
        break;
      }
      out_cv_.wait(lock);
    }
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
        FileSlot *s = &slots_[claim_++ - base_];
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
      FileSlot &s = slots_.back();
      s.path = std::move(item.path);
      s.standard_input = item.standard_input;
      s.in_walk = item.in_walk;
      if (item.error.empty()) {
        s.to_scan = true;
      } else {
        s.warning = item.warning;
        s.err = (item.warning ? warning_line : error_line)(item.error);
        s.failed = s.done = true;
      }
    }
    if (ended) walk_ended_ = true;
    // A worker more for each file waiting beyond the walker's own, up to
    // the jobs asked for; those already waiting may claim files meanwhile.
    // A thread that cannot be started leaves the run to the others.
    size_t waiting_now = base_ + slots_.size() - claim_;
    size_t more = std::min(waiting_now > 0 ? waiting_now - 1 : 0,
                           static_cast<size_t>(job_.jobs) - 1 - workers_.size());
    if (more > 0) {
      if (idle_ > 0 || room_waiters_ > 0) work_cv_.notify_all();
      lock.unlock();
      try {
        for (; more > 0; --more)
          workers_.emplace_back(static_cast<int>(workers_.size()), [this] { work(); });
      } catch (const std::system_error &) {
      }
      lock.lock();
    }
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
      FileSlot s = std::move(slots_.front());
      slots_.pop_front();
      ++base_;
      if (claim_ < base_) claim_ = base_;  // it was done without a worker
      // The next file's turn has come: its worker may write now.
      out_cv_.notify_all();
      lock.unlock();
      writer_.emit(&s);
      bool failed = writer_.failed();
      lock.lock();
      for (const std::string &h : s.out) held_ -= h.size();
      if (failed) stopped_ = true;
    }
    writing_ = false;
    out_cv_.notify_all();
    // Room in the window: a worker waiting for it may walk on.
    if (room_waiters_ > 0) work_cv_.notify_all();
  }

  const IndexJob &job_;
  // Used by the one thread that writes at a time (writing_), then by run().
  SlotWriter writer_;

  const size_t window_;  // files in flight at most
  const ItemSource *next_ = nullptr;  // the walk
  std::vector<SourceItem> batch_;      // items taken from it at once
  // The other workers, started by the walker alone (walking_): the calling
  // thread joins them once it is done, when no walk can start again.
  std::vector<PlacedThread> workers_;
  std::mutex mu_;
  std::condition_variable work_cv_, out_cv_;
  std::deque<FileSlot> slots_;  // the files in flight, in walk order
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
