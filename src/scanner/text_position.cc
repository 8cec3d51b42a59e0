#include "scanner/text_position.h"

#include <cstring>

#include "scanner/engine_vector.h"

namespace kolvu {

// Carriage returns dropped before the byte at off, added back.
size_t CrMap::source(size_t off) const {
  size_t lo = 0, hi = n;  // the entries with cooked <= off are [0, lo)
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (cooked[mid] <= off)
      lo = mid + 1;
    else
      hi = mid;
  }
  return base + off + (lo == 0 ? 0 : removed[lo - 1]);
}

namespace {

// The '\n' bytes of t[from, to), counted a vector at a time where there is
// one (a line is a few dozen bytes: a call a line costs more), the last
// part too while a whole vector lies within the size bytes of t; *after_last
// is set to the place after the last of them, if any, found by a look back
// from to (most often within the last line).
size_t newlines(const char *t, size_t from, size_t to, size_t size, size_t *after_last) {
  size_t count = 0;
  size_t p = from;
#if defined(__AVX2__) || defined(__SSE2__)
  const Vec newline = splat('\n');
  while (p + kVecBytes <= to) {
    // Each lane counts its newlines up to 255 vectors, then they are summed.
    Vec lanes = zero();
    size_t stop = to - p > 255 * kVecBytes ? p + 255 * kVecBytes : to;
    for (; p + kVecBytes <= stop; p += kVecBytes) lanes = minus(lanes, eq(load(t + p), newline));
    count += byte_sum(lanes);
  }
  if (p < to && p + kVecBytes <= size) {
    for (unsigned bits = bits_of(eq(load(t + p), newline)) & ((1u << (to - p)) - 1); bits != 0;
         bits &= bits - 1)
      ++count;
    p = to;
  }
#else
  (void)size;
#endif
  for (; p < to; ++p) count += t[p] == '\n';
  if (count == 0) return count;
  size_t q = to;
#if defined(__AVX2__) || defined(__SSE2__)
  for (; q - from >= kVecBytes; q -= kVecBytes) {
    const unsigned bits = bits_of(eq(load(t + q - kVecBytes), newline));
    if (bits != 0) {
      *after_last = q - kVecBytes + (31 - static_cast<size_t>(__builtin_clz(bits))) + 1;
      return count;
    }
  }
#endif
  for (; q > from && t[q - 1] != '\n'; --q) {
  }
  *after_last = q;
  return count;
}

}  // namespace

// The '\n' bytes before off are counted from where the last answer was.
long LineCursor::line_of(size_t off) {
  if (off > size_) off = size_;
  const char *t = text_;
  if (off < at_ && off >= back_at_) {
    // A name inside the record whose end was asked last: on from its start.
    at_ = back_at_;
    line_ = back_line_;
    line_start_ = back_line_start_;
  } else if (off > at_) {
    back_at_ = at_;
    back_line_ = line_;
    back_line_start_ = line_start_;
  }
  if (at_ < off) {
    size_t after_last = 0;
    line_ += static_cast<long>(newlines(t, at_, off, size_, &after_last));
    if (after_last != 0) line_start_ = after_last;
    at_ = off;
  }
  if (at_ > off) {
    while (at_ > off) {
      if (t[--at_] == '\n') --line_;
    }
    line_start_ = at_;
    while (line_start_ > 0 && t[line_start_ - 1] != '\n') --line_start_;
  }
  return line_;
}

// The source line starts just after the '\n' before it: carriage returns
// that begin it are bytes of it.
long LineCursor::column_of(size_t off) {
  line_of(off);
  size_t start = line_start_ == 0 ? crs_.line_base : crs_.source(line_start_ - 1) + 1;
  return static_cast<long>(crs_.source(off) - start) + 1;
}

namespace {

DefinitionName position(const RawName &r, const char *text, LineCursor *lines, const CrMap &crs) {
  return {std::string_view(text + r.off, static_cast<size_t>(r.len)), r.kind, lines->line_of(r.off),
          lines->column_of(r.off), crs.source(r.off),
          std::string_view(r.scope_len > 0 ? text + r.scope_off : nullptr,
                           static_cast<size_t>(r.scope_len)),
          r.scope_kind};
}

}  // namespace

bool to_definition_names(const SeamVec<RawName> &raw, size_t from, size_t count, const char *text,
                         LineCursor *lines, const CrMap &crs, SeamVec<DefinitionName> *out) {
  out->clear();
  if (!out->reserve(count)) return false;
  for (size_t i = from; i < from + count; ++i) out->push(position(raw[i], text, lines, crs));
  return true;
}

bool to_definition_names(const SeamVec<RawName> &raw, const SeamVec<uint32_t> &which,
                         const char *text, LineCursor *lines, const CrMap &crs,
                         SeamVec<DefinitionName> *out) {
  out->clear();
  if (!out->reserve(which.size())) return false;
  for (size_t k = 0; k < which.size(); ++k) out->push(position(raw[which[k]], text, lines, crs));
  return true;
}

}  // namespace kolvu
