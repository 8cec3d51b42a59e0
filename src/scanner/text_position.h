// Where a byte of a text as read (carriage returns dropped) stands in its
// source: its offset there, its line, its column.
#ifndef KOLVU_SCANNER_TEXT_POSITION_H_
#define KOLVU_SCANNER_TEXT_POSITION_H_

#include <cstddef>
#include <cstdint>

#include "kolvu/scan.h"
#include "scanner/declarators.h"
#include "util/seam_vec.h"

namespace kolvu {

/// Offsets in the text as read back to offsets in the source: at cooked[i]
/// the text had lost removed[i] bytes so far; its first byte is at base in
/// the source, and the line of that byte starts at line_base there (before
/// base when carriage returns begin the line).
struct CrMap {
  const uint32_t *cooked = nullptr;
  const uint32_t *removed = nullptr;
  size_t n = 0;
  size_t base = 0;
  size_t line_base = 0;

  /// The source offset of the text's byte at off.
  size_t source(size_t off) const;
};

/// Lines and columns of a text's bytes, asked for in about increasing
/// order: each answer walks from the one before.
class LineCursor {
 public:
  /// first_line: the line of text's first byte.
  LineCursor(const char *text, size_t size, const CrMap &crs, long first_line = 1)
      : text_(text), size_(size), crs_(crs), line_(first_line), back_line_(first_line) {}

  /// The line (from 1) of the byte at off.
  long line_of(size_t off);
  /// The byte column (from 1) in its source line of the byte at off,
  /// carriage returns counted.
  long column_of(size_t off);

 private:
  const char *text_;
  size_t size_;
  CrMap crs_;
  size_t at_ = 0;  // the line of offset at_ is line_
  long line_ = 1;
  size_t line_start_ = 0;  // where that line starts
  // Where the cursor was before its last move forward, to go back to.
  size_t back_at_ = 0;
  long back_line_ = 1;
  size_t back_line_start_ = 0;
};

/// Sets out to the names raw[from, from + count) of text, with their lines,
/// columns and source offsets. False when memory runs out.
bool to_definition_names(const SeamVec<RawName> &raw, size_t from, size_t count, const char *text,
                         LineCursor *lines, const CrMap &crs, SeamVec<DefinitionName> *out);
/// The same for the names raw[which[k]], in that order, with their
/// containers.
bool to_definition_names(const SeamVec<RawName> &raw, const SeamVec<uint32_t> &which,
                         const char *text, LineCursor *lines, const CrMap &crs,
                         SeamVec<DefinitionName> *out);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_TEXT_POSITION_H_
