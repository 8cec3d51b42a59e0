// The complete mode over a source fed a piece at a time: the bytes are read
// as text (carriage returns dropped, nothing after a Ctrl-Z), scanned as far
// as they go, and each record is handed over as soon as nothing later can
// come before it or hold it. Only the text from the earliest definition
// still open (or the line at hand) on is held, so memory follows the
// largest definition, not the size of the source.
#ifndef KOLVU_SCANNER_COMPLETE_STREAM_H_
#define KOLVU_SCANNER_COMPLETE_STREAM_H_

#include <cstddef>
#include <cstdint>

#include "kolvu/scan.h"
#include "scanner/complete_scan.h"
#include "scanner/text_position.h"
#include "util/seam_vec.h"

namespace kolvu {

class CompleteStream {
 public:
  /// encoding: kShiftJis, kUtf8 or kEucJp. first_room: the bytes of text
  /// held before the buffer first has to grow.
  CompleteStream(Encoding encoding, const ScanOptions &options, DefinitionFn fn, void *context,
                 size_t first_room = 1 << 20);
  ~CompleteStream();
  CompleteStream(const CompleteStream &) = delete;
  CompleteStream &operator=(const CompleteStream &) = delete;

  /// Appends n bytes of the source. False when the scan has ended: a
  /// failure or a stop (see result()), or a Ctrl-Z (ended()).
  bool feed(const char *raw, size_t n);
  /// As feed, for the first bytes of the source, in a buffer of cap bytes
  /// the caller lets the stream read as text in place and write to, so that
  /// no copy is made; raw must outlive the stream. With less than
  /// kInPlaceRoom after the n bytes (or something fed before), the bytes
  /// are copied as by feed.
  bool feed_in_place(char *raw, size_t n, size_t cap);
  /// The source ends here: the rest is scanned and handed over.
  void finish();

  bool ended() const { return ctrl_z_; }
  const ScanResult &result() const { return result_; }

 private:
  bool room_for(size_t n);
  bool take(const char *raw, size_t n);
  bool run(bool at_end);
  bool hand_over(size_t below);
  bool fail(ScanStatus status);

  const unsigned char *leads_;
  size_t first_room_;
  ScanOptions options_;
  DefinitionFn fn_;
  void *context_;
  ScanResult result_;

  char *buf_ = nullptr;  // the text held, then zeros
  bool borrowed_ = false;  // buf_ is the caller's (fed in place)
  size_t cap_ = 0;
  size_t len_ = 0;
  size_t src_base_ = 0;  // the source offset of buf_[0]
  size_t src_line_ = 0;  // and of the start of its line
  bool ctrl_z_ = false;
  SeamVec<uint32_t> cr_at_;       // where in buf_ carriage returns were dropped
  SeamVec<uint32_t> cr_removed_;  // and how many up to there, since buf_[0]
  size_t removed_ = 0;            // carriage returns dropped since buf_[0]

  SeamVec<RawRecord> recs_;
  SeamVec<RawName> raw_;
  CompleteScanner scanner_;
  SeamVec<uint32_t> order_;
  SeamVec<size_t> holder_ends_;  // source ends of the records handed over that may hold more
  SeamVec<long> holders_;
  SeamVec<DefinitionName> names_;
  SeamVec<uint32_t> kept_;  // the names of the record at hand that are handed over
  long line_base_ = 1;  // the line of buf_[0]
};

}  // namespace kolvu

#endif  // KOLVU_SCANNER_COMPLETE_STREAM_H_
