// The pieces of kolvu-index's output forms that are easy to get subtly
// wrong: base64 padding, the line an Emacs tag shows, and which lines an
// update keeps.
#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

#include "index/etags.h"
#include "index/file_name_json.h"
#include "index/tags_update.h"

namespace kolvu {
namespace {

TEST(OutputForms, Base64OfEveryPadding) {
  struct Case {
    std::string bytes, base64;
  } cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {std::string("\xFF\xFE\x00", 3), "//4A"}, {"\x90\xDD\x92\xE8.h", "kN2S6C5o"},
  };
  for (const Case &c : cases) {
    std::string out = "x";
    append_base64(c.bytes, &out);
    EXPECT_EQ(out, "x" + c.base64) << c.bytes;
  }
}

TEST(OutputForms, FileNamesAsJson) {
  Utf8Converter conv;
  struct Case {
    std::string name, json;
  } cases[] = {
      {"a/b.h", "\"a/b.h\""},
      {"表.h", "\"表.h\""},
      {"\x95\x5C.h", "\"表.h\",\"file_bytes\":\"lVwuaA==\""},  // Shift_JIS, second byte '\'
      {"\xFF.h", "\"\xEF\xBF\xBD.h\",\"file_bytes\":\"/y5o\""},
      {"q\"\t.h", "\"q\\\"\\t.h\""},
  };
  for (const Case &c : cases) {
    std::string out;
    append_file_name_json(c.name, &conv, &out);
    EXPECT_EQ(out, c.json) << c.name;
  }
}

TEST(OutputForms, EtagsPatternEndsAfterTheNameAsAWord) {
  struct Case {
    const char *text, *name, *pattern;
  } cases[] = {
      {"#define MAX_LEN 10\n", "MAX_LEN", "#define MAX_LEN"},
      {"#define LEN_LEN LEN\n", "LEN", "#define LEN_LEN LEN"},  // not inside LEN_LEN
      {"struct point {\n  int x;\n};\n", "point", "struct point"},
      {"typedef struct {\n  int v;\n} Value;\n", "Value", "typedef struct {"},
      {"#define A\x7f 1\r\n", "A", "#define A"},
      {"#define B 1", "B", "#define B"},
  };
  for (const Case &c : cases) EXPECT_EQ(etags_pattern(c.text, c.name), c.pattern) << c.text;
  std::string section;
  std::string body;
  append_etags_entry("#define A", "A", 3, 17, &body);
  append_etags_section("a.h", body, &section);
  EXPECT_EQ(section, "\f\na.h,17\n#define A\x7f" "A\x01" "3,17\n");
}

TEST(OutputForms, AnUpdateKeepsTheLinesOfOtherFilesAndNoHeader) {
  std::string old =
      "!_TAG_FILE_FORMAT\t2\t/extended format/\n"
      "A\ta.h\t1;\"\td\n"
      "A\tb.h\t4;\"\td\n"
      "B\tab.h\t2;\"\tt\n"
      "C\tb.h\t9;\"\ts\n"
      "D\tc.h\t1;\"\td";  // no newline at the end
  EXPECT_EQ(kept_tag_lines(old, {"b.h"}), "A\ta.h\t1;\"\td\nB\tab.h\t2;\"\tt\nD\tc.h\t1;\"\td\n");
  EXPECT_EQ(kept_tag_lines(old, {"a.h", "ab.h", "b.h", "c.h"}), "");
  EXPECT_EQ(tag_line_name("name\tfile\t1;\"\td\n"), "name");
}

}  // namespace
}  // namespace kolvu
