// The read-ahead thread and its hand-over of files to the scan.
#include "driver/read_ahead.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <cstdlib>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "driver/scan_file.h"
#include "util/alloc_seam.h"
#include "util/placed_thread.h"
#include "util/processors.h"

namespace kolvu {

namespace {

const int kAhead = 6;               // files worked on ahead at most
const size_t kOutputRoom = 32 * 1024;  // of a scan ahead
const long kScanSpinNanos = 100000;  // checking before the scan goes to sleep
const long kThreadSpinNanos = 30000; // and before the thread does
const int kNone = -1;
const rlim_t kFewDescriptors = 64;

// Entry i of the list is read into slot i % kAhead by whichever side claims
// it first: the thread, or the scan when the entry it needs next is not
// there yet (it reads one ahead itself rather than wait). An entry is
// claimed only once entries [0, i - kAhead] are released, which the scan
// does in order as it finishes them.
//
// Once read, an entry is either taken by the scan in its turn, or scanned
// ahead by the thread, which starts from the entries furthest ahead so that
// the two meet as late as possible:
//
//   kRead --(scan takes it)--> kTaken
//   kRead --(thread)--> kScanning --> kScanned (output in the slot)
//                                 \-> kFailed (scanned again in its turn)
//
// Waking a sleeping thread costs tens of microseconds, several files' worth,
// so both sides avoid it: each checks for a while before it sleeps; the
// thread, once asleep, waits until half of the slots are free again; and
// each side wakes the other only when it sleeps and what it waits for has
// come.
//
// A slot's entry and state change together, in one word, so that no side
// can take a slot's state for that of an entry the slot held before.
enum State { kRead, kTaken, kScanning, kScanned, kFailed };

int tag(int entry, State state) { return entry * 8 + state; }
int entry_of(int tag) { return tag < 0 ? kNone : tag / 8; }
int state_of(int tag) { return tag % 8; }

struct Slot {
  void *mem = nullptr;
  TextFile *file = nullptr;  // the file read ahead, or null: opened in its turn
  // All of it was read, so it may be scanned ahead. Atomic: the thread may
  // look at it for an entry the scan takes meanwhile, while the scan, done
  // with that entry, already reads the next one into the slot.
  std::atomic<bool> whole{false};
  ScanBuffer out = {nullptr, 0, 0};
  std::atomic<int> tag{kNone};  // the entry it holds, once read, and its state
};

struct ReadAhead {
  AheadFile *files = nullptr;
  int n = 0;
  struct stat outputs[2];  // what standard output and standard error are
  bool has_output[2] = {false, false};
  Slot slots[kAhead];
  std::atomic<int> claimed{0};
  std::atomic<int> released{0};
  std::atomic<int> lists{0};
  std::atomic<bool> stop{false};
  std::atomic<int> scan_waits_for{kNone};    // while the scan sleeps: the entry it needs
  std::atomic<int> thread_waits_for{kNone};  // while the thread sleeps: the release count it needs
  int next = 0;            // the scan's next entry
  int open_entry = kNone;  // the entry whose file the scan has open
  std::mutex mutex;
  std::condition_variable changed;
  std::optional<PlacedThread> thread;  // on the other processor from the start
};

ReadAhead *ahead = nullptr;

void relax() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#endif
}

// Checking for a while before sleeping, the while bounded in time, not in
// checks: a pause takes from a few cycles to over a hundred, by processor.
class Spin {
 public:
  // The clock starts at the first check: a wait that never happens costs
  // nothing.
  explicit Spin(long nanos) : nanos_(nanos) {}
  // One pause; false once the time is up.
  bool again() {
    if (until_ == 0) until_ = now() + nanos_;
    relax();
    return (++checks_ & 15) != 0 || now() < until_;
  }

 private:
  static long now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000L + t.tv_nsec;
  }
  long nanos_;
  long until_ = 0;
  unsigned checks_ = 0;
};

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

void wake(ReadAhead *r) {
  { std::lock_guard<std::mutex> lock(r->mutex); }  // the sleeper is inside wait() now
  r->changed.notify_all();
}

// Wakes the side that sleeps on waits_for when due(what it waits for).
template <class Due>
void wake_if(ReadAhead *r, const std::atomic<int> &waits_for, Due due) {
  int what = waits_for.load();
  if (what != kNone && due(what)) wake(r);
}

void wake_scan_for(ReadAhead *r, int entry) {
  wake_if(r, r->scan_waits_for, [entry](int want) { return want == entry; });
}

void release_entry(ReadAhead *r, int i) {
  r->released.store(i + 1);
  wake_if(r, r->thread_waits_for, [i](int want) { return i + 1 >= want; });
}

bool is_output(const ReadAhead *r, const struct stat &st) {
  for (int k = 0; k < 2; ++k)
    if (r->has_output[k] && r->outputs[k].st_dev == st.st_dev && r->outputs[k].st_ino == st.st_ino)
      return true;
  return false;
}

// Claims the next entry to read if its slot is free; kNone if there is none.
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
  const char *path = r->files[j].path;
  Slot &slot = r->slots[j % kAhead];
  struct stat st;
  slot.file = nullptr;
  if (::stat(path, &st) == 0 && S_ISREG(st.st_mode) && !is_output(r, st))
    slot.file = text_open_in(slot.mem, path, st);
  // Known now, before the file may be taken and read on.
  slot.whole.store(slot.file != nullptr && text_whole(slot.file), std::memory_order_relaxed);
  slot.tag.store(tag(j, kRead));
  wake_scan_for(r, j);
}

// The entry furthest ahead that is read, whole in memory, not yet taken,
// and whose name list is complete; kNone if there is none.
int pick_scan(ReadAhead *r) {
  int lists = r->lists.load();
  for (int k = r->claimed.load() - 1; k >= r->released.load(); --k) {
    Slot &slot = r->slots[k % kAhead];
    if (slot.tag.load() != tag(k, kRead)) continue;
    if (!slot.whole.load(std::memory_order_relaxed) || r->files[k].lists != lists) continue;
    int expected = tag(k, kRead);
    if (slot.tag.compare_exchange_strong(expected, tag(k, kScanning))) return k;
  }
  return kNone;
}

void scan_entry(ReadAhead *r, int k) {
  Slot &slot = r->slots[k % kAhead];
  const AheadFile &file = r->files[k];
  slot.out.len = 0;
  bool done = scan_file_ahead(slot.file, file.path, file.mask, file.banner, &slot.out);
  if (!done) text_rewind(slot.file);
  slot.tag.store(tag(k, done ? kScanned : kFailed));
  wake_scan_for(r, k);
}

void read_ahead_thread(ReadAhead *r) {
  while (!r->stop.load() && r->released.load() < r->n) {
    int j = claim(r);
    if (j != kNone) {
      read_entry(r, j);
      continue;
    }
    int k = pick_scan(r);
    if (k != kNone) {
      scan_entry(r, k);
      continue;
    }
    // Nothing to do until the scan moves on, or takes in a "-l" value.
    int released = r->released.load(), lists = r->lists.load();
    auto moved = [r, released, lists] {
      return r->released.load() != released || r->lists.load() != lists;
    };
    Spin spin(kThreadSpinNanos);
    while (!moved() && spin.again()) {
    }
    if (moved()) continue;
    int want = r->claimed.load() - kAhead / 2 + 1;  // half the slots free
    if (want <= released) want = released + 1;
    sleep_until(r, &r->thread_waits_for, want, [r, want, lists] {
      return r->released.load() >= want || r->lists.load() != lists;
    });
  }
}

// Files read ahead but not whole keep their descriptors open until their
// turn: with few descriptors to spare, a file opened in its turn could be
// refused for want of one.
bool descriptors_to_spare() {
  struct rlimit limit;
  return ::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= kFewDescriptors;
}

bool start_thread(ReadAhead *r) {
  // The thread takes no signals: they go to the scan, as without it.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  bool started = true;
  try {
    r->thread.emplace(0, [r] { read_ahead_thread(r); });
  } catch (const std::system_error &) {
    started = false;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return started;
}

void release(ReadAhead *r) {
  for (Slot &slot : r->slots) {
    std::free(slot.mem);
    std::free(slot.out.buf);
  }
  std::free(r->files);
  r->~ReadAhead();
  std::free(r);
}

// Waits until entry i is read and not being scanned, reading ahead
// meanwhile when there is reading to do.
void await_entry(ReadAhead *r, int i) {
  Slot &slot = r->slots[i % kAhead];
  auto ready = [&slot, i] {
    int t = slot.tag.load();
    return entry_of(t) == i && state_of(t) != kScanning;
  };
  Spin spin(kScanSpinNanos);
  while (!ready()) {
    int j = claim(r);
    if (j != kNone) {  // the thread is behind: read the next entry here
      read_entry(r, j);
    } else if (!spin.again()) {
      sleep_until(r, &r->scan_waits_for, i, ready);
    }
  }
}

}  // namespace

bool read_ahead_start(AheadFile *files, int n) {
  if (files == nullptr) return false;
  void *block = n >= 2 && ahead == nullptr && usable_processors() >= 2 && descriptors_to_spare()
                    ? alloc_or_null(sizeof(ReadAhead))
                    : nullptr;
  if (block == nullptr) {
    std::free(files);
    return false;
  }
  ReadAhead *r = new (block) ReadAhead;
  r->files = files;
  r->n = n;
  for (int k = 0; k < 2; ++k) r->has_output[k] = ::fstat(k + 1, &r->outputs[k]) == 0;
  bool ok = true;
  for (Slot &slot : r->slots) {
    ok = ok && (slot.mem = alloc_or_null(text_file_bytes())) != nullptr &&
         (slot.out.buf = static_cast<char *>(alloc_or_null(kOutputRoom))) != nullptr;
    slot.out.cap = kOutputRoom;
  }
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

void read_ahead_lists(int count) {
  ReadAhead *r = ahead;
  if (r == nullptr) return;
  r->lists.store(count);
  wake(r);
}

TextFile *read_ahead_open(const char *path, bool *scanned) {
  *scanned = false;
  ReadAhead *r = ahead;
  if (r == nullptr || r->next >= r->n || path != r->files[r->next].path) return text_open(path);
  int i = r->next++;
  Slot &slot = r->slots[i % kAhead];
  // Take the entry, unless the thread has started to scan it just now: then
  // wait for that scan to end.
  int t;
  do {
    await_entry(r, i);
    t = tag(i, kRead);
  } while (!slot.tag.compare_exchange_strong(t, tag(i, kTaken)) && state_of(t) == kScanning);
  if (state_of(t) == kScanned) {
    out_write(slot.out.buf, slot.out.len);
    if (slot.file != nullptr) text_close(slot.file);
    release_entry(r, i);
    *scanned = true;
    return nullptr;
  }
  // Taken, or its scan ahead failed (and the file is back at its start).
  if (slot.file == nullptr) {
    release_entry(r, i);
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
    release_entry(r, i);
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
  r->thread->join();
  release(r);
}

}  // namespace kolvu
