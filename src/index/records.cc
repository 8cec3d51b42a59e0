#include "index/records.h"

#include <algorithm>
#include <cstdio>

namespace kolvu {

void append_json_string(std::string_view s, std::string *out) {
  static const char kHex[] = "0123456789abcdef";
  out->push_back('"');
  size_t plain = 0;  // start of the run not yet copied
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out->append(s.data() + plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': out->append("\\\""); break;
      case '\\': out->append("\\\\"); break;
      case '\n': out->append("\\n"); break;
      case '\t': out->append("\\t"); break;
      case '\r': out->append("\\r"); break;
      case '\b': out->append("\\b"); break;
      case '\f': out->append("\\f"); break;
      default:
        out->append("\\u00");
        out->push_back(kHex[c >> 4]);
        out->push_back(kHex[c & 15]);
    }
  }
  out->append(s.data() + plain, s.size() - plain);
  out->push_back('"');
}

void append_json_record(const JsonRecord &r, std::string *out) {
  char nums[64];
  out->append("{\"file\":");
  out->append(r.file_json);
  std::snprintf(nums, sizeof nums, ",\"line\":%ld,\"end_line\":%ld,\"kind\":\"", r.line,
                r.end_line);
  out->append(nums);
  out->append(kind_name(r.kind));
  out->append("\",\"name\":");
  append_json_string(r.name, out);
  out->append(",\"text\":");
  append_json_string(r.text, out);
  out->append(r.lossy ? ",\"lossy\":true}\n" : "}\n");
}

char kind_letter(DefKind kind) {
  switch (kind) {
    case DefKind::kDefine: return 'd';
    case DefKind::kTypedef: return 't';
    case DefKind::kStruct: return 's';
    case DefKind::kUnion: return 'u';
  }
  return '?';
}

void sort_tags(std::vector<Tag> *tags) {
  std::stable_sort(tags->begin(), tags->end(),
                   [](const Tag &a, const Tag &b) { return a.name < b.name; });
}

std::string tags_header(const char *version) {
  return std::string("!_TAG_FILE_FORMAT\t2\t/extended format/\n"
                     "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
                     "!_TAG_PROGRAM_NAME\tkolvu-index\t//\n"
                     "!_TAG_PROGRAM_VERSION\t") +
         version + "\t//\n";
}

void append_tag_line(const Tag &tag, const std::string &file, std::string *out) {
  char tail[48];
  std::snprintf(tail, sizeof tail, "\t%ld;\"\t%c\n", tag.line, tag.kind);
  out->append(tag.name);
  out->push_back('\t');
  out->append(file);
  out->append(tail);
}

bool fits_tags_file(const std::string &path) {
  return path.find_first_of("\t\n\r") == std::string::npos;
}

}  // namespace kolvu
