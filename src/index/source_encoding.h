// The encoding the scanner gives a source read with Encoding::kAuto, found
// by reading the file apart from the scan: UTF-8 when the text (carriage
// returns dropped, up to a Ctrl-Z byte) is valid UTF-8 with a byte of 0x80
// or above, Shift_JIS otherwise. Known before the scan returns it, the
// encoding lets each record be converted and written as soon as it comes.
#ifndef KOLVU_INDEX_SOURCE_ENCODING_H_
#define KOLVU_INDEX_SOURCE_ENCODING_H_

#include <cstddef>

#include "kolvu/scan.h"

namespace kolvu {

/// Checks text fed to it piece by piece, in any cuts.
class Utf8TextCheck {
 public:
  void feed(const char *p, size_t n);
  /// Whether more bytes can change the answer.
  bool settled() const { return bad_ || ended_; }
  /// kUtf8 or kShiftJis for the bytes fed so far.
  Encoding encoding() const;

 private:
  void feed_text(const unsigned char *p, size_t n);  // no '\r', no Ctrl-Z
  unsigned char pending_[4];
  size_t pending_n_ = 0;  // the first bytes of a character cut by a piece
  bool high_ = false;     // a byte of 0x80 or above was seen
  bool bad_ = false;
  bool ended_ = false;  // a Ctrl-Z ended the text
};

/// Reads the file open at fd from its beginning with pread(2), block bytes
/// at a time, as far as needed. Encoding::kAuto when it cannot be read (a
/// pipe, an error).
Encoding read_source_encoding(int fd, size_t block = 256 * 1024);

}  // namespace kolvu

#endif  // KOLVU_INDEX_SOURCE_ENCODING_H_
