// The names a source defines, each with where it stands: the one place the
// server meets the scanner library, whose complete mode hands over every
// definition, nested ones too. For each, every name it introduces (a macro,
// each declarator of a typedef, a tag, a function, prototype, variable,
// member or enumerator) with its line, byte column and offset, and the
// extent of the definition that introduces it.
#ifndef KOLVU_LSP_SOURCE_NAMES_H_
#define KOLVU_LSP_SOURCE_NAMES_H_

#include <cstddef>
#include <string>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {

enum class NameKind : unsigned char {
  kMacro,
  kFunctionMacro,
  kTypedef,
  kStruct,
  kUnion,
  kFunction,
  kPrototype,  // a function declared, not defined
  kEnum,
  kEnumerator,
  kMember,     // of a struct or union
  kVariable,
  kExtern,     // a variable declared extern
};

/// A prototype or an extern variable: a name declared, defined elsewhere.
inline bool is_declaration(NameKind kind) {
  return kind == NameKind::kPrototype || kind == NameKind::kExtern;
}

/// A member or an enumerator: a name inside another definition's body.
inline bool is_inner(NameKind kind) {
  return kind == NameKind::kMember || kind == NameKind::kEnumerator;
}

struct SourceName {
  std::string name;
  NameKind kind;
  long line;      // from 1
  long column;    // byte column in the line, from 1
  size_t offset;  // of the name's first byte in the source
  size_t begin;   // the definition's first byte in the source
  size_t end;     // just after its last byte
  long first_line;
  long last_line;
};

struct SourceScan {
  ScanResult result;
  std::vector<SourceName> names;  // in source order
};

/// Scans the bytes of a source with the given kinds (KindBits) and encoding.
SourceScan scan_source_names(const char *data, size_t size, int kinds, Encoding encoding);

}  // namespace kolvu

#endif  // KOLVU_LSP_SOURCE_NAMES_H_
