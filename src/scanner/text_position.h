// Where a byte of a text as read (carriage returns dropped) stands in its
// source: its offset there, its line, its column.
#ifndef KOLVU_SCANNER_TEXT_POSITION_H_
#define KOLVU_SCANNER_TEXT_POSITION_H_

#include <cstddef>
#include <cstdint>

namespace kolvu {

/// Offsets in the text as read back to offsets in the source: at cooked[i]
/// the text had lost removed[i] bytes so far.
struct CrMap {
  const uint32_t *cooked = nullptr;
  const uint32_t *removed = nullptr;
  size_t n = 0;

  /// The source offset of the text's byte at off.
  size_t source(size_t off) const;
};

/// Lines and columns of a text's bytes, asked for in about increasing
/// order: each answer walks from the one before.
class LineCursor {
 public:
  LineCursor(const char *text, size_t size, const CrMap &crs)
      : text_(text), size_(size), crs_(crs) {}

  /// The line (from 1) of the byte at off.
  long line_of(size_t off);
  /// The byte column (from 1) in its source line of the byte at off,
  /// carriage returns counted.
  long column_of(size_t off) const;

 private:
  const char *text_;
  size_t size_;
  CrMap crs_;
  size_t at_ = 0;  // the line of offset at_ is line_
  long line_ = 1;
};

}  // namespace kolvu

#endif  // KOLVU_SCANNER_TEXT_POSITION_H_
