// Where the engine's output goes when the library scans: not to standard
// output but into records, one per definition, handed to the caller's
// function. The engine marks where each definition's text begins and ends;
// every byte it writes falls inside one record, so the records' texts laid
// end to end are what the tool would write.
#ifndef KOLVU_SCANNER_RECORD_SINK_H_
#define KOLVU_SCANNER_RECORD_SINK_H_

#include <cstddef>
#include <cstdint>

#include "kolvu/scan.h"
#include "scanner/declarators.h"
#include "scanner/text_position.h"
#include "util/seam_vec.h"

namespace kolvu {

/// Where a record starts, as the engine knows it when the definition opens.
struct RecordStart {
  DefKind kind;
  int bit;
  const char *name;  // in the source text; its length in name_len
  int name_len;
  bool named;        // false for a typedef, named later at its ';'
  size_t begin;      // offset of the first byte in the source text
};

class RecordSink {
 public:
  static constexpr bool kRecords = true;

  /// text: the whole source text as read, size bytes; leads: the lead-byte
  /// classes of its encoding. A null fn counts the records.
  RecordSink(const char *text, size_t size, const CrMap &crs, const unsigned char *leads,
             Encoding encoding, DefinitionFn fn, void *context)
      : text_(text), size_(size), crs_(crs), leads_(leads), encoding_(encoding), fn_(fn),
        context_(context), lines_(text, size, crs) {}
  RecordSink(const RecordSink &) = delete;
  RecordSink &operator=(const RecordSink &) = delete;

  void set_window(const char *, const char *) {}
  void flush() {}

  void begin(const RecordStart &start);
  /// Names the open record when it has no name yet.
  void name(const char *p, int n);
  /// Bytes of the open record's text.
  void put(const char *p, size_t n);
  /// Hands the open record over; src_end: just past its last source byte.
  void end(size_t src_end);

  bool failed() const { return status_ != ScanStatus::kOk; }
  void fail(ScanStatus s) {
    if (status_ == ScanStatus::kOk) status_ = s;
  }
  ScanStatus status() const { return status_; }
  long delivered() const { return delivered_; }

 private:
  bool find_names(const RecordStart &start);

  const char *text_;
  size_t size_;
  CrMap crs_;
  const unsigned char *leads_;
  Encoding encoding_;
  DefinitionFn fn_;
  void *context_;
  ScanStatus status_ = ScanStatus::kOk;
  long delivered_ = 0;
  bool open_ = false;
  RecordStart start_{};
  SeamVec<char> text_of_open_;  // the open record's text
  LineCursor lines_;
  SeamVec<RawName> raw_;          // the open record's names, in the text
  SeamVec<DefinitionName> names_;  // and as handed over
  TypedefScratch tokens_;
};

}  // namespace kolvu

#endif  // KOLVU_SCANNER_RECORD_SINK_H_
