// In-place text edits, case conversion that leaves double-byte characters
// alone, and tab expansion. Texts are zero-terminated; the caller provides
// room. No walk ever steps over the terminator: a first byte of two directly
// before it ends the walk.
#ifndef KOLVU_TEXT_H_
#define KOLVU_TEXT_H_

namespace kolvu {

/// Inserts byte c before the first byte of s, moving the rest (terminator
/// included) one place right; s needs room for one more byte. Returns 0.
int insChar(char *s, int c);

/// Writes count copies of byte c from buf onward, with no terminator. Returns
/// the position just past the last byte written; buf itself when count <= 0.
char *clear(char *buf, int c, int count);

/// Turns ASCII a-z in s to upper case. Every byte 0x80-0xFF is taken as the
/// first of two and left alone with the byte after it, half-width katakana
/// included. Returns 0.
int to_upper(char *s);

/// Turns ASCII A-Z in s to lower case. Half-width katakana (0xA1-0xDF) is one
/// byte; every other byte 0x80-0xFF is left alone with the byte after it.
/// Returns 0.
int to_lower(char *s);

/// Expands the tabs of text to stops every width columns (width > 0), each
/// byte counting one column, into a static buffer that the next call
/// overwrites; returns that buffer. A result of up to 2048 columns is
/// accepted. A longer one, or a tab whose blanks reach column 2048, writes
/// "<text> ... too long\n" to standard output (C's stdout, after whatever the
/// program wrote there before) and ends the process with status 1.
char *exp_tab(int width, const char *text);

}  // namespace kolvu

#endif  // KOLVU_TEXT_H_
