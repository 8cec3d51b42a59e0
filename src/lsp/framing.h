// Messages of the protocol on a byte stream: a header block of lines ending
// in "\r\n" ("Content-Length: N" required, other fields passed over), a blank
// line, then N bytes of body. The reader never allocates more than its limit
// for one body: a longer announced length, a missing or malformed length, or
// a header line that goes on without end is reported as a bad message, and
// reading goes on from the next "Content-Length:" that follows.
#ifndef KOLVU_LSP_FRAMING_H_
#define KOLVU_LSP_FRAMING_H_

#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>

namespace kolvu {

class MessageReader {
 public:
  enum class Result { kMessage, kBad, kEnd };

  /// Reads from fd, which stays open; bodies longer than max_body are bad.
  MessageReader(int fd, size_t max_body);

  /// The next message's body in *body (kMessage), or kBad with a short reason
  /// in *body, or kEnd at the end of input or on a read error.
  Result next(std::string *body);

  /// True when bytes are already buffered or can be read without waiting
  /// longer than timeout_ms (0: not at all).
  bool ready(int timeout_ms);

 private:
  bool fill();  // reads more; false at end of input
  // Drops bytes up to the next "Content-Length:" (or all but a possible
  // beginning of one); false at end of input.
  bool resync();

  int fd_;
  size_t max_body_;
  std::string buf_;
  size_t at_ = 0;
  bool eof_ = false;
  bool resync_ = false;  // after a bad message: find the next header first
};

/// Writes whole messages with their header; safe to call from several
/// threads. A failed write is remembered and later ones are dropped.
class MessageWriter {
 public:
  explicit MessageWriter(int fd) : fd_(fd) {}
  bool write(std::string_view body) { return write({body}); }
  /// One message whose body is the parts one after the other, written
  /// without joining them first (a big answer is not copied).
  bool write(std::initializer_list<std::string_view> parts);
  bool failed() const { return failed_; }

 private:
  int fd_;
  std::mutex mutex_;
  bool failed_ = false;
};

}  // namespace kolvu

#endif  // KOLVU_LSP_FRAMING_H_
