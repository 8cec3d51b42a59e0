#include "index/records.h"

#include <algorithm>
#include <cstring>

namespace kolvu {

namespace {

const uint64_t kOnes = 0x0101010101010101ull;
const uint64_t kHighs = 0x8080808080808080ull;

// True when one of the eight bytes of w needs an escape: below 0x20, '"'
// or '\\'. Bytes of 0x80 and above never do.
bool word_needs_escape(uint64_t w) {
  uint64_t low = w & ~kHighs;  // the high bit kept apart, so no borrow leaks
  uint64_t control = (low - kOnes * 0x20) & ~w;
  uint64_t quote = ((low ^ (kOnes * '"')) - kOnes) & ~w;
  uint64_t backslash = ((low ^ (kOnes * '\\')) - kOnes) & ~w;
  return ((control | quote | backslash) & kHighs) != 0;
}

// The decimal digits of n (not negative) after out's bytes.
void append_number(long n, std::string *out) {
  char digits[24];
  int i = sizeof digits;
  do {
    digits[--i] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  out->append(digits + i, sizeof digits - static_cast<size_t>(i));
}

}  // namespace

void append_json_string(std::string_view s, std::string *out) {
  static const char kHex[] = "0123456789abcdef";
  out->push_back('"');
  size_t plain = 0;  // start of the run not yet copied
  for (size_t i = 0; i < s.size(); ++i) {
    // Eight bytes at a time over the runs that need no escape.
    while (i + 8 <= s.size()) {
      uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      if (word_needs_escape(w)) break;
      i += 8;
    }
    if (i == s.size()) break;
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
  out->append("{\"file\":");
  out->append(r.file_json);
  out->append(",\"line\":");
  append_number(r.line, out);
  out->append(",\"end_line\":");
  append_number(r.end_line, out);
  out->append(",\"kind\":\"");
  out->append(kind_name(r.kind));
  out->append("\",\"name\":");
  append_json_string(r.name, out);
  out->append(",\"names\":[");
  for (size_t i = 0; i < r.name_count; ++i) {
    const JsonName &n = r.names[i];
    out->append(i == 0 ? "{\"name\":" : ",{\"name\":");
    append_json_string(n.name, out);
    out->append(",\"kind\":\"");
    out->append(kind_name(n.kind));
    out->append("\",\"line\":");
    append_number(n.line, out);
    out->append(",\"column\":");
    append_number(n.column, out);
    if (!n.scope.empty()) {
      out->append(",\"scope\":");
      append_json_string(n.scope, out);
      out->append(",\"scope_kind\":\"");
      out->append(kind_name(n.scope_kind));
      out->push_back('"');
    }
    out->push_back('}');
  }
  out->append("],\"begin\":");
  append_number(static_cast<long>(r.begin), out);
  out->append(",\"end\":");
  append_number(static_cast<long>(r.end), out);
  if (r.parent >= 0) {
    out->append(",\"parent\":");
    append_number(r.parent, out);
  }
  out->append(",\"text\":");
  append_json_string(r.text, out);
  out->append(r.lossy ? ",\"lossy\":true}\n" : "}\n");
}

void TagList::add(std::string_view name, uint32_t file, long line, char kind,
                  std::string_view scope, DefKind scope_kind) {
  tags_.push_back({names_.size(), static_cast<uint32_t>(name.size()), file, line,
                   static_cast<uint32_t>(scope.size()), kind, static_cast<uint8_t>(scope_kind)});
  names_.append(name);
  names_.append(scope);
}

void TagList::take(TagList *other, uint32_t file) {
  uint64_t base = names_.size();
  names_.append(other->names_);
  for (Tag t : other->tags_) {
    t.name_at += base;
    t.file = file;
    tags_.push_back(t);
  }
  *other = TagList();
}

void TagList::sort() {
  std::stable_sort(tags_.begin(), tags_.end(),
                   [this](const Tag &a, const Tag &b) { return name(a) < name(b); });
}

std::string tags_header(const char *version) {
  return std::string("!_TAG_FILE_FORMAT\t2\t/extended format/\n"
                     "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
                     "!_TAG_PROGRAM_NAME\tkolvu-index\t//\n"
                     "!_TAG_PROGRAM_VERSION\t") +
         version + "\t//\n";
}

void append_tag_line(const TagList &tags, size_t i, const std::string &file, std::string *out) {
  const TagList::Tag &tag = tags[i];
  out->append(tags.name(tag));
  out->push_back('\t');
  out->append(file);
  out->push_back('\t');
  append_number(tag.line, out);
  out->append(";\"\t");
  out->push_back(tag.kind);
  if (tag.scope_len > 0) {
    out->push_back('\t');
    out->append(kind_name(static_cast<DefKind>(tag.scope_kind)));
    out->push_back(':');
    out->append(tags.scope(tag));
  }
  out->push_back('\n');
}

bool fits_tags_file(const std::string &path) {
  return path.find_first_of("\t\n\r") == std::string::npos;
}

}  // namespace kolvu
