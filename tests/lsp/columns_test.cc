#include "lsp/columns.h"

#include <gtest/gtest.h>

#include "common/utf8.h"

namespace kolvu {
namespace {

const PositionEncoding k16 = PositionEncoding::kUtf16;
const PositionEncoding k8 = PositionEncoding::kUtf8;
const PositionEncoding k32 = PositionEncoding::kUtf32;

TEST(Columns, ByteColumnsBecomeEditorColumnsAndBack) {
  struct Case {
    const char *name;
    Encoding enc;
    std::string line;
    size_t bytes;  // a byte column at a character's start
    long u16, u8, u32;
  };
  const Case cases[] = {
      {"ascii", Encoding::kShiftJis, "#define A 1", 8, 8, 8, 8},
      // "日本" in code page 932, then " X": two characters of three UTF-8 bytes.
      {"sjis double bytes", Encoding::kShiftJis, "\x93\xFA\x96\x7B X", 5, 3, 7, 3},
      // A trail byte that is '\\' (0x5C) and one that is a letter.
      {"sjis trail bytes", Encoding::kShiftJis, "\x83\x5C\x83\x41X", 4, 2, 6, 2},
      // Half-width katakana: one byte, one UTF-16 unit, three UTF-8 bytes.
      {"half-width kana", Encoding::kShiftJis, "\xB1\xB2X", 2, 2, 6, 2},
      // "±" (0x817D) is U+00B1: two UTF-8 bytes.
      {"sjis to two UTF-8 bytes", Encoding::kShiftJis, "\x81\x7DX", 2, 1, 2, 1},
      {"utf-8", Encoding::kUtf8, "\xE6\x97\xA5 X", 4, 2, 4, 2},
      // U+1F600: two UTF-16 units, four bytes, one code point.
      {"outside the BMP", Encoding::kUtf8, "\xF0\x9F\x98\x80X", 4, 2, 4, 1},
      {"invalid utf-8 byte", Encoding::kUtf8, "\xFFX", 1, 1, 3, 1},
      {"euc-jp", Encoding::kEucJp, "\xC6\xFC X", 3, 2, 4, 2},
  };
  Utf8Converter conv;
  for (const Case &c : cases) {
    EXPECT_EQ(editor_column(&conv, c.enc, c.line, c.bytes, k16), c.u16) << c.name;
    EXPECT_EQ(editor_column(&conv, c.enc, c.line, c.bytes, k8), c.u8) << c.name;
    EXPECT_EQ(editor_column(&conv, c.enc, c.line, c.bytes, k32), c.u32) << c.name;
    EXPECT_EQ(byte_column(&conv, c.enc, c.line, c.u16, k16), c.bytes) << c.name;
    EXPECT_EQ(byte_column(&conv, c.enc, c.line, c.u8, k8), c.bytes) << c.name;
    EXPECT_EQ(byte_column(&conv, c.enc, c.line, c.u32, k32), c.bytes) << c.name;
  }
}

TEST(Columns, ColumnsInsideOrPastACharacter) {
  Utf8Converter conv;
  const std::string line = "\x93\xFA" "ab";  // "日ab"
  // The second UTF-8 byte of 日 falls in it: its start.
  EXPECT_EQ(byte_column(&conv, Encoding::kShiftJis, line, 1, k8), 0u);
  EXPECT_EQ(byte_column(&conv, Encoding::kShiftJis, line, 99, k16), line.size());
  EXPECT_EQ(editor_column(&conv, Encoding::kShiftJis, line, 99, k16), 3);
  // A byte column between a lead and a trail byte counts as the lead's.
  EXPECT_EQ(editor_column(&conv, Encoding::kShiftJis, line, 1, k16), 0);
}

TEST(Columns, IdentifierUnderTheCursor) {
  struct Case {
    Encoding enc;
    std::string line;
    size_t at;
    const char *want;
  };
  const Case cases[] = {
      {Encoding::kShiftJis, "x = MAX_LEN + 1;", 4, "MAX_LEN"},
      {Encoding::kShiftJis, "x = MAX_LEN + 1;", 8, "MAX_LEN"},
      {Encoding::kShiftJis, "x = MAX_LEN + 1;", 11, "MAX_LEN"},  // just after it
      {Encoding::kShiftJis, "x = MAX_LEN + 1;", 12, ""},
      {Encoding::kShiftJis, "x = 123;", 5, ""},                   // a number
      {Encoding::kShiftJis, "", 0, ""},
      // 0x83 0x41 is katakana "ア": its trail byte 'A' starts no name.
      {Encoding::kShiftJis, "\x83\x41" "BC", 1, ""},
      {Encoding::kShiftJis, "\x83\x41" "BC", 2, "BC"},
      {Encoding::kUtf8, "\xE6\x97\xA5Point", 3, "Point"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(identifier_at(c.enc, c.line, c.at), c.want) << c.line << " at " << c.at;
  }
}

TEST(Columns, LinesOfAText) {
  const std::string text = "a\r\nbb\n\nccc";
  size_t start = 0;
  EXPECT_EQ(line_of(text, 0, &start), "a");
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(line_of(text, 1, &start), "bb");
  EXPECT_EQ(start, 3u);
  EXPECT_EQ(line_of(text, 2), "");
  EXPECT_EQ(line_of(text, 3, &start), "ccc");
  EXPECT_EQ(start, 7u);
  EXPECT_EQ(line_of(text, 4, &start), "");
  EXPECT_EQ(start, text.size());
}

}  // namespace
}  // namespace kolvu
