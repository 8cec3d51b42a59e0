// The read-ahead thread and its hand-over of files to the scan.
#include "driver/read_ahead.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "util/alloc_seam.h"

namespace kolvu {

namespace {

const int kAhead = 8;          // files read ahead at most
const int kScanSpins = 20000;  // checks before the scan goes to sleep

// Entry i of the list lives in slot i % kAhead. The thread fills entry i
// once entries [0, i - kAhead] are released; the scan takes entries in
// order once they are produced.
//
// Waking a sleeping thread costs tens of microseconds here, about what a
// file costs, so both sides avoid it: the scan, which has nothing else to
// do, checks for a while before it sleeps; the thread, once the slots are
// full, sleeps until half of them are free again; and each side wakes the
// other only when it sleeps and what it waits for has come.
struct ReadAhead {
  char **paths = nullptr;
  int n = 0;
  struct stat outputs[2];    // what standard output and standard error are
  bool has_output[2] = {false, false};
  void *mem[kAhead] = {};
  TextFile *ready[kAhead] = {};  // the file read ahead, or null: opened in its turn
  std::atomic<int> produced{0};
  std::atomic<int> released{0};
  std::atomic<bool> stop{false};
  std::atomic<int> scan_waits_for;    // while the scan sleeps: the entry count it needs
  std::atomic<int> thread_waits_for;  // while the thread sleeps: the release count it needs
  int next = 0;         // the scan's next entry
  int open_entry = -1;  // the entry whose file the scan has open
  std::mutex mutex;
  std::condition_variable changed;
  std::thread thread;
};

const int kAwake = -1;  // of scan_waits_for and thread_waits_for

ReadAhead *ahead = nullptr;

void relax() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#endif
}

// Sleeps until counter reaches target or the read-ahead stops; *waits_for
// says meanwhile what it waits for. The stores and loads are sequentially
// consistent: of a side that changes the counter and then looks whether
// anyone waits, and a side that says it waits and then looks at the
// counter, one at least sees the other's change.
void sleep_until(ReadAhead *r, const std::atomic<int> &counter, int target,
                 std::atomic<int> *waits_for) {
  std::unique_lock<std::mutex> lock(r->mutex);
  waits_for->store(target);
  while (counter.load() < target && !r->stop.load()) r->changed.wait(lock);
  waits_for->store(kAwake);
}

// Wakes the other side when it sleeps and counter now holds what it waits for.
void wake_if_due(ReadAhead *r, const std::atomic<int> &counter,
                 const std::atomic<int> &waits_for) {
  int target = waits_for.load();
  if (target == kAwake || counter.load() < target) return;
  { std::lock_guard<std::mutex> lock(r->mutex); }  // it is inside wait() now
  r->changed.notify_all();
}

bool is_output(const ReadAhead *r, const struct stat &st) {
  for (int k = 0; k < 2; ++k)
    if (r->has_output[k] && r->outputs[k].st_dev == st.st_dev && r->outputs[k].st_ino == st.st_ino)
      return true;
  return false;
}

void read_ahead_thread(ReadAhead *r) {
  for (int i = 0; i < r->n; ++i) {
    if (i >= r->released.load() + kAhead)
      sleep_until(r, r->released, i - kAhead / 2 + 1, &r->thread_waits_for);
    if (r->stop.load()) return;
    // Anything but a regular file (a FIFO, a terminal, a device) is left to
    // its turn: opening or reading it early could change what it gives.
    const char *path = r->paths[i];
    struct stat st;
    TextFile *f = nullptr;
    if (::stat(path, &st) == 0 && S_ISREG(st.st_mode) && !is_output(r, st))
      f = text_open_in(r->mem[i % kAhead], path, st);
    r->ready[i % kAhead] = f;
    r->produced.store(i + 1);
    wake_if_due(r, r->produced, r->scan_waits_for);
  }
}

void release_entry(ReadAhead *r, int i) {
  r->released.store(i + 1);
  wake_if_due(r, r->released, r->thread_waits_for);
}

int usable_processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return CPU_COUNT(&set);
}

bool start_thread(ReadAhead *r) {
  // The thread takes no signals: they go to the scan, as without it.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  bool started = true;
  try {
    r->thread = std::thread(read_ahead_thread, r);
  } catch (const std::system_error &) {
    started = false;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return started;
}

void release(ReadAhead *r) {
  for (void *m : r->mem) std::free(m);
  std::free(r->paths);
  r->~ReadAhead();
  std::free(r);
}

}  // namespace

void read_ahead_start(char **paths, int n) {
  if (paths == nullptr) return;
  void *block = n >= 2 && ahead == nullptr && usable_processors() >= 2
                    ? alloc_or_null(sizeof(ReadAhead))
                    : nullptr;
  if (block == nullptr) {
    std::free(paths);
    return;
  }
  ReadAhead *r = new (block) ReadAhead;
  r->scan_waits_for.store(kAwake);
  r->thread_waits_for.store(kAwake);
  r->paths = paths;
  r->n = n;
  for (int k = 0; k < 2; ++k) r->has_output[k] = ::fstat(k + 1, &r->outputs[k]) == 0;
  bool ok = true;
  for (void *&m : r->mem) ok = ok && (m = alloc_or_null(text_file_bytes())) != nullptr;
  if (!ok || !start_thread(r)) {
    release(r);
    return;
  }
  ahead = r;
  static bool registered = false;
  if (!registered) std::atexit(read_ahead_stop);
  registered = true;
}

TextFile *read_ahead_open(const char *path) {
  ReadAhead *r = ahead;
  if (r == nullptr || r->next >= r->n || path != r->paths[r->next]) return text_open(path);
  int i = r->next++;
  for (int k = 0; k < kScanSpins && r->produced.load() <= i; ++k) relax();
  if (r->produced.load() <= i) sleep_until(r, r->produced, i + 1, &r->scan_waits_for);
  TextFile *f = r->ready[i % kAhead];
  if (f == nullptr) {
    release_entry(r, i);
    return text_open(path);
  }
  r->open_entry = i;
  return f;
}

int read_ahead_close(TextFile *f) {
  int rc = text_close(f);
  ReadAhead *r = ahead;
  if (r != nullptr && r->open_entry >= 0 && f == r->ready[r->open_entry % kAhead]) {
    release_entry(r, r->open_entry);
    r->open_entry = -1;
  }
  return rc;
}

void read_ahead_stop() {
  ReadAhead *r = ahead;
  if (r == nullptr) return;
  ahead = nullptr;
  {
    std::lock_guard<std::mutex> lock(r->mutex);
    r->stop.store(true);
  }
  r->changed.notify_all();
  r->thread.join();
  release(r);
}

}  // namespace kolvu
