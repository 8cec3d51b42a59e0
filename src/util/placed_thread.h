// A thread started on another processor than the thread that starts it.
// Left to itself, the kernel may queue a new thread behind its starter on
// the same processor while another stands idle, until it balances the load
// some milliseconds later: most of a short run, the two taking turns. The
// new thread is first placed on one of the other processors the process
// may use, and once it runs it may move to any of them. Header only: the
// programs link the thread library, the utility library does not.
#ifndef KOLVU_UTIL_PLACED_THREAD_H_
#define KOLVU_UTIL_PLACED_THREAD_H_

#include <pthread.h>
#include <sched.h>

#include <functional>
#include <memory>
#include <system_error>
#include <utility>

namespace kolvu {

class PlacedThread {
 public:
  /// Starts fn on a new thread, placed on the spread-th (counting round)
  /// of the processors the process may use other than the caller's; with
  /// none other, or where placing fails, started as any thread is. Throws
  /// std::system_error when no thread can be started, as std::thread does.
  PlacedThread(int spread, std::function<void()> fn);
  PlacedThread(PlacedThread &&other) noexcept;
  PlacedThread(const PlacedThread &) = delete;
  PlacedThread &operator=(const PlacedThread &) = delete;
  PlacedThread &operator=(PlacedThread &&) = delete;
  /// Joins the thread when that was not done.
  ~PlacedThread();

  bool joinable() const { return joinable_; }
  void join();

 private:
  pthread_t id_{};
  bool joinable_ = false;
};

// ---- the inside ----------------------------------------------------------

namespace placed_thread_detail {

struct Start {
  std::function<void()> fn;
  cpu_set_t free;       // the processors it may run on once started
  bool placed = false;  // started on one of them alone
};

inline void *run(void *p) {
  std::unique_ptr<Start> start(static_cast<Start *>(p));
  if (start->placed) pthread_setaffinity_np(pthread_self(), sizeof start->free, &start->free);
  start->fn();
  return nullptr;
}

// The spread-th processor of free other than the caller's, counting round
// them, alone in *first; false when there is no other.
inline bool other_processor(const cpu_set_t &free, int spread, cpu_set_t *first) {
  const int here = sched_getcpu();
  const int others = CPU_COUNT(&free) - (here >= 0 && CPU_ISSET(here, &free) ? 1 : 0);
  if (others <= 0) return false;
  int pick = (spread < 0 ? 0 : spread) % others;
  CPU_ZERO(first);
  for (int c = 0; c < CPU_SETSIZE; ++c) {
    if (!CPU_ISSET(c, &free) || c == here) continue;
    if (pick-- == 0) {
      CPU_SET(c, first);
      return true;
    }
  }
  return false;
}

}  // namespace placed_thread_detail

inline PlacedThread::PlacedThread(int spread, std::function<void()> fn) {
  using placed_thread_detail::Start;
  using placed_thread_detail::other_processor;
  using placed_thread_detail::run;
  auto start = std::make_unique<Start>();
  start->fn = std::move(fn);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  cpu_set_t first;
  if (sched_getaffinity(0, sizeof start->free, &start->free) == 0 &&
      other_processor(start->free, spread, &first))
    start->placed = pthread_attr_setaffinity_np(&attr, sizeof first, &first) == 0;
  int rc = pthread_create(&id_, &attr, run, start.get());
  pthread_attr_destroy(&attr);
  if (rc != 0 && start->placed) {  // the processor may have gone: start it anywhere
    start->placed = false;
    rc = pthread_create(&id_, nullptr, run, start.get());
  }
  if (rc != 0) throw std::system_error(rc, std::generic_category(), "cannot start a thread");
  start.release();  // the thread's now
  joinable_ = true;
}

inline PlacedThread::PlacedThread(PlacedThread &&other) noexcept
    : id_(other.id_), joinable_(other.joinable_) {
  other.joinable_ = false;
}

inline PlacedThread::~PlacedThread() {
  if (joinable_) join();
}

inline void PlacedThread::join() {
  pthread_join(id_, nullptr);
  joinable_ = false;
}

}  // namespace kolvu

#endif  // KOLVU_UTIL_PLACED_THREAD_H_
