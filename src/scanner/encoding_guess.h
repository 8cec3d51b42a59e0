// kAuto's guess: which of UTF-8, EUC-JP and Shift_JIS a source is written
// in, from its text as read (carriage returns dropped, nothing after the
// first Ctrl-Z), fed whole or a piece at a time in any cuts.
//
// The rule, in order:
// - No byte of 0x80 or above: Shift_JIS (every encoding reads ASCII alike).
// - Valid UTF-8 (the rule of utf8_check.h), to its last byte: UTF-8.
// - Else the text is read both as EUC-JP and as Shift_JIS (code page 932),
//   and each reading scores its characters: the symbols, full-width
//   letters, kana and box drawing (rows 1 to 8 of the Japanese set) 4 each,
//   the first level of kanji 2; the second level, the numbered symbols of
//   row 13, EUC-JP's supplementary set and a half-width katakana (one byte
//   in Shift_JIS, two in EUC-JP) 1 each; the rows left to users and vendors
//   0; each byte sequence the encoding does not allow -8. EUC-JP when its
//   score is higher; on a tie, Shift_JIS, as this is a Shift_JIS tool first.
//   Once one reading leads the other by 256, the rest of the text is not
//   scored: the answer is that reading's.
// Real text in either reads as kana and common kanji in its own encoding,
// and in the other as broken sequences (Shift_JIS as EUC-JP) or as
// half-width katakana and rare kanji (EUC-JP as Shift_JIS).
#ifndef KOLVU_SCANNER_ENCODING_GUESS_H_
#define KOLVU_SCANNER_ENCODING_GUESS_H_

#include <cstddef>

#include "kolvu/scan.h"

namespace kolvu {

class EncodingGuess {
 public:
  void feed(const char *p, size_t n);
  /// kAuto's encoding for a text that ends where the feeding stopped: a
  /// character left unfinished is a sequence its encoding does not allow.
  Encoding encoding() const;
  /// The same for what was fed as the start of a longer text (a pipe's
  /// first piece): a character cut at the end counts neither way.
  Encoding encoding_of_start() const;

 private:
  void feed_text(const unsigned char *s, size_t n);  // no '\r', no Ctrl-Z
  // The UTF-8 check; returns where its first byte of 0x80 or above is, or n.
  size_t feed_utf8(const unsigned char *s, size_t n);
  void sjis_byte(unsigned char c);
  void euc_byte(unsigned char c);
  Encoding decide(bool cut_allowed) const;
  bool decided() const;  // one of the two readings leads by enough
  bool settled() const;  // no more text can change the answer

  bool stopped_ = false;  // a Ctrl-Z was fed
  bool high_ = false;     // a byte of 0x80 or above was fed
  // UTF-8: the start of a character cut by the end of the last piece.
  unsigned char carry_[4];
  size_t carried_ = 0;
  bool utf8_valid_ = true;
  // Shift_JIS: a lead byte waiting for its second byte, or 0.
  unsigned char sjis_lead_ = 0;
  long sjis_score_ = 0;
  // EUC-JP: the first byte of a character begun, and how many of its
  // bytes were fed (0: none begun).
  unsigned char euc_first_ = 0;
  int euc_count_ = 0;
  long euc_score_ = 0;
};

/// The guess over a whole text.
Encoding guess_encoding(const char *p, size_t n);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_ENCODING_GUESS_H_
