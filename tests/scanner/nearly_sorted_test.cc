// The sort of the records handed over: whatever the order it is given, the
// order std::sort gives; in a comparison or two a value where the values
// are nearly in order, and within n log n however they come.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include "scanner/nearly_sorted.h"

namespace kolvu {
namespace {

struct Order {
  const char *what;
  std::function<std::vector<uint32_t>(size_t)> make;
  size_t n;
  double most_per_value;  // comparisons a value at most; 0: n log n bound
};

std::vector<uint32_t> in_order(size_t n) {
  std::vector<uint32_t> v(n);
  std::iota(v.begin(), v.end(), 0u);
  return v;
}

// Each value stands for a record's begin: an outer record recorded after
// the k inner ones it holds, as the scanner does with a struct's members.
std::vector<uint32_t> outer_after_inner(size_t n, size_t k) {
  std::vector<uint32_t> v = in_order(n);
  for (size_t i = 0; i + k < n; i += k + 1) std::rotate(&v[i], &v[i + 1], &v[i + k + 1]);
  return v;
}

TEST(NearlySorted, GivesStdSortsOrderAtTheCostOfTheDisorder) {
  const Order orders[] = {
      {"none", in_order, 0, 1},
      {"one", in_order, 1, 1},
      {"in order", in_order, 5000, 1.01},
      {"typedef after its struct", [](size_t n) { return outer_after_inner(n, 1); }, 5000, 2.01},
      {"a struct after three members", [](size_t n) { return outer_after_inner(n, 3); }, 5000, 2.01},
      {"reversed", [](size_t n) {
         std::vector<uint32_t> v = in_order(n);
         std::reverse(v.begin(), v.end());
         return v;
       }, 5000, 0},
      {"shuffled", [](size_t n) {
         std::vector<uint32_t> v = in_order(n);
         std::shuffle(v.begin(), v.end(), std::mt19937(7));
         return v;
       }, 5000, 0},
      // Nested twenty deep: each outer record after all it holds, more
      // moves than four a value, so std::sort takes over partway.
      {"nested twenty deep", [](size_t n) {
         std::vector<uint32_t> v;
         for (size_t base = 0; base < n; base += 20)
           for (size_t d = 20; d-- > 0;) v.push_back(static_cast<uint32_t>(base + d));
         return v;
       }, 5000, 0},
  };
  for (const Order &o : orders) {
    SCOPED_TRACE(o.what);
    std::vector<uint32_t> v = o.make(o.n);
    std::vector<uint32_t> expected = v;
    size_t comparisons = 0;
    auto before = [&](uint32_t a, uint32_t b) {
      ++comparisons;
      return a < b;
    };
    std::sort(expected.begin(), expected.end(), before);
    comparisons = 0;
    sort_nearly_in_order(v.data(), v.size(), before);
    EXPECT_EQ(v, expected);
    const double n = static_cast<double>(o.n);
    const double most = o.most_per_value > 0 ? o.most_per_value * n
                                             : 8 * n * std::log2(std::max(n, 2.0)) + 4 * n;
    EXPECT_LE(static_cast<double>(comparisons), most) << comparisons << " comparisons";
  }
}

}  // namespace
}  // namespace kolvu
