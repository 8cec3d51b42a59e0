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
const int kThreadSpins = 5000;  // and before the thread does
const int kNone = -1;

// Entry i of the list is read into slot i % kAhead, by whichever side
// claims it first: the thread, or the scan when the entry it needs next is
// not there yet (it reads one ahead itself rather than wait). An entry is
// claimed only once entries [0, i - kAhead] are released, which the scan
// does in order as it closes their files.
//
// Waking a sleeping thread costs tens of microseconds, several files' worth,
// so both sides avoid it: each checks for a while before it sleeps; the
// thread, once asleep, waits until half of the slots are free again; and
// each side wakes the other only when it sleeps and what it waits for has
// come.
struct Slot {
  void *mem = nullptr;
  TextFile *file = nullptr;         // the file read ahead, or null: opened in its turn
  std::atomic<int> entry{kNone};    // the entry file belongs to, once it is there
};

struct ReadAhead {
  char **paths = nullptr;
  int n = 0;
  struct stat outputs[2];  // what standard output and standard error are
  bool has_output[2] = {false, false};
  Slot slots[kAhead];
  std::atomic<int> claimed{0};
  std::atomic<int> released{0};
  std::atomic<bool> stop{false};
  std::atomic<int> scan_waits_for{kNone};    // while the scan sleeps: the entry it needs
  std::atomic<int> thread_waits_for{kNone};  // while the thread sleeps: the release count it needs
  int next = 0;         // the scan's next entry
  int open_entry = kNone;  // the entry whose file the scan has open
  std::mutex mutex;
  std::condition_variable changed;
  std::thread thread;
};

ReadAhead *ahead = nullptr;

void relax() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#endif
}

// Sleeps until done() holds or the read-ahead stops; *waits_for says
// meanwhile what it waits for. The stores and loads are sequentially
// consistent: of a side that makes a change and then looks whether anyone
// waits for it, and a side that says it waits and then looks for the
// change, one at least sees the other's store.
template <class Done>
void sleep_until(ReadAhead *r, std::atomic<int> *waits_for, int what, Done done) {
  std::unique_lock<std::mutex> lock(r->mutex);
  waits_for->store(what);
  while (!done() && !r->stop.load()) r->changed.wait(lock);
  waits_for->store(kNone);
}

// Wakes the side that sleeps on waits_for when due(what it waits for).
template <class Due>
void wake_if(ReadAhead *r, const std::atomic<int> &waits_for, Due due) {
  int what = waits_for.load();
  if (what == kNone || !due(what)) return;
  { std::lock_guard<std::mutex> lock(r->mutex); }  // it is inside wait() now
  r->changed.notify_all();
}

bool is_output(const ReadAhead *r, const struct stat &st) {
  for (int k = 0; k < 2; ++k)
    if (r->has_output[k] && r->outputs[k].st_dev == st.st_dev && r->outputs[k].st_ino == st.st_ino)
      return true;
  return false;
}

// Claims the next entry if its slot is free; kNone if there is none to claim.
int claim(ReadAhead *r) {
  int j = r->claimed.load();
  while (j < r->n && j < r->released.load() + kAhead) {
    if (r->claimed.compare_exchange_weak(j, j + 1)) return j;
  }
  return kNone;
}

void read_entry(ReadAhead *r, int j) {
  // Anything but a regular file (a FIFO, a terminal, a device) is left to
  // its turn: opening or reading it early could change what it gives.
  const char *path = r->paths[j];
  Slot &slot = r->slots[j % kAhead];
  struct stat st;
  slot.file = nullptr;
  if (::stat(path, &st) == 0 && S_ISREG(st.st_mode) && !is_output(r, st))
    slot.file = text_open_in(slot.mem, path, st);
  slot.entry.store(j);
  wake_if(r, r->scan_waits_for, [j](int want) { return want == j; });
}

void read_ahead_thread(ReadAhead *r) {
  while (!r->stop.load()) {
    int j = claim(r);
    if (j != kNone) {
      read_entry(r, j);
      continue;
    }
    int next = r->claimed.load();
    if (next >= r->n) return;
    int spins = 0;
    while (r->released.load() + kAhead <= next && ++spins < kThreadSpins) relax();
    if (spins < kThreadSpins) continue;
    int want = next - kAhead / 2 + 1;  // releases to wait for: half the slots free
    sleep_until(r, &r->thread_waits_for, want, [r, want] { return r->released.load() >= want; });
  }
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
  for (Slot &slot : r->slots) std::free(slot.mem);
  std::free(r->paths);
  r->~ReadAhead();
  std::free(r);
}

}  // namespace

bool read_ahead_start(char **paths, int n) {
  if (paths == nullptr) return false;
  void *block = n >= 2 && ahead == nullptr && usable_processors() >= 2
                    ? alloc_or_null(sizeof(ReadAhead))
                    : nullptr;
  if (block == nullptr) {
    std::free(paths);
    return false;
  }
  ReadAhead *r = new (block) ReadAhead;
  r->paths = paths;
  r->n = n;
  for (int k = 0; k < 2; ++k) r->has_output[k] = ::fstat(k + 1, &r->outputs[k]) == 0;
  bool ok = true;
  for (Slot &slot : r->slots) ok = ok && (slot.mem = alloc_or_null(text_file_bytes())) != nullptr;
  if (!ok || !start_thread(r)) {
    release(r);
    return false;
  }
  ahead = r;
  static bool registered = false;
  if (!registered) std::atexit(read_ahead_stop);
  registered = true;
  return true;
}

TextFile *read_ahead_open(const char *path) {
  ReadAhead *r = ahead;
  if (r == nullptr || r->next >= r->n || path != r->paths[r->next]) return text_open(path);
  int i = r->next++;
  Slot &slot = r->slots[i % kAhead];
  for (int spins = 0; slot.entry.load() != i;) {
    int j = claim(r);
    if (j != kNone) {  // the thread is behind: read the next entry here
      read_entry(r, j);
    } else if (++spins < kScanSpins) {
      relax();
    } else {
      sleep_until(r, &r->scan_waits_for, i, [&slot, i] { return slot.entry.load() == i; });
    }
  }
  if (slot.file == nullptr) {
    r->released.store(i + 1);
    wake_if(r, r->thread_waits_for, [i](int want) { return i + 1 >= want; });
    return text_open(path);
  }
  r->open_entry = i;
  return slot.file;
}

int read_ahead_close(TextFile *f) {
  int rc = text_close(f);
  ReadAhead *r = ahead;
  if (r != nullptr && r->open_entry != kNone && f == r->slots[r->open_entry % kAhead].file) {
    int i = r->open_entry;
    r->open_entry = kNone;
    r->released.store(i + 1);
    wake_if(r, r->thread_waits_for, [i](int want) { return i + 1 >= want; });
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
