// One file's records in each output form, from records made by hand with
// names of every kind (members and enumerators with their container): the
// kinds asked decide which names are written, and a member or enumerator
// carries its scope in JSON and in the tags file.
#include "index/file_records.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "common/kinds.h"
#include "util/alloc_seam.h"

namespace kolvu {
namespace {

struct NameRow {
  const char *name;
  DefKind kind;
  const char *scope;
  DefKind scope_kind;
};

struct RecordRow {
  const char *text;
  DefKind kind;
  const char *name;
  std::vector<NameRow> names;
};

// The records of one source, one after another: lines, offsets and
// columns are those of the names' first whole-word places after the
// previous name's.
const std::vector<RecordRow> kRecords = {
    {"struct point {\n  int x, y;\n};\n", DefKind::kStruct, "point",
     {{"point", DefKind::kStruct, "", DefKind::kStruct},
      {"x", DefKind::kMember, "point", DefKind::kStruct},
      {"y", DefKind::kMember, "point", DefKind::kStruct}}},
    {"typedef struct {\n  int v;\n} Value;\n", DefKind::kTypedef, "Value",
     {{"v", DefKind::kMember, "Value", DefKind::kTypedef},
      {"Value", DefKind::kTypedef, "", DefKind::kStruct}}},
    {"enum color { RED, GREEN = 2 };\n", DefKind::kEnum, "color",
     {{"color", DefKind::kEnum, "", DefKind::kStruct},
      {"RED", DefKind::kEnumerator, "color", DefKind::kEnum},
      {"GREEN", DefKind::kEnumerator, "color", DefKind::kEnum}}},
    {"union num { int i; long l; };\n", DefKind::kUnion, "num",
     {{"num", DefKind::kUnion, "", DefKind::kStruct},
      {"i", DefKind::kMember, "num", DefKind::kUnion},
      {"l", DefKind::kMember, "num", DefKind::kUnion}}},
    {"int main(void) {\n  return 0;\n}\n", DefKind::kFunction, "main",
     {{"main", DefKind::kFunction, "", DefKind::kStruct}}},
    {"int f(void);\n", DefKind::kPrototype, "f", {{"f", DefKind::kPrototype, "", DefKind::kStruct}}},
    {"extern int count;\n", DefKind::kExtern, "count", {{"count", DefKind::kExtern, "", DefKind::kStruct}}},
    {"int total = 0;\n", DefKind::kVariable, "total", {{"total", DefKind::kVariable, "", DefKind::kStruct}}},
    {"#define MAX 10\n", DefKind::kDefine, "MAX", {{"MAX", DefKind::kDefine, "", DefKind::kStruct}}},
};

bool is_word(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Hands every record of kRecords to records, as a scan of "a.h" would.
void feed(FileRecords *records) {
  records->start("a.h");
  size_t base = 0;
  long line = 1;
  long index = 0;
  for (const RecordRow &row : kRecords) {
    std::string text = row.text;
    std::vector<DefinitionName> names;
    size_t from = 0;
    for (const NameRow &n : row.names) {
      size_t at = text.find(n.name, from);
      while (at != std::string::npos &&
             ((at > 0 && is_word(text[at - 1])) || is_word(text[at + std::strlen(n.name)])))
        at = text.find(n.name, at + 1);
      ASSERT_NE(at, std::string::npos) << n.name;
      from = at + 1;
      size_t line_start = text.rfind('\n', at);
      line_start = line_start == std::string::npos ? 0 : line_start + 1;
      long name_line = line;
      for (size_t k = 0; k < at; ++k) name_line += text[k] == '\n';
      DefinitionName dn{n.name, n.kind, name_line, static_cast<long>(at - line_start + 1),
                        base + at, n.scope, n.scope_kind};
      names.push_back(dn);
    }
    Definition d;
    d.kind = row.kind;
    d.kind_bit = 0;
    d.name = row.name;
    d.first_line = line;
    for (char c : text) line += c == '\n';
    d.last_line = line - 1;
    d.begin = base;
    d.end = base + text.size();
    d.text = text;
    d.names = names.data();
    d.name_count = names.size();
    d.index = index++;
    d.encoding = Encoding::kUtf8;
    EXPECT_TRUE(records->add(d));
    base += text.size();
  }
}

// The tags of the file, sorted, one line each.
std::string tag_lines(int kinds, const NameList *names = nullptr) {
  FileRecords records(IndexFormat::kTags, kinds, names);
  feed(&records);
  TagList *tags = records.tags();
  tags->sort();
  std::string out;
  for (size_t i = 0; i < tags->size(); ++i) append_tag_line(*tags, i, "a.h", &out);
  return out;
}

int kinds_of(const char *letters) {
  int kinds = 0;
  EXPECT_TRUE(parse_kind_letters(letters, &kinds)) << letters;
  return kinds;
}

TEST(FileRecords, TagsOfEveryKindWithTheScopesOfMembersAndEnumerators) {
  EXPECT_EQ(tag_lines(ALL_KINDS),
            "GREEN\ta.h\t7;\"\te\tenum:color\n"
            "MAX\ta.h\t15;\"\td\n"
            "RED\ta.h\t7;\"\te\tenum:color\n"
            "Value\ta.h\t6;\"\tt\n"
            "color\ta.h\t7;\"\tg\n"
            "count\ta.h\t13;\"\tx\n"
            "f\ta.h\t12;\"\tp\n"
            "i\ta.h\t8;\"\tm\tunion:num\n"
            "l\ta.h\t8;\"\tm\tunion:num\n"
            "main\ta.h\t9;\"\tf\n"
            "num\ta.h\t8;\"\tu\n"
            "point\ta.h\t1;\"\ts\n"
            "total\ta.h\t14;\"\tv\n"
            "v\ta.h\t5;\"\tm\ttypedef:Value\n"
            "x\ta.h\t2;\"\tm\tstruct:point\n"
            "y\ta.h\t2;\"\tm\tstruct:point\n");
}

// Only the names of the kinds asked, whatever the record that holds them.
TEST(FileRecords, OnlyNamesOfTheKindsAskedAreWritten) {
  struct Case {
    const char *letters;
    const char *names;  // name:letter of each tag, sorted
  } cases[] = {
      {"dtsu", "MAX:d Value:t num:u point:s "},
      {"m", "i:m l:m v:m x:m y:m "},
      {"e", "GREEN:e RED:e "},
      {"g", "color:g "},
      {"fp", "f:p main:f "},
      {"vx", "count:x total:v "},
      {"sm", "i:m l:m point:s v:m x:m y:m "},
      {"t", "Value:t "},
  };
  for (const Case &c : cases) {
    FileRecords records(IndexFormat::kTags, kinds_of(c.letters), nullptr);
    feed(&records);
    TagList *tags = records.tags();
    tags->sort();
    std::string got;
    for (size_t i = 0; i < tags->size(); ++i)
      got += std::string(tags->name((*tags)[i])) + ":" + (*tags)[i].kind + " ";
    EXPECT_EQ(got, c.names) << c.letters;
  }
  // The list of names applies to members and enumerators as to the rest.
  NameList wanted;
  ASSERT_TRUE(wanted.add_list("RED,x,MAX"));
  EXPECT_EQ(tag_lines(ALL_KINDS, &wanted),
            "MAX\ta.h\t15;\"\td\nRED\ta.h\t7;\"\te\tenum:color\nx\ta.h\t2;\"\tm\tstruct:point\n");
}

TEST(FileRecords, JsonNamesCarryTheirScopeAndOnlyTheKindsAsked) {
  FileRecords records(IndexFormat::kJson, kinds_of("tm"), nullptr);
  feed(&records);
  const std::string out(records.piece());
  // The records of the struct and of the typedef, with their names of the
  // kinds asked: members with their scope, the struct's tag left out.
  EXPECT_EQ(out.substr(0, out.find('\n', out.find('\n') + 1) + 1),
            "{\"file\":\"a.h\",\"line\":1,\"end_line\":3,\"kind\":\"struct\",\"name\":\"point\","
            "\"names\":[{\"name\":\"x\",\"kind\":\"member\",\"line\":2,\"column\":7,"
            "\"scope\":\"point\",\"scope_kind\":\"struct\"},"
            "{\"name\":\"y\",\"kind\":\"member\",\"line\":2,\"column\":10,"
            "\"scope\":\"point\",\"scope_kind\":\"struct\"}],"
            "\"begin\":0,\"end\":30,\"text\":\"struct point {\\n  int x, y;\\n};\\n\"}\n"
            "{\"file\":\"a.h\",\"line\":4,\"end_line\":6,\"kind\":\"typedef\",\"name\":\"Value\","
            "\"names\":[{\"name\":\"v\",\"kind\":\"member\",\"line\":5,\"column\":7,"
            "\"scope\":\"Value\",\"scope_kind\":\"typedef\"},"
            "{\"name\":\"Value\",\"kind\":\"typedef\",\"line\":6,\"column\":3}],"
            "\"begin\":30,\"end\":65,\"text\":\"typedef struct {\\n  int v;\\n} Value;\\n\"}\n");
  // Each kind by its name, enumerators with their enum.
  for (const char *part :
       {"{\"name\":\"RED\",\"kind\":\"enumerator\",\"line\":7,\"column\":14,\"scope\":\"color\","
        "\"scope_kind\":\"enum\"}",
        "{\"name\":\"i\",\"kind\":\"member\",\"line\":8,\"column\":17,\"scope\":\"num\","
        "\"scope_kind\":\"union\"}"}) {
    FileRecords all(IndexFormat::kJson, ALL_KINDS, nullptr);
    feed(&all);
    EXPECT_NE(all.piece().find(part), std::string::npos) << part;
  }
  FileRecords all(IndexFormat::kJson, ALL_KINDS, nullptr);
  feed(&all);
  for (const char *kind : {"define", "typedef", "struct", "union", "function", "prototype", "enum",
                           "enumerator", "member", "variable", "extern"})
    EXPECT_NE(all.piece().find(std::string(",\"kind\":\"") + kind + "\",\"line\""),
              std::string::npos)
        << kind;
}

TEST(FileRecords, EtagsEntriesOfEveryKindAsked) {
  FileRecords records(IndexFormat::kEtags, kinds_of("mef"), nullptr);
  feed(&records);
  EXPECT_EQ(records.piece(),
            "  int x\x7fx\x01" "2,15\n"
            "  int x, y\x7fy\x01" "2,15\n"
            "  int v\x7fv\x01" "5,47\n"
            "enum color { RED\x7fRED\x01" "7,65\n"
            "enum color { RED, GREEN\x7fGREEN\x01" "7,65\n"
            "union num { int i\x7fi\x01" "8,96\n"
            "union num { int i; long l\x7fl\x01" "8,96\n"
            "int main\x7fmain\x01" "9,126\n");
}

// Memory for a record's output that cannot be had fails that record and
// leaves those before it as they were; with memory back, the record is
// written after them.
TEST(FileRecords, MemoryThatCannotBeHadFailsTheRecordNotThoseBefore) {
  FileRecords records(IndexFormat::kJson, ALL_KINDS, nullptr);
  feed(&records);
  const std::string before(records.piece());
  ASSERT_FALSE(before.empty());
  const std::string text = "#define BIG " + std::string(1 << 20, '1') + "\n";
  DefinitionName name{"BIG", DefKind::kDefine, 20, 9, 200, "", DefKind::kStruct};
  Definition big;
  big.kind = DefKind::kDefine;
  big.name = "BIG";
  big.first_line = big.last_line = 20;
  big.begin = 192;
  big.end = 192 + text.size();
  big.text = text;
  big.names = &name;
  big.name_count = 1;
  big.encoding = Encoding::kUtf8;
  AllocHooks saved = set_alloc_hooks({[](size_t) -> void * { return nullptr; },
                                      [](void *, size_t) -> void * { return nullptr; },
                                      default_alloc_hooks().strdup_fn});
  const bool added = records.add(big);
  set_alloc_hooks(saved);
  EXPECT_FALSE(added);
  EXPECT_EQ(records.piece(), before);
  EXPECT_TRUE(records.add(big));
  const std::string after(records.piece());
  EXPECT_EQ(after.substr(0, before.size()), before);
  const std::string head = "{\"file\":\"a.h\",\"line\":20,\"end_line\":20,\"kind\":\"define\"";
  EXPECT_EQ(after.substr(before.size(), head.size()), head);
  EXPECT_NE(after.find("\"text\":\"#define BIG 1111", before.size()), std::string::npos);
  EXPECT_EQ(after.back(), '\n');
}

}  // namespace
}  // namespace kolvu
