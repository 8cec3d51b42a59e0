// Updating a tags file in place of writing a new one: the lines of the
// files indexed again are dropped from the old file, the rest are kept, and
// the new lines are merged in by name, so that the file stays sorted.
#ifndef KOLVU_INDEX_TAGS_UPDATE_H_
#define KOLVU_INDEX_TAGS_UPDATE_H_

#include <string>
#include <string_view>
#include <unordered_set>

namespace kolvu {

/// The lines of old_file (a tags file's bytes) to keep: every line but the
/// header lines ("!_...") and those whose file field is one of files, each
/// with its newline, in their order.
std::string kept_tag_lines(std::string_view old_file, const std::unordered_set<std::string> &files);

/// The name field of a tags line: the bytes up to its first tab.
std::string_view tag_line_name(std::string_view line);

/// Reads the whole file at path into *text. A file that does not exist is
/// empty. False with errno's text in *error when it cannot be read.
bool read_whole_file(const std::string &path, std::string *text, std::string *error);

}  // namespace kolvu

#endif  // KOLVU_INDEX_TAGS_UPDATE_H_
