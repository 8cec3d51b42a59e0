// Character search over zero-terminated byte strings.
//
// Strchr and Strrchr walk Shift_JIS text by characters: a lead byte (0x80-0x9F
// or 0xE0-0xFC) followed by a byte that is not the terminator is stepped over
// together with that byte, so the second byte of a double-byte character (a
// backslash, say) is never taken for the byte searched for. A lead byte
// directly before the terminator is a character of its own. Every other
// routine walks byte by byte.
//
// A searched byte is passed as an int of which only the low 8 bits count; the
// terminator is never found. No routine writes to its text. A result points
// into the text passed in; each routine has a char * form and a const char *
// form.
#ifndef KOLVU_SEARCH_H_
#define KOLVU_SEARCH_H_

namespace kolvu {

/// The first character start whose first byte is c, or null. Walks by
/// characters; a lead byte itself can be found.
char *Strchr(char *s, int c);
const char *Strchr(const char *s, int c);

/// The last character start whose first byte is c, or null. Walks by
/// characters, as Strchr.
char *Strrchr(char *s, int c);
const char *Strrchr(const char *s, int c);

/// The first byte equal to c, or null. Walks by bytes.
char *index(char *s, int c);
const char *index(const char *s, int c);

/// The last byte equal to c, or null. Walks by bytes, backward.
char *rindex(char *s, int c);
const char *rindex(const char *s, int c);

/// The first position at which the whole of pattern occurs, or null. Walks by
/// bytes. An empty pattern matches at the start of a non-empty text; an empty
/// text gives null for every pattern.
char *index1(char *s, const char *pattern);
const char *index1(const char *s, const char *pattern);

/// The first byte of s that occurs anywhere in set, or null (always null for
/// an empty set). Walks by bytes.
char *index2(char *s, const char *set);
const char *index2(const char *s, const char *set);

/// The first '*' or '?', or null. Walks by bytes.
char *srch_wild(char *s);
const char *srch_wild(const char *s);

/// The first byte that is neither a blank (0x20) nor a tab (0x09); the
/// terminator when there is none. Walks by bytes.
char *sp_skip(char *s);
const char *sp_skip(const char *s);

/// The first blank (0x20), tab (0x09) or the terminator. Walks by bytes.
char *chr_skip(char *s);
const char *chr_skip(const char *s);

}  // namespace kolvu

#endif  // KOLVU_SEARCH_H_
