// How many processors this process may run on: those of its CPU affinity
// (as a container or the user limits it), not every one online; more
// workers than that only take turns.
#ifndef KOLVU_UTIL_PROCESSORS_H_
#define KOLVU_UTIL_PROCESSORS_H_

#include <sched.h>
#include <unistd.h>

namespace kolvu {

/// At least 1; the processors online where the affinity cannot be read.
inline int usable_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n < 1 ? 1 : static_cast<int>(n);
}

}  // namespace kolvu

#endif  // KOLVU_UTIL_PROCESSORS_H_
