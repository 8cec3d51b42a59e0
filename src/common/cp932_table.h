// Code page 932 to UTF-8 by table: what the system's converter makes of
// each byte and of each pair of a lead byte and the byte after it, asked
// once per process, so that a text converts without a call into iconv(3)
// for each of its characters. The pairs of a lead byte are asked for the
// first time one is looked up, so a text pays only for the lead bytes it
// uses. One table serves every thread.
#ifndef KOLVU_COMMON_CP932_TABLE_H_
#define KOLVU_COMMON_CP932_TABLE_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kolvu {

class Cp932Table {
 public:
  /// A character's UTF-8, packed: its bytes from the lowest, its length in
  /// the top byte; 0 for none.
  using Packed = uint32_t;
  static const Packed kLead = 0xff000000u;  // from single(): a lead byte

  /// The table of the system's converter; null when the system has none
  /// for code page 932, or it does not keep ASCII as it is.
  static Cp932Table *get();

  /// What byte c alone is: a character, 0, or kLead.
  Packed single(unsigned char c) const { return single_[c]; }

  /// The character of lead (a byte single() calls kLead) and trail, or 0
  /// when the two are none; false when the converter gave a character the
  /// table cannot hold (more than three bytes), and nothing then.
  bool pair(unsigned char lead, unsigned char trail, Packed *out) {
    const Packed *row = rows_[lead].load(std::memory_order_acquire);
    if (row == nullptr && (row = build_row(lead)) == nullptr) return false;
    *out = row[trail];
    return true;
  }

  ~Cp932Table();

 private:
  Cp932Table() = default;
  const Packed *build_row(unsigned char lead);

  Packed single_[256] = {};
  std::atomic<const Packed *> rows_[256] = {};
  std::unique_ptr<Packed[]> storage_[256];
  std::mutex mu_;         // for building rows
  void *cd_ = nullptr;    // iconv_t, kept to build rows
};

}  // namespace kolvu

#endif  // KOLVU_COMMON_CP932_TABLE_H_
