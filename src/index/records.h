// The two output forms of kolvu-index. JSON Lines: one object per
// definition, keys in the order file, line, end_line, kind, name, text and,
// for a text that did not convert whole, lossy. A tags file: header lines,
// then "name<TAB>file<TAB>line;\"<TAB>kind letter" lines sorted by name in
// byte order, so that an editor can search it by halves.
#ifndef KOLVU_INDEX_RECORDS_H_
#define KOLVU_INDEX_RECORDS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {

/// Appends s, which must be valid UTF-8, as a JSON string with its quotes:
/// '"' and '\' escaped, control characters as \n, \t ... or \u00XX.
void append_json_string(std::string_view s, std::string *out);

struct JsonRecord {
  std::string_view file_json;  // the file's name, already a JSON string
  long line;
  long end_line;
  DefKind kind;
  std::string_view name;
  std::string_view text;  // UTF-8
  bool lossy;
};

/// Appends one record and its newline.
void append_json_record(const JsonRecord &r, std::string *out);

/// 'd', 't', 's' or 'u'.
char kind_letter(DefKind kind);

struct Tag {
  std::string name;
  uint32_t file;  // an index into the list of file names
  long line;
  char kind;
};

/// Sorts tags by name, in byte order, keeping the order they came in among
/// those of one name.
void sort_tags(std::vector<Tag> *tags);

/// The header lines of the tags file.
std::string tags_header(const char *version);

/// Appends the line of one tag.
void append_tag_line(const Tag &tag, const std::string &file, std::string *out);

/// A file whose name has a tab or a line end cannot be named in a tags file.
bool fits_tags_file(const std::string &path);

}  // namespace kolvu

#endif  // KOLVU_INDEX_RECORDS_H_
