// Byte classes of the Shift_JIS (code page 932) text the library handles.
//
// Every class comes from a fixed 256-entry table, never from the locale, so
// the answers for bytes 0x80-0xFF are the same on every machine.
#ifndef KOLVU_BYTES_H_
#define KOLVU_BYTES_H_

namespace kolvu {

enum ByteClass : unsigned char {
  kLead = 0x01,   // 0x80-0x9F, 0xE0-0xFC: may start a double-byte character
  kSpace = 0x02,  // 0x09-0x0D and 0x20, the "C" locale's isspace
  kBlank = 0x04,  // 0x20 and 0x09 only
  kIdent = 0x08,  // A-Z, a-z, 0-9 and '_'
  kKana = 0x10,   // 0xA1-0xDF, half-width katakana (one byte each)
};

extern const unsigned char byte_class[256];

inline bool is_lead(int c) { return byte_class[c & 0xff] & kLead; }
inline bool is_cspace(int c) { return byte_class[c & 0xff] & kSpace; }
inline bool is_blank(int c) { return byte_class[c & 0xff] & kBlank; }
inline bool is_ident(int c) { return byte_class[c & 0xff] & kIdent; }
inline bool is_kana(int c) { return byte_class[c & 0xff] & kKana; }

/// True when s points at the first byte of a double-byte character: a lead
/// byte followed by a byte that is not the terminator.
inline bool starts_double(const char *s) { return is_lead(*s) && s[1] != '\0'; }

}  // namespace kolvu

#endif  // KOLVU_BYTES_H_
