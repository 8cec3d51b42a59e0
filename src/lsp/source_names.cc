#include "lsp/source_names.h"

#include <algorithm>
#include <string_view>

#include "lsp/columns.h"

namespace kolvu {

namespace {

struct IdentTable {
  bool ident[256] = {};
  IdentTable() {
    for (int c = 'a'; c <= 'z'; ++c) ident[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) ident[c] = true;
    for (int c = '0'; c <= '9'; ++c) ident[c] = true;
    ident[static_cast<unsigned char>('_')] = true;
  }
};
const IdentTable kIdent;

bool is_ident(char c) { return kIdent.ident[static_cast<unsigned char>(c)]; }

// The identifiers of src[begin, end), in order, each with its offset;
// double-byte characters are stepped over whole, so a trail byte that is a
// letter starts no identifier.
struct Word {
  std::string_view text;
  size_t offset;
};

std::vector<Word> words_of(std::string_view src, size_t begin, size_t end, Encoding enc) {
  std::vector<Word> words;
  size_t i = begin;
  while (i < end) {
    char c = src[i];
    if (c == '/' && i + 1 < end && src[i + 1] == '*') {
      size_t close = src.find("*/", i + 2);
      i = close == std::string_view::npos || close >= end ? end : close + 2;
      continue;
    }
    if (c == '/' && i + 1 < end && src[i + 1] == '/') {
      size_t nl = src.find('\n', i);
      i = nl == std::string_view::npos || nl >= end ? end : nl;
      continue;
    }
    if (!is_ident(c)) {
      i += char_length(enc, src.substr(0, end), i);
      continue;
    }
    size_t start = i;
    while (i < end && is_ident(src[i])) ++i;
    if (!(src[start] >= '0' && src[start] <= '9')) words.push_back({src.substr(start, i - start), start});
  }
  return words;
}

struct Collector {
  std::string_view src;
  Encoding enc;
  std::vector<SourceName> *out;
  const Definition *def;
  bool defines;  // #defines are wanted

  void add(std::string_view name, NameKind kind, size_t offset) {
    SourceName n;
    n.name.assign(name);
    n.kind = kind;
    n.offset = offset;
    n.begin = def->begin;
    n.end = def->end;
    n.first_line = def->first_line;
    n.last_line = def->last_line;
    // Line and column by the newlines between the definition's start and
    // the name.
    long line = def->first_line;
    size_t line_start = src.rfind('\n', def->begin == 0 ? 0 : def->begin - 1);
    line_start = (def->begin == 0 || line_start == std::string_view::npos) ? 0 : line_start + 1;
    for (size_t i = def->begin; i < offset; ++i) {
      if (src[i] == '\n') {
        ++line;
        line_start = i + 1;
      }
    }
    n.line = line;
    n.column = static_cast<long>(offset - line_start) + 1;
    out->push_back(std::move(n));
  }

  // The #defines inside a definition's body: "#" then "define" then a name,
  // at the start of a line (blanks before them allowed).
  void nested_defines(size_t from) {
    if (!defines) return;
    size_t i = from;
    while (i < def->end) {
      size_t nl = src.find('\n', i);
      if (nl == std::string_view::npos || nl >= def->end) break;
      i = nl + 1;
      size_t j = i;
      while (j < def->end && (src[j] == ' ' || src[j] == '\t')) ++j;
      if (j >= def->end || src[j] != '#') continue;
      ++j;
      while (j < def->end && (src[j] == ' ' || src[j] == '\t')) ++j;
      if (src.substr(j, 6) != "define" || j + 6 >= def->end || is_ident(src[j + 6])) continue;
      j += 6;
      while (j < def->end && (src[j] == ' ' || src[j] == '\t')) ++j;
      size_t start = j;
      while (j < def->end && is_ident(src[j])) ++j;
      if (j > start) {
        NameKind k = j < def->end && src[j] == '(' ? NameKind::kFunctionMacro : NameKind::kMacro;
        add(src.substr(start, j - start), k, start);
      }
    }
  }

  void record() {
    std::vector<Word> words = words_of(src, def->begin, def->end, enc);
    std::string_view name = def->name;
    switch (def->kind) {
      case DefKind::kDefine: {
        // "#", "define", then the name.
        for (const Word &w : words) {
          if (w.text == name) {
            size_t after = w.offset + w.text.size();
            NameKind k = after < def->end && src[after] == '(' ? NameKind::kFunctionMacro
                                                               : NameKind::kMacro;
            add(name, k, w.offset);
            break;
          }
        }
        return;
      }
      case DefKind::kStruct:
      case DefKind::kUnion: {
        NameKind k = def->kind == DefKind::kStruct ? NameKind::kStruct : NameKind::kUnion;
        for (size_t i = 0; i + 1 < words.size(); ++i) {
          if (words[i].text == "struct" || words[i].text == "union") {
            if (!name.empty() && words[i + 1].text == name) add(name, k, words[i + 1].offset);
            break;
          }
        }
        nested_defines(def->begin);
        return;
      }
      case DefKind::kTypedef: {
        // The tag of "typedef struct TAG {" first, then the nested defines,
        // then the typedef's own name: the last time it stands in the text.
        std::vector<SourceName> tail;
        if (words.size() >= 3 && words[0].text == "typedef" &&
            (words[1].text == "struct" || words[1].text == "union")) {
          size_t after = words[2].offset + words[2].text.size();
          while (after < def->end && (src[after] == ' ' || src[after] == '\t' ||
                                      src[after] == '\n' || src[after] == '\r'))
            ++after;
          if (after < def->end && src[after] == '{') {
            add(words[2].text, words[1].text == "struct" ? NameKind::kStruct : NameKind::kUnion,
                words[2].offset);
          }
        }
        nested_defines(def->begin);
        if (!name.empty()) {
          for (size_t i = words.size(); i-- > 0;) {
            if (words[i].text == name) {
              add(name, NameKind::kTypedef, words[i].offset);
              break;
            }
          }
        }
        return;
      }
    }
  }
};

}  // namespace

SourceScan scan_source_names(const char *data, size_t size, int kinds, Encoding encoding) {
  SourceScan scan;
  ScanOptions options;
  options.kinds = kinds;
  options.encoding = encoding;
  std::string_view src(data, size);
  // The encoding the scan reads in is known only once it has begun; the
  // records are taken first and their names found after.
  struct Rec {
    Definition def;
    std::string name;
  };
  std::vector<Rec> recs;
  scan.result = scan_definitions(data, size, options, [&](const Definition &d) {
    Rec r{d, std::string(d.name)};
    r.def.text = {};
    recs.push_back(std::move(r));
  });
  Encoding enc = scan.result.encoding == Encoding::kAuto ? Encoding::kShiftJis
                                                         : scan.result.encoding;
  for (Rec &r : recs) {
    r.def.name = r.name;
    Collector c{src, enc, &scan.names, &r.def, (kinds & (DEF_SINGLE | DEF_CONT)) != 0 || kinds == 0};
    c.record();
  }
  std::stable_sort(scan.names.begin(), scan.names.end(),
                   [](const SourceName &a, const SourceName &b) { return a.offset < b.offset; });
  // A #define inside a body may also come as a record of its own.
  scan.names.erase(std::unique(scan.names.begin(), scan.names.end(),
                               [](const SourceName &a, const SourceName &b) {
                                 return a.offset == b.offset;
                               }),
                   scan.names.end());
  return scan;
}

}  // namespace kolvu
