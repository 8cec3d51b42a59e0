#include "lsp/source_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kolvu {
namespace {

const int kAll = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;

struct Want {
  std::string name;
  NameKind kind;
  long line, column;
};

bool operator==(const Want &a, const Want &b) {
  return a.name == b.name && a.kind == b.kind && a.line == b.line && a.column == b.column;
}

std::ostream &operator<<(std::ostream &os, const Want &w) {
  return os << w.name << "/" << static_cast<int>(w.kind) << "@" << w.line << ":" << w.column;
}

std::vector<Want> names_of(const std::string &src, int kinds = kAll,
                           Encoding enc = Encoding::kShiftJis) {
  SourceScan scan = scan_source_names(src.data(), src.size(), kinds, enc);
  EXPECT_EQ(scan.result.status, ScanStatus::kOk);
  std::vector<Want> got;
  for (const SourceName &n : scan.names) {
    EXPECT_EQ(src.compare(n.offset, n.name.size(), n.name), 0) << n.name;
    EXPECT_LE(n.begin, n.offset);
    EXPECT_LT(n.offset, n.end);
    got.push_back({n.name, n.kind, n.line, n.column});
  }
  return got;
}

TEST(SourceNames, EveryNameWithItsPlace) {
  using K = NameKind;
  struct Case {
    const char *name;
    std::string src;
    std::vector<Want> want;
  };
  const Case cases[] = {
      {"macro", "#define A 1\n", {{"A", K::kMacro, 1, 9}}},
      {"function-like macro", "\n#  define F(x) (x)\n", {{"F", K::kFunctionMacro, 2, 11}}},
      {"macro with a space before (", "#define G (x)\n", {{"G", K::kMacro, 1, 9}}},
      {"continued macro", "#define C \\\n  1\n", {{"C", K::kMacro, 1, 9}}},
      {"typedef after a comment", "/* c */ typedef int T;\n", {{"T", K::kTypedef, 1, 21}}},
      {"typedef name after Japanese text",
       "typedef unsigned long /* \x95\x84\x8D\x86 */ ULONG;\n", {{"ULONG", K::kTypedef, 1, 34}}},
      {"typedef of a tagged struct, with a nested define",
       "typedef struct tag {\n  int a;\n#define IN 1\n} T;\n",
       {{"tag", K::kStruct, 1, 16}, {"IN", K::kMacro, 3, 9}, {"T", K::kTypedef, 4, 3}}},
      {"typedef of an anonymous union", "typedef union {\n int x;\n} U;\n", {{"U", K::kTypedef, 3, 3}}},
      {"struct", "struct s { int tag; };\n", {{"s", K::kStruct, 1, 8}}},
      {"union", "union u {\n long l;\n};\n", {{"u", K::kUnion, 1, 7}}},
      {"typedef of a struct named elsewhere", "typedef struct old T2;\n", {{"T2", K::kTypedef, 1, 20}}},
      {"carriage returns counted", "\r\n#define R 1\r\n", {{"R", K::kMacro, 2, 9}}},
      {"every declarator of a typedef",
       "typedef struct _REC {\n  int a;\n} REC, *LPREC;\n",
       {{"_REC", K::kStruct, 1, 16}, {"REC", K::kTypedef, 3, 3}, {"LPREC", K::kTypedef, 3, 9}}},
      {"function pointer typedef", "typedef int (*CMPFUNC)(const void *, const void *);\n",
       {{"CMPFUNC", K::kTypedef, 1, 15}}},
      {"array typedef", "typedef char NAME_T[32];\n", {{"NAME_T", K::kTypedef, 1, 14}}},
      {"struct inside a struct",
       "struct outer {\n  struct inner { int x; } i;\n  union { int a; } u;\n};\n",
       {{"outer", K::kStruct, 1, 8}, {"inner", K::kStruct, 2, 10}}},
      // A trail byte 'T' (0x83 0x54, "テ") before the real name.
      {"trail byte no name", "typedef int /* \x83T */ T;\n", {{"T", K::kTypedef, 1, 22}}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(names_of(c.src), c.want) << c.name;
  }
}

TEST(SourceNames, ANestedDefinitionHasItsOwnExtent) {
  const std::string src = "typedef struct tag {\n  int a;\n#define IN 1\n} T;\n#define AFTER 2\n";
  SourceScan scan = scan_source_names(src.data(), src.size(), kAll, Encoding::kShiftJis);
  ASSERT_EQ(scan.names.size(), 4u);
  // (name, its definition's text)
  const std::pair<const char *, const char *> want[] = {
      {"tag", "typedef struct tag {\n  int a;\n#define IN 1\n} T;\n"},
      {"IN", "#define IN 1\n"},
      {"T", "typedef struct tag {\n  int a;\n#define IN 1\n} T;\n"},
      {"AFTER", "#define AFTER 2\n"},
  };
  for (size_t i = 0; i < 4; ++i) {
    const SourceName &n = scan.names[i];
    EXPECT_EQ(n.name, want[i].first);
    EXPECT_EQ(src.substr(n.begin, n.end - n.begin), want[i].second) << n.name;
  }
}

TEST(SourceNames, KindsLimitTheNames) {
  const std::string src = "#define A 1\ntypedef struct t { int x;\n#define B 2\n} T;\n";
  // Each name by its own kind: the tag of a typedef'd struct is a struct's.
  EXPECT_EQ(names_of(src, TD_SIMPLE | TD_BLOCK), (std::vector<Want>{{"T", NameKind::kTypedef, 4, 3}}));
  EXPECT_EQ(names_of(src, SU_STRUCT), (std::vector<Want>{{"t", NameKind::kStruct, 2, 16}}));
  EXPECT_EQ(names_of(src, SU_UNION), std::vector<Want>{});
  EXPECT_EQ(names_of(src, DEF_SINGLE | DEF_CONT),
            (std::vector<Want>{{"A", NameKind::kMacro, 1, 9}, {"B", NameKind::kMacro, 3, 9}}));
}

TEST(SourceNames, Utf8TextOfAnOpenDocument) {
  // In UTF-8 a byte of a Japanese character is no lead byte of code page 932.
  const std::string src = "/* \xE6\x97\xA5 */ typedef int A;\n#define \xE3\x81\x82_ 1\n#define B 2\n";
  EXPECT_EQ(names_of(src, kAll, Encoding::kUtf8),
            (std::vector<Want>{{"A", NameKind::kTypedef, 1, 23}, {"B", NameKind::kMacro, 3, 9}}));
}

}  // namespace
}  // namespace kolvu
