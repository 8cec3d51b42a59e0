// Texts to UTF-8: the encodings, the second bytes that are ASCII in code
// page 932, and what becomes of bytes that do not convert.
#include "common/utf8.h"

#include "common/cp932_table.h"

#include <gtest/gtest.h>

#include <string>

#include "scanner/utf8_check.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

using kolvu_test::bytes;

struct Converted {
  std::string text;
  bool clean;
};

Converted convert(Encoding e, const std::string &in) {
  Utf8Converter c;
  Converted r;
  r.text = "<";  // what out held before stays
  r.clean = c.append(e, in, &r.text);
  return r;
}

TEST(Utf8Length, AcceptsOnlyShortestFormsOfScalarValues) {
  auto len = [](std::initializer_list<int> v) {
    std::string s = bytes(v);
    return utf8_char_length(reinterpret_cast<const unsigned char *>(s.data()), s.size());
  };
  EXPECT_EQ(len({0x41}), 1u);
  EXPECT_EQ(len({0xC3, 0xA9}), 2u);
  EXPECT_EQ(len({0xC0, 0x80}), 0u);              // overlong NUL
  EXPECT_EQ(len({0xC3}), 0u);                    // cut off
  EXPECT_EQ(len({0x80}), 0u);                    // a lone continuation
  EXPECT_EQ(len({0xE0, 0x9F, 0xBF}), 0u);        // overlong
  EXPECT_EQ(len({0xED, 0xA0, 0x80}), 0u);        // a surrogate
  EXPECT_EQ(len({0xEF, 0xBF, 0xBD}), 3u);
  EXPECT_EQ(len({0xF0, 0x8F, 0xBF, 0xBF}), 0u);  // overlong
  EXPECT_EQ(len({0xF4, 0x8F, 0xBF, 0xBF}), 4u);  // U+10FFFF
  EXPECT_EQ(len({0xF4, 0x90, 0x80, 0x80}), 0u);  // above it
  EXPECT_EQ(len({0xF5, 0x80, 0x80, 0x80}), 0u);
}

TEST(Utf8Converter, CodePage932WithAsciiSecondBytesAndHalfWidthKana) {
  // U+8868 is 0x95 0x5C, U+30BD 0x83 0x5C, U+30DC 0x83 0x7B; 0xB1 is a
  // half-width katakana; the backslash and tilde stay ASCII.
  Converted r = convert(Encoding::kShiftJis, bytes({'"', 0x95, 0x5C, 0x83, 0x5C, 0x83, 0x7B, 0xB1,
                                                   '\\', '~', '"'}));
  EXPECT_TRUE(r.clean);
  EXPECT_EQ(r.text, "<\"表ソボｱ\\~\"");
  // kAuto is what a file read as Shift_JIS may report too.
  EXPECT_EQ(convert(Encoding::kAuto, bytes({0x82, 0xA0})).text, "<あ");
}

TEST(Utf8Converter, EucJpAndUtf8) {
  Converted e = convert(Encoding::kEucJp, bytes({'x', 0xA4, 0xA2, 0x8E, 0xB1, 'y'}));
  EXPECT_TRUE(e.clean);
  EXPECT_EQ(e.text, "<xあｱy");
  Converted u = convert(Encoding::kUtf8, "a表\n");
  EXPECT_TRUE(u.clean);
  EXPECT_EQ(u.text, "<a表\n");
}

TEST(Utf8Converter, EachByteThatDoesNotConvertBecomesOneReplacement) {
  // A lead byte before a byte that cannot follow it, a byte that is no
  // character, and a lead byte at the very end.
  Converted s = convert(Encoding::kShiftJis, bytes({'a', 0x81, 0x0A, 'b', 0xFD, 'c', 0x82}));
  EXPECT_FALSE(s.clean);
  EXPECT_EQ(s.text, "<a\xEF\xBF\xBD\nb\xEF\xBF\xBD" "c\xEF\xBF\xBD");
  Converted u = convert(Encoding::kUtf8, bytes({0xE8, 0xA1, 'x', 0xFF}));
  EXPECT_FALSE(u.clean);
  EXPECT_EQ(u.text, "<\xEF\xBF\xBD\xEF\xBF\xBDx\xEF\xBF\xBD");
  Converted e = convert(Encoding::kEucJp, bytes({0xA4, 'z'}));
  EXPECT_FALSE(e.clean);
  EXPECT_EQ(e.text, "<\xEF\xBF\xBDz");
}

TEST(Utf8Converter, OneConverterServesManyTextsAfterAFailure) {
  Utf8Converter c;
  std::string out;
  EXPECT_FALSE(c.append(Encoding::kShiftJis, bytes({0x82}), &out));
  EXPECT_TRUE(c.append(Encoding::kShiftJis, bytes({0x82, 0xA2}), &out));
  EXPECT_TRUE(c.append(Encoding::kEucJp, bytes({0xA4, 0xA4}), &out));
  EXPECT_EQ(out, "\xEF\xBF\xBDいい");
}

TEST(Utf8Converter, ViewsTextThatIsUtf8AlreadyAndConvertsTheRest) {
  Utf8Converter c;
  std::string scratch = "old";
  bool clean = false;
  std::string ascii = "typedef struct { int a; } T; /* 0123456789 */\n";
  std::string_view v = c.view(Encoding::kShiftJis, ascii, &scratch, &clean);
  EXPECT_EQ(v.data(), ascii.data());
  EXPECT_TRUE(clean);
  std::string utf8 = "#define LONG_NAME \"表示\"";
  v = c.view(Encoding::kUtf8, utf8, &scratch, &clean);
  EXPECT_EQ(v.data(), utf8.data());
  EXPECT_TRUE(clean);
  // A high byte after the first eight bytes, read as code page 932.
  std::string sj = "#define LONG_NAME \"" + bytes({0x95, 0x5C}) + "\"";
  v = c.view(Encoding::kShiftJis, sj, &scratch, &clean);
  EXPECT_EQ(v, "#define LONG_NAME \"表\"");
  EXPECT_TRUE(clean);
  v = c.view(Encoding::kUtf8, "#define LONG_NAME \xFF", &scratch, &clean);
  EXPECT_EQ(v, "#define LONG_NAME \xEF\xBF\xBD");
  EXPECT_FALSE(clean);
}

// Code page 932 by table gives what iconv(3) gives for every byte, every
// pair of bytes and every lead byte cut off, each between other bytes.
TEST(Utf8Converter, CodePage932ByTableAsThroughIconv) {
  ASSERT_NE(Cp932Table::get(), nullptr) << "the system converts code page 932 (glibc does)";
  Utf8Converter table, direct(false);
  std::string got, want;
  auto same = [&](const std::string &in) {
    got = "<";
    want = "<";
    bool got_clean = table.append(Encoding::kShiftJis, in, &got);
    bool want_clean = direct.append(Encoding::kShiftJis, in, &want);
    return got == want && got_clean == want_clean;
  };
  int differ = 0;
  for (int a = 0x80; a < 0x100; ++a) {
    for (int b = 0; b < 0x100; ++b) {
      for (int c : {0x78, 0x81, 0x5C}) {
        std::string in = bytes({'a', a, b, c});
        if (!same(in) && ++differ <= 5) ADD_FAILURE() << a << " " << b << " " << c << ": " << got << " / " << want;
      }
    }
    if (!same(bytes({'z', a}))) ADD_FAILURE() << a << " at the end";
  }
  EXPECT_EQ(differ, 0);
  // A longer text: ASCII runs between characters, as written in sources.
  EXPECT_TRUE(same(bytes({'/', '*', ' ', 0x95, 0x5C, 0x8E, 0xA6, ' ', 0x83, 0x5C, 0x83, 0x74,
                          0x83, 0x67, ' ', '*', '/', '\n', 0xB1, 0xB2, 0x81})));
}

}  // namespace
}  // namespace kolvu
