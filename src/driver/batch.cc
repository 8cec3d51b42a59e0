// Scanning a run of files on two threads without changing a byte.
//
// The main thread takes the files in argument order. A worker thread takes
// the next file nobody has taken yet and scans it into memory; when the
// main thread reaches that file it writes the worker's output through the
// standard output stream, and only then reports what the worker met (an
// over-long line), so every byte and diagnostic comes out exactly where
// scanning one file after the other would put it. A file the worker cannot
// handle as a plain one (not a regular file, not openable, or more output
// than it may hold) is left to the main thread, which then does everything
// itself, the "not found" report included.
#include "driver/batch.h"

#include <sched.h>
#include <sys/stat.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "driver/name_index.h"
#include "kolvu/errmsg.h"
#include "kolvu/mem.h"
#include "kolvu/textio.h"
#include "scanner/line_limit.h"
#include "scanner/scanner.h"

namespace kolvu {

void scan_named_file(const char *name, int mask) {
  TextFile *f = text_open(name);
  if (f == nullptr) {
    errmsg("%s: not found\n", name);
    return;
  }
  scan_file(f, name, mask);
  text_close(f);
}

namespace {

const size_t kHoldLimit = 256 * 1024;  // output of one file the worker may hold
const int kAhead = 2;                  // files finished ahead and not yet written
const int kRing = kAhead + 2;          // slots: those, one in hand, the main thread's

// What the worker made of one file.
struct Job {
  bool done = false;       // the worker has finished with it
  bool give_back = false;  // the worker left it to the main thread
  ScanResult result = kScanDone;
  ScanBuffer out;
  char *long_line = nullptr;  // the over-long line met, on the heap
};

class Batch {
 public:
  Batch(char *const *names, int count, int mask) : names_(names), count_(count), mask_(mask) {}

  void run() {
    std::thread worker([this] { work(); });
    for (int i = 0; i < count_; ++i) finish(i);
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    worker.join();
  }

 private:
  // Main thread: file i's output and diagnostics, after those of every
  // file before it.
  void finish(int i) {
    std::unique_lock<std::mutex> lock(mu_);
    main_ = i;
    if (next_ == i) {  // nobody has taken it
      ++next_;
      lock.unlock();
      cv_.notify_all();
      scan_named_file(names_[i], mask_);
      return;
    }
    Job &job = ring_[i % kRing];
    cv_.wait(lock, [&] { return job.done; });
    --finished_ahead_;
    lock.unlock();
    cv_.notify_all();
    if (job.give_back) {
      scan_named_file(names_[i], mask_);
      return;
    }
    out_write(job.out.data, job.out.len);
    job.out.release();
    if (job.result == kScanTooLong) fail_long_line(job.long_line);
  }

  // Worker thread: takes the next file nobody has, while few wait.
  void work() {
    char long_line[kLineBufSize];
    for (;;) {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [&] { return stop_ || next_ == count_ || can_take(); });
      if (stop_ || next_ == count_) return;
      int i = next_++;
      Job &job = ring_[i % kRing];
      job = Job();
      lock.unlock();
      scan_ahead(names_[i], job, long_line);
      lock.lock();
      job.done = true;
      ++finished_ahead_;
      lock.unlock();
      cv_.notify_all();
    }
  }

  bool can_take() const { return finished_ahead_ < kAhead && next_ < main_ + kRing - 1; }

  void scan_ahead(const char *name, Job &job, char *long_line) {
    struct stat st;
    TextFile *f = nullptr;
    if (::stat(name, &st) != 0 || !S_ISREG(st.st_mode) || (f = text_open(name)) == nullptr) {
      job.give_back = true;
      return;
    }
    job.out.limit = kHoldLimit;
    job.result = scan_to_buffer(f, name, mask_, &job.out, long_line);
    text_close(f);
    if (job.result == kScanFull) {
      job.out.release();
      job.give_back = true;
    } else if (job.result == kScanTooLong) {
      job.long_line = setstr(long_line);
    }
  }

  char *const *names_;
  int count_;
  int mask_;
  Job ring_[kRing];
  std::mutex mu_;
  std::condition_variable cv_;
  int next_ = 0;            // the first file nobody has taken
  int main_ = 0;            // the file the main thread is at
  int finished_ahead_ = 0;  // files the worker finished that wait to be written
  bool stop_ = false;
};

bool two_processors() {
  cpu_set_t set;
  return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) >= 2;
}

}  // namespace

void scan_files(char *const *names, int count, int mask) {
  if (count < 2 || !two_processors()) {
    for (int i = 0; i < count; ++i) scan_named_file(names[i], mask);
    return;
  }
  update_name_index();  // read by both threads from here on, changed by neither
  Batch(names, count, mask).run();
}

}  // namespace kolvu
