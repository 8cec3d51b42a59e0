#include "lsp/documents.h"

#include <gtest/gtest.h>

namespace kolvu {
namespace {

TEST(Documents, ChangesApplyInTheNegotiatedUnits) {
  struct Case {
    const char *name;
    std::string text;
    PositionEncoding pe;
    long sl, sc, el, ec;
    std::string insert;
    std::string want;
  };
  const PositionEncoding k16 = PositionEncoding::kUtf16;
  const PositionEncoding k8 = PositionEncoding::kUtf8;
  const PositionEncoding k32 = PositionEncoding::kUtf32;
  // "日本X": 日 and 本 are one UTF-16 unit, three bytes; U+1F600 is two units.
  const std::string jp = "\xE6\x97\xA5\xE6\x9C\xACX\n";
  const std::string emoji = "\xF0\x9F\x98\x80Y\n";
  const Case cases[] = {
      {"insert", "ab\ncd\n", k16, 1, 1, 1, 1, "Z", "ab\ncZd\n"},
      {"replace across lines", "ab\ncd\n", k16, 0, 1, 1, 1, "-", "a-d\n"},
      {"after Japanese, utf-16", jp, k16, 0, 2, 0, 3, "Z", "\xE6\x97\xA5\xE6\x9C\xACZ\n"},
      {"after Japanese, utf-8", jp, k8, 0, 6, 0, 7, "Z", "\xE6\x97\xA5\xE6\x9C\xACZ\n"},
      {"after Japanese, utf-32", jp, k32, 0, 2, 0, 3, "Z", "\xE6\x97\xA5\xE6\x9C\xACZ\n"},
      {"after a surrogate pair", emoji, k16, 0, 2, 0, 3, "Z", "\xF0\x9F\x98\x80Z\n"},
      {"same in code points", emoji, k32, 0, 1, 0, 2, "Z", "\xF0\x9F\x98\x80Z\n"},
      {"past the line's end", "ab\r\ncd", k16, 0, 99, 0, 99, "!", "ab!\r\ncd"},
      {"past the text's end", "ab", k16, 5, 0, 5, 0, "!", "ab!"},
      {"delete all", "ab\ncd", k16, 0, 0, 1, 2, "", ""},
  };
  for (const Case &c : cases) {
    std::string text = c.text;
    TextChange ch;
    ch.whole = false;
    ch.start_line = c.sl;
    ch.start_char = c.sc;
    ch.end_line = c.el;
    ch.end_char = c.ec;
    ch.text = c.insert;
    ASSERT_TRUE(apply_change(&text, ch, c.pe)) << c.name;
    EXPECT_EQ(text, c.want) << c.name;
  }
}

TEST(Documents, BadRangesAndWholeTexts) {
  std::string text = "abc\ndef\n";
  TextChange back;
  back.whole = false;
  back.start_line = 1;
  back.end_line = 0;
  EXPECT_FALSE(apply_change(&text, back, PositionEncoding::kUtf16));
  TextChange negative;
  negative.whole = false;
  negative.start_char = -1;
  EXPECT_FALSE(apply_change(&text, negative, PositionEncoding::kUtf16));
  EXPECT_EQ(text, "abc\ndef\n");
  TextChange whole;
  whole.text = "new";
  EXPECT_TRUE(apply_change(&text, whole, PositionEncoding::kUtf16));
  EXPECT_EQ(text, "new");

  Documents docs;
  docs.open("/a.c", OpenDocument{"file:///a.c", "x", 1, false});
  docs.open("/b.c", OpenDocument{"file:///b.c", "y", 1, true});
  EXPECT_EQ(docs.dirty(), std::vector<std::string>{"/b.c"});
  docs.close("/b.c");
  EXPECT_TRUE(docs.dirty().empty());
  EXPECT_EQ(docs.find("/a.c")->text, "x");
  EXPECT_EQ(docs.find("/b.c"), nullptr);
}

}  // namespace
}  // namespace kolvu
