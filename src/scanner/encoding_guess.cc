#include "scanner/encoding_guess.h"

#include <algorithm>
#include <cstring>

#include "scanner/utf8_check.h"
#include "util/text_cook.h"

namespace kolvu {
namespace {

// Byte classes of the two double-byte encodings.
enum : unsigned char {
  kSjLead = 1,   // Shift_JIS: the first byte of two
  kSjTrail = 2,  // Shift_JIS: a second byte
  kKana = 4,     // a half-width katakana: alone in Shift_JIS, after 0x8E in EUC-JP
  kEucByte = 8,  // EUC-JP: either byte of a character of the main set
};

struct Tables {
  unsigned char byte[256];
  signed char row[95];  // the score of a character of JIS row 1 to 94
};

constexpr Tables make_tables() {
  Tables t{};
  for (int c = 0; c < 256; ++c) {
    unsigned char k = 0;
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) k |= kSjLead;
    if ((c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC)) k |= kSjTrail;
    if (c >= 0xA1 && c <= 0xDF) k |= kKana;
    if (c >= 0xA1 && c <= 0xFE) k |= kEucByte;
    t.byte[c] = k;
  }
  for (int r = 1; r <= 94; ++r) {
    // Symbols, letters, kana and box drawing; the first level of kanji;
    // the second level and the vendors' numbered symbols; the rows no
    // standard fills (the vendors' and the users' own).
    t.row[r] = r <= 8 ? 4 : r >= 16 && r <= 47 ? 2 : (r >= 48 && r <= 84) || r == 13 ? 1 : 0;
  }
  return t;
}

constexpr Tables kTables = make_tables();

const long kBad = 8;        // a sequence the encoding does not allow
const long kHalfWidth = 1;  // a half-width katakana
const long kRare = 1;       // a character of EUC-JP's supplementary set
const long kDecisive = 256; // a lead that decides between the two readings

// The score of the Shift_JIS character lead, trail.
long sjis_pair_score(unsigned char lead, unsigned char trail) {
  int row;
  if (lead <= 0x9F)
    row = (lead - 0x81) * 2 + 1;
  else if (lead <= 0xEF)
    row = (lead - 0xE0) * 2 + 63;
  else
    return 0;  // the users' and the vendors' own rows
  if (trail >= 0x9F) ++row;
  return kTables.row[row];
}

}  // namespace

bool EncodingGuess::decided() const {
  return sjis_score_ - euc_score_ >= kDecisive || euc_score_ - sjis_score_ >= kDecisive;
}

bool EncodingGuess::settled() const { return !utf8_valid_ && decided(); }

void EncodingGuess::feed(const char *p, size_t n) {
  // A block at a time, so that no more of a text is read than decides it.
  const size_t kBlock = 1 << 14;
  while (n > 0 && !stopped_ && !settled()) {
    size_t block = n < kBlock ? n : kBlock;
    const size_t text = before_ctrl_z(p, block);
    stopped_ = text < block;
    block = text;
    if (std::memchr(p, '\r', block) == nullptr) {
      feed_text(reinterpret_cast<const unsigned char *>(p), block);
    } else {  // carriage returns are dropped first, as the text is read
      char cooked[4096];
      for (size_t i = 0; i < block && !settled(); i += sizeof cooked) {
        const size_t piece = std::min(sizeof cooked, block - i);
        const size_t k = drop_carriage_returns(p + i, piece, cooked, [](size_t, size_t) { return true; });
        feed_text(reinterpret_cast<const unsigned char *>(cooked), k);
      }
    }
    p += block;
    n -= block;
  }
}

void EncodingGuess::feed_text(const unsigned char *s, size_t n) {
  // Past the ASCII the UTF-8 check has stepped over already.
  size_t i = utf8_valid_ ? feed_utf8(s, n) : 0;
  if (sjis_lead_ != 0 || euc_count_ != 0) i = 0;
  while (i < n) {
    if (sjis_lead_ == 0 && euc_count_ == 0) {
      if (decided()) return;
      i += ascii_prefix(s + i, n - i);
      if (i == n) break;
    }
    unsigned char c = s[i++];
    if (c >= 0x80) high_ = true;
    sjis_byte(c);
    euc_byte(c);
  }
}

size_t EncodingGuess::feed_utf8(const unsigned char *s, size_t n) {
  size_t i = 0, first_high = n;
  if (carried_ > 0) {  // a character cut by the end of the last piece
    size_t want = utf8_lead_length(carry_[0]);
    while (carried_ < want && i < n) carry_[carried_++] = s[i++];
    if (carried_ < want) return 0;
    carried_ = 0;
    if (utf8_char_length(carry_, want) != want) {
      utf8_valid_ = false;
      return 0;
    }
    first_high = 0;
  }
  while (i < n) {
    i += ascii_prefix(s + i, n - i);
    if (i == n) break;
    if (first_high == n) first_high = i;
    size_t len = utf8_char_length(s + i, n - i);
    if (len == 0) {
      size_t want = utf8_lead_length(s[i]);
      if (want == 0 || n - i >= want) {
        utf8_valid_ = false;
        return first_high;
      }
      carried_ = n - i;  // completed by the next piece, or never
      std::memcpy(carry_, s + i, carried_);
      return first_high;
    }
    i += len;
  }
  return first_high;
}

void EncodingGuess::sjis_byte(unsigned char c) {
  if (sjis_lead_ != 0) {
    unsigned char lead = sjis_lead_;
    sjis_lead_ = 0;
    if (kTables.byte[c] & kSjTrail) {
      sjis_score_ += sjis_pair_score(lead, c);
      return;
    }
    sjis_score_ -= kBad;  // and c begins anew
  }
  if (c < 0x80) return;
  if (kTables.byte[c] & kSjLead)
    sjis_lead_ = c;
  else
    sjis_score_ += kTables.byte[c] & kKana ? kHalfWidth : -kBad;
}

void EncodingGuess::euc_byte(unsigned char c) {
  if (euc_count_ > 0) {
    unsigned char want = euc_first_ == 0x8E ? kKana : kEucByte;
    if (kTables.byte[c] & want) {
      if (euc_first_ == 0x8F && euc_count_ == 1) {  // three bytes
        euc_count_ = 2;
        return;
      }
      euc_count_ = 0;
      euc_score_ += euc_first_ == 0x8E ? kHalfWidth
                    : euc_first_ == 0x8F ? kRare
                                         : kTables.row[euc_first_ - 0xA0];
      return;
    }
    euc_count_ = 0;
    euc_score_ -= kBad;  // and c begins anew
  }
  if (c < 0x80) return;
  if ((kTables.byte[c] & kEucByte) || c == 0x8E || c == 0x8F) {
    euc_first_ = c;
    euc_count_ = 1;
  } else {
    euc_score_ -= kBad;
  }
}

Encoding EncodingGuess::decide(bool cut_allowed) const {
  if (!high_) return Encoding::kShiftJis;
  if (utf8_valid_ && (carried_ == 0 || cut_allowed)) return Encoding::kUtf8;
  bool cut = !cut_allowed && !decided();  // an unfinished character counts
  long sjis = sjis_score_ - (cut && sjis_lead_ != 0 ? kBad : 0);
  long euc = euc_score_ - (cut && euc_count_ > 0 ? kBad : 0);
  return euc > sjis ? Encoding::kEucJp : Encoding::kShiftJis;
}

Encoding EncodingGuess::encoding() const { return decide(false); }

Encoding EncodingGuess::encoding_of_start() const { return decide(true); }

Encoding guess_encoding(const char *p, size_t n) {
  EncodingGuess guess;
  guess.feed(p, n);
  return guess.encoding();
}

}  // namespace kolvu
