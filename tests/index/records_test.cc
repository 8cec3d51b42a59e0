// The JSON record and the tags file's lines.
#include "index/records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_util.h"

namespace kolvu {
namespace {

std::string json_string(const std::string &s) {
  std::string out;
  append_json_string(s, &out);
  return out;
}

TEST(JsonString, EscapesQuotesBackslashesAndEveryControlCharacter) {
  EXPECT_EQ(json_string("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(json_string("\n\t\r\b\f"), "\"\\n\\t\\r\\b\\f\"");
  EXPECT_EQ(json_string(kolvu_test::bytes({0x00, 0x01, 0x1A, 0x1F, 0x20, 0x7F})),
            "\"\\u0000\\u0001\\u001a\\u001f \x7F\"");
  EXPECT_EQ(json_string("表 /"), "\"表 /\"");
  EXPECT_EQ(json_string(""), "\"\"");
}

// The escapes are found eight bytes at a time: every escaped byte at every
// place in a longer text, next to multi-byte characters, as a byte at a
// time would find it.
TEST(JsonString, EveryEscapeAtEveryPlaceOfALongText) {
  const std::string base = "ab表cdefghij表klmnopqrstuvwxyz";
  for (char c : {'"', '\\', '\n', '\x01', '\x1f'}) {
    for (size_t at = 0; at <= base.size(); ++at) {
      std::string in = base.substr(0, at) + c + base.substr(at);
      std::string want = "\"";
      for (char b : in) {
        if (b == '"') want += "\\\"";
        else if (b == '\\') want += "\\\\";
        else if (b == '\n') want += "\\n";
        else if (b == '\x01') want += "\\u0001";
        else if (b == '\x1f') want += "\\u001f";
        else want += b;
      }
      EXPECT_EQ(json_string(in), want + "\"") << at;
    }
  }
}

// Byte at a time, as the escapes are defined.
std::string escaped_slowly(const std::string &in) {
  static const char kHex[] = "0123456789abcdef";
  std::string want = "\"";
  for (char b : in) {
    unsigned char c = static_cast<unsigned char>(b);
    if (b == '"') want += "\\\"";
    else if (b == '\\') want += "\\\\";
    else if (b == '\n') want += "\\n";
    else if (b == '\t') want += "\\t";
    else if (b == '\r') want += "\\r";
    else if (b == '\b') want += "\\b";
    else if (b == '\f') want += "\\f";
    else if (c < 0x20) want += std::string("\\u00") + kHex[c >> 4] + kHex[c & 15];
    else want += b;
  }
  return want + "\"";
}

// Every ASCII byte after every kind of byte, at each place in the blocks
// of eight and sixteen bytes and near the end: what a byte of 0x80 or
// above, a control character or a quote does to the test of a whole block
// must not mark the byte after it.
TEST(JsonString, EveryByteAfterEveryOtherAtEveryPlaceOfAWord) {
  for (int before : {0x00, 0x09, 0x1f, 0x20, 0x22, 0x5c, 0x7f, 0x80, 0x8f, 0xa0, 0xe8, 0xff}) {
    for (int c = 0; c < 0x80; ++c) {
      for (size_t at = 0; at < 34; ++at) {
        std::string in = std::string(at, 'a') + static_cast<char>(before) + static_cast<char>(c) +
                         std::string(at % 3 == 0 ? 12 : at % 3, 'z');
        EXPECT_EQ(json_string(in), escaped_slowly(in)) << before << " " << c << " " << at;
      }
    }
  }
}

// A record written in one piece: the same bytes as appended; a text with a
// byte of 0x80 or above is refused by the ASCII-only form, wherever it is.
TEST(JsonRecord, WrittenInOnePieceAndRefusedWhenNotAscii) {
  const JsonName names[] = {{"x", DefKind::kMember, 2, 7, "point", DefKind::kStruct}};
  for (size_t at = 0; at < 20; ++at) {
    std::string text = std::string(at, 'a') + "\t\"\\\n" + std::string(20, 'b');
    JsonRecord r{"\"a.h\"", 1, 3, DefKind::kStruct, "point", names, 1, 0, 30, 2, text, false};
    std::string appended;
    append_json_record(r, &appended);
    std::vector<char> buf(json_record_bound(r));
    char *end = put_json_record<true>(r, buf.data());
    ASSERT_NE(end, nullptr) << at;
    EXPECT_EQ(std::string(buf.data(), end), appended);
    EXPECT_EQ(std::string(buf.data(), put_json_record<false>(r, buf.data())), appended);
    std::string high = text;
    high[at] = '\xe8';
    r.text = high;
    EXPECT_EQ(put_json_record<true>(r, buf.data()), nullptr) << at;
  }
}

// Numbers of every length, each digit count's first and last.
TEST(JsonRecord, NumbersOfEveryLength) {
  std::vector<long> numbers = {0, 9, 10, 99, 100, 101, 999999, 1000000, 4294967296L,
                               9223372036854775807L};
  for (long v = 1; v <= 100000000000000000L; v *= 10) {
    numbers.push_back(v);
    numbers.push_back(v * 10 - 1);
  }
  for (long v : numbers) {
    std::string out;
    append_json_record({"\"a.h\"", v, v, DefKind::kDefine, "A", nullptr, 0, static_cast<size_t>(v),
                        static_cast<size_t>(v), v, "", false},
                       &out);
    std::string n = std::to_string(v);
    EXPECT_EQ(out, "{\"file\":\"a.h\",\"line\":" + n + ",\"end_line\":" + n +
                       ",\"kind\":\"define\",\"name\":\"A\",\"names\":[],\"begin\":" + n +
                       ",\"end\":" + n + ",\"parent\":" + n + ",\"text\":\"\"}\n");
  }
}

TEST(JsonRecord, KeysInOrderAndLossyOnlyWhenSet) {
  std::string out;
  const JsonName names[] = {{"_T", DefKind::kStruct, 3, 16}, {"T", DefKind::kTypedef, 4, 6}};
  append_json_record({"\"a.h\"", 3, 4, DefKind::kTypedef, "T", names, 2, 10, 40, -1,
                      "typedef\n int T;\n", false},
                     &out);
  append_json_record({"\"a.h\"", 9, 9, DefKind::kUnion, "", nullptr, 0, 50, 51, 0, "x", true}, &out);
  EXPECT_EQ(out,
            "{\"file\":\"a.h\",\"line\":3,\"end_line\":4,\"kind\":\"typedef\",\"name\":\"T\","
            "\"names\":[{\"name\":\"_T\",\"kind\":\"struct\",\"line\":3,\"column\":16},"
            "{\"name\":\"T\",\"kind\":\"typedef\",\"line\":4,\"column\":6}],"
            "\"begin\":10,\"end\":40,\"text\":\"typedef\\n int T;\\n\"}\n"
            "{\"file\":\"a.h\",\"line\":9,\"end_line\":9,\"kind\":\"union\",\"name\":\"\","
            "\"names\":[],\"begin\":50,\"end\":51,\"parent\":0,\"text\":\"x\",\"lossy\":true}\n");
}

TEST(Tags, SortedByNameInByteOrderKeepingTheWalkOrderOfEqualNames) {
  TagList tags, more;
  tags.add("b", 0, 1, 'd');
  tags.add("B", 1, 2, 't');
  tags.add("a", 2, 3, 's');
  more.add("b", 0, 4, 'u');
  more.add("_x", 0, 5, 'd');
  tags.take(&more, 3);
  EXPECT_TRUE(more.empty());
  tags.add("bb", 1, 1, 'd');
  tags.add("b", 1, 1, 'd');
  tags.sort();
  std::string got;
  for (size_t i = 0; i < tags.size(); ++i)
    got += std::string(tags.name(tags[i])) + std::to_string(tags[i].file) + " ";
  EXPECT_EQ(got, "B1 _x3 a2 b0 b3 b1 bb1 ");
}

TEST(Tags, LinesAndHeader) {
  TagList tags;
  tags.add("MSG", 0, 12, 'd');
  std::string line;
  append_tag_line(tags, 0, "src/a b.h", &line);
  EXPECT_EQ(line, "MSG\tsrc/a b.h\t12;\"\td\n");
  std::string header = tags_header("9.9");
  EXPECT_EQ(header.substr(0, header.find('\n')), "!_TAG_FILE_FORMAT\t2\t/extended format/");
  EXPECT_NE(header.find("\n!_TAG_FILE_SORTED\t1\t"), std::string::npos);
  EXPECT_NE(header.find("\n!_TAG_PROGRAM_NAME\tkolvu-index\t"), std::string::npos);
  EXPECT_NE(header.find("\n!_TAG_PROGRAM_VERSION\t9.9\t"), std::string::npos);
  EXPECT_FALSE(fits_tags_file("a\tb.h"));
  EXPECT_FALSE(fits_tags_file("a\nb.h"));
  EXPECT_TRUE(fits_tags_file("a b.h"));
}

}  // namespace
}  // namespace kolvu
