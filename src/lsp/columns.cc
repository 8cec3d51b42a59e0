#include "lsp/columns.h"

#include <string>

#include "common/utf8.h"
#include "scanner/utf8_check.h"

namespace kolvu {

namespace {

struct ByteTables {
  bool ident[256] = {};
  ByteTables() {
    for (int c = 'a'; c <= 'z'; ++c) ident[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) ident[c] = true;
    for (int c = '0'; c <= '9'; ++c) ident[c] = true;
    ident[static_cast<unsigned char>('_')] = true;
    ident[static_cast<unsigned char>('$')] = true;  // names may hold '$', as the index reads them
  }
};
const ByteTables kTables;

// Units of one character given as UTF-8 (a valid sequence, or U+FFFD).
long units_of(std::string_view utf8, PositionEncoding pe) {
  if (pe == PositionEncoding::kUtf8) return static_cast<long>(utf8.size());
  long n = 0;
  size_t i = 0;
  const unsigned char *p = reinterpret_cast<const unsigned char *>(utf8.data());
  while (i < utf8.size()) {
    size_t len = utf8_char_length(p + i, utf8.size() - i);
    if (len == 0) len = 1;
    n += (pe == PositionEncoding::kUtf16 && len == 4) ? 2 : 1;
    i += len;
  }
  return n;
}

// Units of the character line[at, at+len) as the editor shows it.
long char_units(Utf8Converter *conv, Encoding encoding, std::string_view ch,
                PositionEncoding pe) {
  unsigned char c = static_cast<unsigned char>(ch[0]);
  if (c < 0x80) return 1;
  if (encoding == Encoding::kUtf8) {
    const unsigned char *p = reinterpret_cast<const unsigned char *>(ch.data());
    if (utf8_char_length(p, ch.size()) == 0) {
      return pe == PositionEncoding::kUtf8 ? 3 : 1;  // shown as U+FFFD
    }
    return units_of(ch, pe);
  }
  std::string scratch;
  bool clean = false;
  return units_of(conv->view(encoding, ch, &scratch, &clean), pe);
}

bool utf8_source(Encoding e) { return e == Encoding::kUtf8; }

}  // namespace

const char *position_encoding_name(PositionEncoding e) {
  switch (e) {
    case PositionEncoding::kUtf8: return "utf-8";
    case PositionEncoding::kUtf32: return "utf-32";
    case PositionEncoding::kUtf16: break;
  }
  return "utf-16";
}

size_t char_length(Encoding encoding, std::string_view line, size_t at) {
  return encoded_char_length(encoding, line.data() + at, line.size() - at);
}

long editor_column(Utf8Converter *conv, Encoding encoding, std::string_view line, size_t bytes,
                   PositionEncoding pe) {
  if (bytes > line.size()) bytes = line.size();
  long col = 0;
  size_t at = 0;
  while (at < bytes) {
    size_t len = char_length(encoding, line, at);
    if (at + len > bytes && !utf8_source(encoding)) break;
    col += char_units(conv, encoding, line.substr(at, len), pe);
    at += len;
  }
  return col;
}

size_t byte_column(Utf8Converter *conv, Encoding encoding, std::string_view line, long col,
                   PositionEncoding pe) {
  long seen = 0;
  size_t at = 0;
  while (at < line.size()) {
    size_t len = char_length(encoding, line, at);
    long units = char_units(conv, encoding, line.substr(at, len), pe);
    if (seen + units > col) return at;
    seen += units;
    at += len;
  }
  return line.size();
}

std::string_view identifier_at(Encoding encoding, std::string_view line, size_t at) {
  size_t i = 0;
  while (i < line.size()) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (!kTables.ident[c]) {
      i += char_length(encoding, line, i);
      continue;
    }
    size_t start = i;
    while (i < line.size() && kTables.ident[static_cast<unsigned char>(line[i])]) ++i;
    if (at >= start && at <= i) {
      // A run of digits first is a number, not a name.
      if (line[start] >= '0' && line[start] <= '9') return {};
      return line.substr(start, i - start);
    }
    if (start > at) break;
  }
  return {};
}

std::string_view line_of(std::string_view text, long line, size_t *start) {
  size_t pos = 0;
  for (long l = 0; l < line; ++l) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) {
      if (start) *start = text.size();
      return {};
    }
    pos = nl + 1;
  }
  size_t nl = text.find('\n', pos);
  size_t end = nl == std::string_view::npos ? text.size() : nl;
  if (end > pos && text[end - 1] == '\r') --end;
  if (start) *start = pos;
  return text.substr(pos, end - pos);
}

}  // namespace kolvu
