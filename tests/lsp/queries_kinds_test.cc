// The answers that depend on kinds the scanner may not give yet
// (prototypes, externs, members, enumerators), from an index filled by hand
// with the names a scan would give, on open documents so no file is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/completion.h"
#include "lsp/document_symbols.h"
#include "lsp/queries.h"

namespace kolvu {
namespace {

// A name of kind at the first place name stands in src (its line and
// column found there), inside the record [begin, end).
SourceName name_in(const std::string &src, const std::string &name, NameKind kind, size_t begin,
                   size_t end, size_t from = 0) {
  SourceName n;
  n.name = name;
  n.kind = kind;
  n.offset = src.find(name, from);
  n.line = 1 + static_cast<long>(std::count(src.begin(), src.begin() + static_cast<long>(n.offset), '\n'));
  size_t line_start = src.rfind('\n', n.offset);
  n.column = static_cast<long>(n.offset - (line_start == std::string::npos ? 0 : line_start + 1)) + 1;
  n.begin = begin;
  n.end = end;
  return n;
}

class KindsTest : public ::testing::Test {
 protected:
  void open(const std::string &path, const std::string &text, const std::vector<SourceName> &names) {
    OpenDocument doc;
    doc.uri = "file://" + path;
    doc.text = text;
    docs_.open(path, doc);
    index_.replace_file(path, Encoding::kUtf8, text, names, true);
  }

  QueryContext context() {
    QueryContext ctx;
    ctx.index = &index_;
    ctx.docs = &docs_;
    ctx.conv = &conv_;
    return ctx;
  }

  SymbolIndex index_;
  Documents docs_;
  Utf8Converter conv_;
};

// "line:character" of each location.
std::vector<std::string> places(const nlohmann::json &locations) {
  std::vector<std::string> out;
  for (const auto &l : locations)
    out.push_back(std::to_string(l["range"]["start"]["line"].get<long>()) + ":" +
                  std::to_string(l["range"]["start"]["character"].get<long>()));
  return out;
}

using V = std::vector<std::string>;

TEST_F(KindsTest, DefinitionPrefersDefinitionsAndDeclarationTheDeclarations) {
  const std::string src =
      "int f(void);\n"             // 0: prototype
      "extern int v;\n"            // 1: extern
      "int f(void) { return v; }\n"  // 2: function
      "int v = 1;\n"               // 3: variable
      "int g(void);\n"             // 4: a prototype alone
      "f(); v; g();\n";            // 5
  const size_t l2 = src.find("int f(void) {"), l3 = src.find("int v = 1");
  open("/w/a.c", src,
       {name_in(src, "f", NameKind::kPrototype, 0, 12), name_in(src, "v", NameKind::kExtern, 13, 27, 13),
        name_in(src, "f", NameKind::kFunction, l2, l3 - 1, l2),
        name_in(src, "v", NameKind::kVariable, l3, l3 + 10, l3),
        name_in(src, "g", NameKind::kPrototype, l3 + 11, l3 + 23, l3 + 11)});
  QueryContext ctx = context();
  struct Case {
    long character;
    bool declarations;
    V want;
  } cases[] = {
      {0, false, {"2:4"}}, {0, true, {"0:4"}},   // f
      {5, false, {"3:4"}}, {5, true, {"1:11"}},  // v
      {8, false, {"4:4"}}, {8, true, {"4:4"}},   // g: only declared, both give it
  };
  for (const Case &c : cases)
    EXPECT_EQ(places(find_definitions(ctx, "/w/a.c", 5, c.character, c.declarations)), c.want)
        << c.character << " " << c.declarations;
}

TEST_F(KindsTest, MembersAndEnumeratorsUnderTheirContainers) {
  const std::string src =
      "typedef struct tag {\n"  // 0
      "  int a;\n"              // 1
      "  struct inner { int b; } in;\n"  // 2
      "} T;\n"                  // 3
      "enum color { RED, GREEN };\n"  // 4
      "#define M 1\n";          // 5
  const size_t s_end = src.find("} T;") + 4, in_b = src.find("struct inner"),
               in_e = src.find("} in;") + 1, e_b = src.find("enum"), e_e = src.find("};\n#") + 2;
  open("/w/t.h", src,
       {name_in(src, "tag", NameKind::kStruct, 0, s_end), name_in(src, "T", NameKind::kTypedef, 0, s_end, 20),
        name_in(src, "a", NameKind::kMember, 0, s_end, 20),
        name_in(src, "inner", NameKind::kStruct, in_b, in_e),
        name_in(src, "b", NameKind::kMember, in_b, in_e, in_b + 14),
        name_in(src, "in", NameKind::kMember, 0, s_end, in_e),
        name_in(src, "color", NameKind::kEnum, e_b, e_e),
        name_in(src, "RED", NameKind::kEnumerator, e_b, e_e),
        name_in(src, "GREEN", NameKind::kEnumerator, e_b, e_e),
        name_in(src, "M", NameKind::kMacro, e_e + 1, src.size(), e_e)});
  QueryContext ctx = context();
  // The tree as "name(kind)[children]".
  std::function<std::string(const nlohmann::json &)> show = [&show](const nlohmann::json &list) {
    std::string out;
    for (const auto &s : list) {
      if (!out.empty()) out += ' ';
      out += s["name"].get<std::string>() + "(" + std::to_string(s["kind"].get<int>()) + ")";
      if (s.contains("children")) out += "[" + show(s["children"]) + "]";
    }
    return out;
  };
  nlohmann::json tree = nlohmann::json::parse(document_symbols(ctx, "/w/t.h", true));
  EXPECT_EQ(show(tree), "tag(23)[a(8) inner(23)[b(8)] in(8)] T(5) color(10)[RED(22) GREEN(22)] M(14)");
  // A member's range is its name's, within its container's.
  EXPECT_EQ(tree[0]["children"][0]["range"]["start"], (nlohmann::json{{"line", 1}, {"character", 6}}));
  EXPECT_EQ(tree[0]["range"]["end"], (nlohmann::json{{"line", 3}, {"character", 4}}));
  // Flat: every name, those inside with their container's name.
  nlohmann::json flat = nlohmann::json::parse(document_symbols(ctx, "/w/t.h", false));
  std::string got;
  for (const auto &s : flat)
    got += s["name"].get<std::string>() + ":" + s.value("containerName", "") + " ";
  EXPECT_EQ(got, "tag: a:tag inner:tag b:inner in:tag T: color: RED:color GREEN:color M: ");
  EXPECT_EQ(flat[1]["location"]["uri"], "file:///w/t.h");

  // Completion: kinds and the member's own line as detail.
  docs_.open("/w/use.c", OpenDocument{"file:///w/use.c", "GR\n", 1, false});
  nlohmann::json items = complete(ctx, "/w/use.c", 0, 2)["items"];
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], (nlohmann::json{{"label", "GREEN"}, {"kind", 20}, {"detail", "enum color { RED, GREEN };"}}));
  docs_.open("/w/use.c", OpenDocument{"file:///w/use.c", "i\n", 1, false});
  items = complete(ctx, "/w/use.c", 0, 1)["items"];
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]["label"], "in");
  EXPECT_EQ(items[0]["detail"], "struct inner { int b; } in;");
  EXPECT_EQ(items[1]["label"], "inner");
  EXPECT_EQ(items[1]["detail"], "struct inner { int b; } in;");
}

}  // namespace
}  // namespace kolvu
