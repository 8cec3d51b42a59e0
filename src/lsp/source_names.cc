#include "lsp/source_names.h"

#include <algorithm>

#include "common/kinds.h"

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
    case DefKind::kFunction: return NameKind::kFunction;
    case DefKind::kPrototype: return NameKind::kPrototype;
    case DefKind::kEnum: return NameKind::kEnum;
    case DefKind::kEnumerator: return NameKind::kEnumerator;
    case DefKind::kMember: return NameKind::kMember;
    case DefKind::kVariable: return NameKind::kVariable;
    case DefKind::kExtern: return NameKind::kExtern;
  }
  return NameKind::kMacro;
}

}  // namespace

SourceScan scan_source_names(const char *data, size_t size, int kinds, Encoding encoding) {
  SourceScan scan;
  ScanOptions options;
  // The tag of `typedef struct TAG {...} T;` comes with the typedef's
  // record, and so do its members: typedefs of a body are scanned whenever
  // tags or members are wanted; members and enumerators are names of their
  // container's record, which is scanned for them. Each name is kept by its
  // own kind.
  int scanned = kinds;
  if (kinds & (SU_STRUCT | SU_UNION | SU_MEMBER | EN_TYPE | EN_CONST)) scanned |= TD_BLOCK;
  if (kinds & SU_MEMBER) scanned |= SU_STRUCT | SU_UNION;
  if (kinds & EN_CONST) scanned |= EN_TYPE;
  options.kinds = scanned;
  options.encoding = encoding;
  options.complete = true;  // nested definitions too, each with its own extent
  std::string_view src(data, size);
  scan.result = scan_definitions(data, size, options, [&](const Definition &d) {
    for (size_t i = 0; i < d.name_count; ++i) {
      const DefinitionName &n = d.names[i];
      // Kinds 0, as the tool's, want every macro.
      if (!kind_asked(n.kind, kinds) && !(kinds == 0 && n.kind == DefKind::kDefine)) continue;
      SourceName s;
      s.name.assign(n.name);
      s.kind = kind_of(n.kind, src, n);
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
