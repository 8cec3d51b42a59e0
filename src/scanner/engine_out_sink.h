// The tool's sink of the engine: what a scan writes goes to standard
// output, or to the buffer of a scan ahead. Bytes of the window that follow
// those held are held with them, so a definition over many lines goes out
// in one piece.
#ifndef KOLVU_SCANNER_ENGINE_OUT_SINK_H_
#define KOLVU_SCANNER_ENGINE_OUT_SINK_H_

#include <cstddef>
#include <cstring>

#include "kolvu/textio.h"
#include "scanner/record_sink.h"
#include "scanner/scanner.h"

namespace kolvu {
namespace {

class OutSink {
 public:
  static constexpr bool kRecords = false;

  explicit OutSink(ScanBuffer *ahead) : ahead_(ahead) {}

  // The window lines are cut from; held output must be written before the
  // window moves.
  void set_window(const char *lo, const char *hi) {
    window_lo_ = lo;
    window_hi_ = hi;
  }
  void flush() {
    if (held_len_ > 0) write_out(held_, held_len_);
    held_ = nullptr;
    held_len_ = 0;
  }
  void put(const char *p, size_t n) {
    if (held_ != nullptr && held_ + held_len_ == p) {
      held_len_ += n;
      return;
    }
    flush();
    if (p >= window_lo_ && p < window_hi_) {
      held_ = p;
      held_len_ = n;
      return;
    }
    write_out(p, n);
  }
  // A scan ahead whose output does not fit is abandoned.
  bool failed() const { return abandoned_; }

  // Record marks, which the tool has no use for.
  void begin(const RecordStart &) {}
  void name(const char *, int) {}
  void end(size_t) {}

 private:
  void write_out(const char *p, size_t n) {
    if (ahead_ == nullptr) {
      out_write(p, n);
    } else if (ahead_->cap - ahead_->len >= n) {
      std::memcpy(ahead_->buf + ahead_->len, p, n);
      ahead_->len += n;
    } else {
      abandoned_ = true;
    }
  }

  ScanBuffer *ahead_;
  bool abandoned_ = false;
  const char *window_lo_ = nullptr;
  const char *window_hi_ = nullptr;
  const char *held_ = nullptr;  // output not yet written, inside the window
  size_t held_len_ = 0;
};

}  // namespace
}  // namespace kolvu

#endif  // KOLVU_SCANNER_ENGINE_OUT_SINK_H_
