// The libc headers come first on purpose: our index and rindex live in kolvu
// and must not collide with the global ones.
#include <string.h>
#include <strings.h>

#include "kolvu/search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

TEST(Search, SecondByteIsNeverACharacter) {
  const char *s = "\x95\x5C\x5C";
  EXPECT_EQ(kolvu::Strchr(s, 0x5C), s + 2);
  EXPECT_EQ(kolvu::Strrchr(s, 0x5C), s + 2);
  EXPECT_EQ(kolvu::index(s, 0x5C), s + 1);
  EXPECT_EQ(kolvu::rindex(s, 0x5C), s + 2);

  EXPECT_EQ(kolvu::Strchr("\x80\x5C", 0x5C), nullptr);
  const char *kana = "\xB1\x5C";
  EXPECT_EQ(kolvu::Strchr(kana, 0x5C), kana + 1);
  const char *pair = "\x81\x81";
  EXPECT_EQ(kolvu::Strchr(pair, 0x81), pair);
  EXPECT_EQ(kolvu::Strrchr(pair, 0x81), pair);
}

TEST(Search, LeadBeforeTerminatorIsOneCharacter) {
  const char *s = "A\x81";
  EXPECT_EQ(kolvu::Strchr(s, 0x81), s + 1);
  EXPECT_EQ(kolvu::Strrchr(s, 0x81), s + 1);
  EXPECT_EQ(kolvu::Strchr(s, ' '), nullptr);
  EXPECT_EQ(kolvu::Strrchr(s, ' '), nullptr);
}

TEST(Search, OnlyTheLowByteIsComparedAndNulIsNeverFound) {
  const char *s = "a\\b\\c";
  EXPECT_EQ(kolvu::Strrchr(s, '\\'), s + 3);
  EXPECT_EQ(kolvu::Strchr(s, 0x15C), s + 1);
  const char *high = "x\xE0";
  EXPECT_EQ(kolvu::Strchr(high, '\xE0'), high + 1);  // a negative char
  EXPECT_EQ(kolvu::index(high, '\xE0'), high + 1);
  EXPECT_EQ(kolvu::rindex(high, -0x20), high + 1);
  for (int nul : {0, 0x100}) {
    EXPECT_EQ(kolvu::Strchr(s, nul), nullptr);
    EXPECT_EQ(kolvu::Strrchr(s, nul), nullptr);
    EXPECT_EQ(kolvu::index(s, nul), nullptr);
    EXPECT_EQ(kolvu::rindex(s, nul), nullptr);
  }
  EXPECT_EQ(kolvu::rindex("", 'a'), nullptr);
  const char *comma = "a,b";
  EXPECT_EQ(kolvu::index(comma, ','), comma + 1);
}

TEST(Search, ByteWiseRoutines) {
  const char *abc = "abcabc";
  EXPECT_EQ(kolvu::index1(abc, "ca"), abc + 2);
  EXPECT_EQ(kolvu::index1(abc, "abc"), abc);
  EXPECT_EQ(kolvu::index1(abc, "cabc"), abc + 2);  // up to the text's last byte
  EXPECT_EQ(kolvu::index1(abc, ""), abc);
  EXPECT_EQ(kolvu::index1("", ""), nullptr);
  EXPECT_EQ(kolvu::index1("ab", "abc"), nullptr);
  EXPECT_EQ(kolvu::index1(abc, "bcd"), nullptr);

  const char *hw = "hello world";
  EXPECT_EQ(kolvu::index2(hw, " \t"), hw + 5);
  EXPECT_EQ(kolvu::index2(hw, "dw"), hw + 6);
  EXPECT_EQ(kolvu::index2(hw, ""), nullptr);
  EXPECT_EQ(kolvu::index2(hw, "xyz"), nullptr);

  const char *wild = "a.c?x*";
  EXPECT_EQ(kolvu::srch_wild(wild), wild + 3);
  EXPECT_EQ(kolvu::srch_wild("a.c"), nullptr);

  const char *lead = "  \tx y";
  EXPECT_EQ(kolvu::sp_skip(lead), lead + 3);
  const char *blanks = " \t\n";
  EXPECT_EQ(kolvu::sp_skip(blanks), blanks + 2);  // only blank and tab are skipped
  const char *words = "ab cd";
  EXPECT_EQ(kolvu::chr_skip(words), words + 2);
  const char *tab = "ab\tcd";
  EXPECT_EQ(kolvu::chr_skip(tab), tab + 2);
  const char *empty = "";
  EXPECT_EQ(kolvu::sp_skip(empty), empty);
  EXPECT_EQ(kolvu::chr_skip(empty), empty);
}

TEST(Search, WritableTextGivesWritablePointers) {
  char buf[] = "a b*c";
  char *p = kolvu::Strchr(buf, ' ');
  *p = '_';
  EXPECT_STREQ(buf, "a_b*c");
  char *q[] = {kolvu::Strrchr(buf, 'c'), kolvu::index(buf, 'b'), kolvu::rindex(buf, 'a'),
               kolvu::index1(buf, "b*"), kolvu::index2(buf, "*"), kolvu::srch_wild(buf),
               kolvu::sp_skip(buf), kolvu::chr_skip(buf)};
  const char *want[] = {buf + 4, buf + 2, buf, buf + 2, buf + 3, buf + 3, buf, buf + 5};
  for (size_t i = 0; i < sizeof q / sizeof q[0]; ++i) EXPECT_EQ(q[i], want[i]) << i;
}

// Random Shift_JIS-like texts: every found position is a character start,
// and it is the first (or last) character start holding the byte.
TEST(Search, CharacterSearchMatchesAPlainWalk) {
  std::mt19937 rng(4);
  const int alphabet[] = {0x5C, 'a', 0x81, 0x95, 0x9F, 0xA0, 0xB1, 0xDF, 0xE0, 0xFC, 0xFD, 0x40};
  std::uniform_int_distribution<int> pick(0, sizeof alphabet / sizeof alphabet[0] - 1);
  std::uniform_int_distribution<int> len(0, 12);
  for (int round = 0; round < 3000; ++round) {
    std::string s;
    for (int n = len(rng); n > 0; --n) s.push_back(static_cast<char>(alphabet[pick(rng)]));
    std::vector<bool> start(s.size(), false);
    for (size_t i = 0; i < s.size();) {
      start[i] = true;
      int c = static_cast<unsigned char>(s[i]);
      bool lead = (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      i += lead && i + 1 < s.size() ? 2 : 1;
    }
    int target = alphabet[pick(rng)];
    const char *first = nullptr, *last = nullptr;
    for (size_t i = 0; i < s.size(); ++i) {
      if (!start[i] || static_cast<unsigned char>(s[i]) != target) continue;
      if (first == nullptr) first = s.c_str() + i;
      last = s.c_str() + i;
    }
    SCOPED_TRACE(testing::PrintToString(s) + " for " + std::to_string(target));
    EXPECT_EQ(kolvu::Strchr(s.c_str(), target), first);
    EXPECT_EQ(kolvu::Strrchr(s.c_str(), target), last);
  }
}

}  // namespace
