#include "common/glob.h"

#include <cstddef>

namespace kolvu {

namespace {

// Matches the set that opens at pattern[*at] ('[') against c; moves *at past
// the set. An unclosed '[' is a plain byte, reported by returning -1.
int match_set(std::string_view p, size_t *at, unsigned char c) {
  size_t i = *at + 1;
  bool negate = i < p.size() && (p[i] == '!' || p[i] == '^');
  if (negate) ++i;
  bool found = false;
  bool first = true;
  for (; i < p.size() && (p[i] != ']' || first); first = false) {
    unsigned char lo = static_cast<unsigned char>(p[i]);
    if (lo == '\\' && i + 1 < p.size()) lo = static_cast<unsigned char>(p[++i]);
    ++i;
    unsigned char hi = lo;
    if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
      hi = static_cast<unsigned char>(p[i + 1]);
      if (hi == '\\' && i + 2 < p.size()) hi = static_cast<unsigned char>(p[++i + 1]);
      i += 2;
    }
    if (lo <= c && c <= hi) found = true;
  }
  if (i >= p.size()) return -1;
  *at = i + 1;
  return found != negate && c != '/';
}

}  // namespace

bool glob_match(std::string_view p, std::string_view t) {
  // Backtracking to the last '*' only: a later '*' makes an earlier one's
  // choice free, so the match is linear in practice.
  size_t pi = 0, ti = 0;
  size_t star_p = std::string_view::npos, star_t = 0;
  while (ti < t.size()) {
    bool ok = false;
    if (pi < p.size()) {
      char pc = p[pi];
      if (pc == '*') {
        star_p = ++pi;
        star_t = ti;
        continue;
      }
      if (pc == '?') {
        ok = t[ti] != '/';
        if (ok) ++pi;
      } else if (pc == '[') {
        size_t at = pi;
        int m = match_set(p, &at, static_cast<unsigned char>(t[ti]));
        if (m < 0) {
          ok = t[ti] == '[';
          if (ok) ++pi;
        } else if (m == 1) {
          ok = true;
          pi = at;
        }
      } else {
        if (pc == '\\' && pi + 1 < p.size()) ++pi;
        ok = p[pi] == t[ti];
        if (ok) ++pi;
      }
    }
    if (ok) {
      ++ti;
      continue;
    }
    // A '*' takes one more byte, never a '/'.
    if (star_p == std::string_view::npos || t[star_t] == '/') return false;
    pi = star_p;
    ti = ++star_t;
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace kolvu
