// Ordering and taking apart Shift_JIS file names, whose components are
// separated by backslashes.
#ifndef KOLVU_FNAME_H_
#define KOLVU_FNAME_H_

namespace kolvu {

/// Compares texts a and b, ignoring ASCII case: -1 when a comes first, 1 when
/// b does, 0 when they are equal. Order: the backslash, then other ASCII bytes
/// by value with letters folded to lower case, then half-width katakana
/// (0xA1-0xDF, one byte each) by value, then double-byte characters (first
/// byte 0x80-0xA0 or 0xE0-0xFF, then any byte) by first and second byte; a
/// prefix comes before the longer text.
int StrCmp(const char *a, const char *b);

/// A comparator for the standard qsort over an array of pointers to entries
/// whose first member is the char * path: the path with fewer backslashes
/// first, and on equal counts StrCmp of the paths. Backslashes are counted by
/// characters: a lead byte (0x80-0x9F, 0xE0-0xFC) before a byte that is not
/// the terminator takes that byte with it, so a second byte is not counted.
int comp_file(const void *x, const void *y);

/// The last '.' of the path's last component (after the last backslash found
/// by characters, as Strrchr finds it), or null when that component has none.
char *findExt(char *path);
const char *findExt(const char *path);

/// Splits path after the first component that holds a '*' or '?': the
/// backslash that ends that component (found by characters, as Strchr finds
/// it) is overwritten with the terminator, so path is shortened in place; the
/// shortened path is copied to first and what followed the backslash to rest.
/// Without a wildcard, or with it in the last component, first gets the whole
/// path and rest is empty. The buffers must have room. Returns 0.
int sepname(char *path, char *first, char *rest);

}  // namespace kolvu

#endif  // KOLVU_FNAME_H_
