// A thread started on another processor: it runs and is joined as any
// thread is, and once running it may use every processor its starter may,
// including where the starter has one alone. The processors counted for
// workers are those of the affinity too.
#include "util/placed_thread.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <vector>

#include "util/processors.h"

namespace kolvu {
namespace {

cpu_set_t own_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  EXPECT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  return set;
}

TEST(PlacedThread, RunsAndIsThenFreeToUseEveryProcessorItsStarterMay) {
  const cpu_set_t starter = own_processors();
  std::atomic<int> ran{0};
  std::vector<cpu_set_t> seen(4);
  {
    std::vector<PlacedThread> threads;
    threads.reserve(seen.size());
    for (int i = 0; i < static_cast<int>(seen.size()); ++i)
      threads.emplace_back(i, [&, i] {
        seen[static_cast<size_t>(i)] = own_processors();
        ++ran;
      });
    threads[0].join();
    EXPECT_FALSE(threads[0].joinable());
    EXPECT_TRUE(threads[1].joinable());
  }  // the others joined as they go
  EXPECT_EQ(ran.load(), 4);
  for (const cpu_set_t &s : seen) EXPECT_TRUE(CPU_EQUAL(&s, &starter));
}

TEST(PlacedThread, WithOneProcessorItStartsThere) {
  const cpu_set_t all = own_processors();
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  cpu_set_t seen;
  CPU_ZERO(&seen);
  PlacedThread t(1, [&] { seen = own_processors(); });
  t.join();
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_TRUE(CPU_EQUAL(&seen, &one));
}

TEST(UsableProcessors, AreThoseOfTheAffinityNotAllOnline) {
  const cpu_set_t all = own_processors();
  EXPECT_EQ(usable_processors(), CPU_COUNT(&all));
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const int limited = usable_processors();
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(limited, 1);
}

}  // namespace
}  // namespace kolvu
