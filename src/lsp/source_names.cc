#include "lsp/source_names.h"

#include <algorithm>

namespace kolvu {

namespace {

NameKind kind_of(DefKind kind, std::string_view src, const DefinitionName &n) {
  switch (kind) {
    case DefKind::kDefine: {
      // A macro whose name the '(' of its parameters follows at once.
      size_t after = n.offset + n.name.size();
      return after < src.size() && src[after] == '(' ? NameKind::kFunctionMacro : NameKind::kMacro;
    }
    case DefKind::kTypedef: return NameKind::kTypedef;
    case DefKind::kStruct: return NameKind::kStruct;
    case DefKind::kUnion: return NameKind::kUnion;
    default: break;  // the other kinds are not asked for yet
  }
  return NameKind::kMacro;
}

bool wanted(NameKind kind, int kinds) {
  switch (kind) {
    case NameKind::kMacro:
    case NameKind::kFunctionMacro: return (kinds & (DEF_SINGLE | DEF_CONT)) != 0 || kinds == 0;
    case NameKind::kTypedef: return (kinds & (TD_SIMPLE | TD_BLOCK)) != 0;
    case NameKind::kStruct: return (kinds & SU_STRUCT) != 0;
    case NameKind::kUnion: return (kinds & SU_UNION) != 0;
  }
  return false;
}

}  // namespace

SourceScan scan_source_names(const char *data, size_t size, int kinds, Encoding encoding) {
  SourceScan scan;
  ScanOptions options;
  // The tag of `typedef struct TAG {...} T;` comes with the typedef's
  // record: typedefs of a body are scanned whenever tags are wanted, and
  // each name is kept by its own kind.
  options.kinds = kinds & (SU_STRUCT | SU_UNION) ? kinds | TD_BLOCK : kinds;
  options.encoding = encoding;
  options.complete = true;  // nested definitions too, each with its own extent
  std::string_view src(data, size);
  scan.result = scan_definitions(data, size, options, [&](const Definition &d) {
    for (size_t i = 0; i < d.name_count; ++i) {
      const DefinitionName &n = d.names[i];
      SourceName s;
      s.name.assign(n.name);
      s.kind = kind_of(n.kind, src, n);
      if (!wanted(s.kind, kinds)) continue;
      s.line = n.line;
      s.column = n.column;
      s.offset = n.offset;
      s.begin = d.begin;
      s.end = d.end;
      s.first_line = d.first_line;
      s.last_line = d.last_line;
      scan.names.push_back(std::move(s));
    }
  });
  // Records come in order of their start, an outer one before what it
  // holds; a name that two records both list is kept with the outer one.
  std::stable_sort(scan.names.begin(), scan.names.end(),
                   [](const SourceName &a, const SourceName &b) { return a.offset < b.offset; });
  scan.names.erase(std::unique(scan.names.begin(), scan.names.end(),
                               [](const SourceName &a, const SourceName &b) {
                                 return a.offset == b.offset;
                               }),
                   scan.names.end());
  return scan;
}

}  // namespace kolvu
