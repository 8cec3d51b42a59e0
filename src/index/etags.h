// The Emacs tags form of kolvu-index's output: for each file with
// definitions, a section "\f\nFILE,SIZE\n" followed by SIZE bytes of entries
// "PATTERN\x7fNAME\x01LINE,OFFSET\n", where PATTERN is the definition's first
// line up to the end of its name, OFFSET that line's first byte in the file.
// Unlike the tags file it is in the walk's order, not sorted.
#ifndef KOLVU_INDEX_ETAGS_H_
#define KOLVU_INDEX_ETAGS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kolvu {

/// The part of a definition's text that an entry shows: its first line up
/// to the end of the first whole-word name in it (the line, its end aside,
/// when the name is not there), without DEL or carriage-return bytes.
std::string etags_pattern(std::string_view text, std::string_view name);

/// Appends one entry to a section's body.
void append_etags_entry(std::string_view pattern, std::string_view name, long line, size_t offset,
                        std::string *body);

/// Appends a whole section: its head line, then body.
void append_etags_section(std::string_view file, std::string_view body, std::string *out);

}  // namespace kolvu

#endif  // KOLVU_INDEX_ETAGS_H_
