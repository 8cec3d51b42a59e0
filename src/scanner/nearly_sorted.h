// A sort for values that come nearly in order: the complete scanner records
// an inner definition, or the struct a typedef holds, before the one around
// it, a few places from where it goes.
#ifndef KOLVU_SCANNER_NEARLY_SORTED_H_
#define KOLVU_SCANNER_NEARLY_SORTED_H_

#include <algorithm>
#include <cstddef>

namespace kolvu {

/// Sorts the n values at a by before, a strict order that sets any two
/// values apart (ties broken, so every sort gives the same order). Each
/// value is moved back to its place: a comparison a value and a move a
/// place, nothing more for values in order. Should the moves pass four a
/// value, std::sort takes over, so that no order costs more than n log n.
template <class T, class Before>
void sort_nearly_in_order(T *a, size_t n, Before before) {
  size_t moves = 4 * n;
  for (size_t i = 1; i < n; ++i) {
    const T v = a[i];
    size_t j = i;  // the free place
    for (; j > 0 && before(v, a[j - 1]); --j) {
      if (moves-- == 0) {
        a[j] = v;
        std::sort(a, a + n, before);
        return;
      }
      a[j] = a[j - 1];
    }
    a[j] = v;
  }
}

}  // namespace kolvu

#endif  // KOLVU_SCANNER_NEARLY_SORTED_H_
