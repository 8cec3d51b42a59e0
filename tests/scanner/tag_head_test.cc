// A struct's head whose line ends before it is decided, read by the tool's
// look past the line and by the complete mode: both go through one reading
// of the head, each with its policy, and the rows where they part are the
// policies' differences.
#include <gtest/gtest.h>

#include <string>

#include "kolvu/scan.h"

namespace kolvu {
namespace {

struct HeadCase {
  const char *what;
  std::string text;
  bool tool;             // the tool prints the struct
  const char *complete;  // the complete mode's tag; nullptr: no struct record
};

// The struct the tool's mode hands over, if any.
bool tool_prints(const std::string &text) {
  ScanOptions o;
  o.kinds = SU_STRUCT;
  o.encoding = Encoding::kShiftJis;
  bool found = false;
  scan_definitions(text.data(), text.size(), o, [&](const Definition &d) {
    found = found || d.kind == DefKind::kStruct;
  });
  return found;
}

// The complete mode's struct record's tag, or "-" for none.
std::string complete_tag(const std::string &text) {
  ScanOptions o;
  o.kinds = SU_STRUCT;
  o.encoding = Encoding::kShiftJis;
  o.complete = true;
  std::string tag = "-";
  scan_definitions(text.data(), text.size(), o, [&](const Definition &d) {
    if (d.kind == DefKind::kStruct && tag == "-") tag = std::string(d.name);
  });
  return tag;
}

TEST(TagHead, ToolAndLookupsReadAHeadEachByItsPolicy) {
  const std::string x200(200, 'x'), x300(300, 'x');
  const HeadCase cases[] = {
      {"body on the next line", "struct A\n{ int x; };\n", true, "A"},
      {"declaration", "struct A\n*p;\n", false, nullptr},
      {"a comment between", "struct A /* c */\n/* d */ { int x; };\n", true, "A"},
      {"Shift_JIS in a comment", "struct A // \x94\x5c\n{ int x; };\n", true, "A"},
      {"a base clause", "struct A : public B\n{ int x; };\n", true, "A"},
      {"a base clause's parentheses", "struct A : B(1)\n{ int x; };\n", true, "A"},
      {"qualified tag", "struct N::A\n{ int x; };\n", true, "A"},
      {"final after the tag", "struct A final\n{ int x; };\n", true, "A"},
      {"attribute list first", "struct [[deprecated]] A\n{ int x; };\n", true, "A"},
      {"template group on the tag's line", "struct A <\nT> { int x; };\n", true, "A"},
      // A first word with a group is a macro's (`struct EXPORT(x) {`): no tag.
      {"group opened on the tag's line", "struct A (\nx) { int x; };\n", true, ""},
      {"a function returning a struct", "struct A f\n(int a) { return a; }\n", false, nullptr},
      // The tool's group must open on the tag's line; the lookups let an
      // attribute's group stand anywhere.
      {"attribute on the next line", "struct A\n__attribute__((packed)) { int x; };\n", false,
       "A"},
      // The tool takes the first '{' after other words; the lookups want the
      // body right after the head.
      {"an initializer", "struct A B\nC = { 0 };\n", true, nullptr},
      // A group of the tool's ends after 256 bytes: its '(' then decides.
      {"a long group, its '(' inside", "struct A <" + x300 + " (\n{ int a; };\n", false, nullptr},
      {"a short group, its '(' inside", "struct A <" + x200 + " (\n{ int a; };\n", true, nullptr},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(tool_prints(c.text), c.tool) << c.what;
    EXPECT_EQ(complete_tag(c.text), c.complete ? c.complete : "-") << c.what;
  }
}

}  // namespace
}  // namespace kolvu
