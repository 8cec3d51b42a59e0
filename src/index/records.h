// The two output forms of kolvu-index. JSON Lines: one object per
// definition, keys in the order file, line, end_line, kind, name, names,
// begin, end, parent (for a nested definition), text and, for a text that
// did not convert whole, lossy. A tags file: header lines, then
// "name<TAB>file<TAB>line;\"<TAB>kind letter" lines, one for each name a
// definition introduces, with "<TAB>struct:NAME" (or union:, enum:,
// typedef:) after the letter of a member or enumerator whose container has
// a name, sorted by name in byte order, so that an editor can search it by
// halves.
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

/// The bytes the escapes of s add to it as a JSON string.
size_t json_escapes(std::string_view s);

/// One name of a record, as JSON writes it: with "scope" and "scope_kind"
/// when scope is not empty.
struct JsonName {
  std::string_view name;
  DefKind kind;
  long line;
  long column;
  std::string_view scope = {};
  DefKind scope_kind = DefKind::kStruct;
};

struct JsonRecord {
  std::string_view file_json;  // the file's name, already a JSON string
  long line;
  long end_line;
  DefKind kind;
  std::string_view name;
  const JsonName *names;
  size_t name_count;
  size_t begin;  // byte offsets in the file
  size_t end;
  long parent;   // the index of the record holding it among the file's, or -1
  std::string_view text;  // UTF-8
  bool lossy;
};

/// Appends one record and its newline.
void append_json_record(const JsonRecord &r, std::string *out);

/// The most bytes put_json_record writes for r.
size_t json_record_bound(const JsonRecord &r);

/// The same, closer: r's text's escapes counted (a pass over the text).
size_t json_record_room(const JsonRecord &r);

/// Writes one record and its newline at p, where json_record_bound(r)
/// bytes are free, and returns the end of what it wrote. With kAsciiOnly,
/// a text with a byte of 0x80 or above (which would need converting) is
/// not written: null is returned.
template <bool kAsciiOnly>
char *put_json_record(const JsonRecord &r, char *p);

/// Tags with their names packed in one block: a tree's tags are all held
/// until the end, to be sorted, so each costs little more than its name.
class TagList {
 public:
  struct Tag {
    uint64_t name_at;  // in the block of names, its scope's name after it
    uint32_t name_len;
    uint32_t file;  // an index into the list of file names
    long line;
    uint32_t scope_len;  // 0: no scope field
    char kind;           // the kind's letter
    uint8_t scope_kind;  // a DefKind
  };

  /// A tag of the name, with the field "<kind_name(scope_kind)>:<scope>"
  /// when scope is not empty.
  void add(std::string_view name, uint32_t file, long line, char kind,
           std::string_view scope = {}, DefKind scope_kind = DefKind::kStruct);
  /// Moves the tags of other to the end of this list, with file as their file.
  void take(TagList *other, uint32_t file);
  /// Sorts by name, in byte order, keeping the order the tags came in among
  /// those of one name.
  void sort();

  size_t size() const { return tags_.size(); }
  bool empty() const { return tags_.empty(); }
  /// About the memory the list takes.
  size_t bytes() const { return names_.size() + tags_.size() * sizeof(Tag); }
  const Tag &operator[](size_t i) const { return tags_[i]; }
  std::string_view name(const Tag &t) const {
    return std::string_view(names_).substr(t.name_at, t.name_len);
  }
  std::string_view scope(const Tag &t) const {
    return std::string_view(names_).substr(t.name_at + t.name_len, t.scope_len);
  }

 private:
  std::string names_;
  std::vector<Tag> tags_;
};

/// The header lines of the tags file.
std::string tags_header(const char *version);

/// Appends the line of the tag at i of tags, in the file named file.
void append_tag_line(const TagList &tags, size_t i, const std::string &file, std::string *out);

/// A file whose name has a tab or a line end cannot be named in a tags file.
bool fits_tags_file(const std::string &path);

}  // namespace kolvu

#endif  // KOLVU_INDEX_RECORDS_H_
