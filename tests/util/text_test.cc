#include "kolvu/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "kolvu/textio.h"
#include "out_seam.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

using kolvu_test::bytes;

TEST(Text, InsCharAndClear) {
  char buf[8] = "bc";
  EXPECT_EQ(insChar(buf, 'a'), 0);
  EXPECT_STREQ(buf, "abc");
  char empty[2] = "";
  insChar(empty, 'x');
  EXPECT_STREQ(empty, "x");

  char area[] = "abcdef";
  EXPECT_EQ(clear(area, '-', 0), area);
  EXPECT_EQ(clear(area, '-', -3), area);
  EXPECT_STREQ(area, "abcdef");
  EXPECT_EQ(clear(area, '-', 3), area + 3);
  EXPECT_STREQ(area, "---def");  // no terminator is written
}

std::string upper(std::string s) {
  to_upper(&s[0]);
  return s;
}
std::string lower(std::string s) {
  to_lower(&s[0]);
  return s;
}

TEST(Text, CaseConversionLeavesDoubleByteCharactersAlone) {
  EXPECT_EQ(upper("abc;Z1"), "ABC;Z1");
  EXPECT_EQ(upper(bytes({0x82, 0x61, 0x61})), bytes({0x82, 0x61, 0x41}));
  EXPECT_EQ(upper(bytes({0xB1, 0x61})), bytes({0xB1, 0x61}));  // kana taken as a first byte
  EXPECT_EQ(upper(bytes({0xFF, 0x61, 0x61})), bytes({0xFF, 0x61, 0x41}));
  EXPECT_EQ(lower("ABC;z1"), "abc;z1");
  EXPECT_EQ(lower(bytes({0xB1, 0x41})), bytes({0xB1, 0x61}));  // kana is one byte
  EXPECT_EQ(lower(bytes({0x82, 0x41})), bytes({0x82, 0x41}));
  EXPECT_EQ(lower(bytes({0xA0, 0x41, 0x41})), bytes({0xA0, 0x41, 0x61}));

  // A first byte before the terminator ends the walk: the byte past the
  // terminator stays as it was.
  std::string u = bytes({'a', 0x82, 0, 'b'}), l = bytes({'A', 0x82, 0, 'B'});
  to_upper(&u[0]);
  to_lower(&l[0]);
  EXPECT_EQ(u, bytes({'A', 0x82, 0, 'b'}));
  EXPECT_EQ(l, bytes({'a', 0x82, 0, 'B'}));
}

TEST(Text, CaseConversionChangesOnlyAsciiLetters) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(1, 255), len(0, 10);
  for (int round = 0; round < 5000; ++round) {
    std::string s;
    for (int n = len(rng); n > 0; --n) s.push_back(static_cast<char>(byte(rng)));
    std::string u = upper(s), l = lower(s);
    for (size_t i = 0; i < s.size(); ++i) {
      SCOPED_TRACE(testing::PrintToString(s) + " at " + std::to_string(i));
      char c = s[i];
      if (u[i] != c) {
        EXPECT_TRUE(c >= 'a' && c <= 'z' && u[i] == c - 0x20);
      }
      if (l[i] != c) {
        EXPECT_TRUE(c >= 'A' && c <= 'Z' && l[i] == c + 0x20);
      }
    }
  }
}

TEST(Text, ExpTabExpandsToStops) {
  EXPECT_STREQ(exp_tab(8, "a\tb"), "a       b");
  EXPECT_STREQ(exp_tab(4, "\t"), "    ");
  EXPECT_STREQ(exp_tab(8, "12345678\tx"), "12345678        x");
  EXPECT_STREQ(exp_tab(4, "\x82\xA0\t|"), "\x82\xA0  |");  // each byte is a column
  EXPECT_STREQ(exp_tab(3, ""), "");
  char *first = exp_tab(1, "a\tb");
  EXPECT_STREQ(first, "a b");
  EXPECT_EQ(exp_tab(1, "z"), first);  // one buffer, overwritten
  EXPECT_STREQ(first, "z");
}

TEST(Text, ExpTabAcceptsUpTo2048Columns) {
  std::string full(2048, 'x');
  EXPECT_EQ(exp_tab(8, full.c_str()), full);
  std::string tabbed = std::string(2039, 'x') + "\t" + std::string(8, 'y');  // tab: one blank
  EXPECT_EQ(exp_tab(8, tabbed.c_str()), std::string(2039, 'x') + " " + std::string(8, 'y'));
  EXPECT_EQ(exp_tab(2047, "\tz"), std::string(2047, ' ') + "z");
}

TEST(Text, ExpTabBeyond2048ColumnsEndsTheRun) {
  const std::string texts[] = {
      std::string(2049, 'x'),
      std::string(2044, 'x') + "\t",        // the tab's blanks reach column 2048
      std::string(2040, 'x') + "\tz",       // so do these, with text after them
      std::string(2048, 'x') + "\t",        // column 2048 already, no blank to write
      std::string(100, 'x') + std::string(250, '\t'),
  };
  for (const std::string &text : texts) {
    SCOPED_TRACE(text.size());
    kolvu_test::Outcome r = kolvu_test::run_in_child([&] {
      out_reset();
      std::printf("printf, ");  // the program's own output stays ahead of the message
      out_puts("held\n");
      exp_tab(8, text.c_str());
      out_puts("not reached\n");
    });
    EXPECT_EQ(r.out, "printf, held\n" + text + " ... too long\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
  }
}

}  // namespace
}  // namespace kolvu
