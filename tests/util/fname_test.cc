#include "kolvu/fname.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace kolvu {
namespace {

using kolvu_test::bytes;

TEST(StrCmp, FoldsAsciiAndPutsTheBackslashFirst) {
  EXPECT_EQ(StrCmp("ABC", "abc"), 0);
  EXPECT_EQ(StrCmp("ab", "abc"), -1);
  EXPECT_EQ(StrCmp("abc", "ab"), 1);
  EXPECT_EQ(StrCmp("a\\b", "a.b"), -1);
  EXPECT_EQ(StrCmp("a.b", "a\\b"), 1);
  EXPECT_EQ(StrCmp("\\", " "), -1);
  EXPECT_EQ(StrCmp("a_", "aA"), -1);
  EXPECT_EQ(StrCmp("B", "a"), 1);
  EXPECT_EQ(StrCmp("", ""), 0);
}

TEST(StrCmp, HighBytes) {
  const std::string kana = bytes({0xB1}), a0 = bytes({0x82, 0xA0}), a1 = bytes({0x82, 0xA1});
  EXPECT_EQ(StrCmp("a", kana.c_str()), -1);
  EXPECT_EQ(StrCmp(kana.c_str(), "a"), 1);
  EXPECT_EQ(StrCmp(kana.c_str(), a0.c_str()), -1);
  EXPECT_EQ(StrCmp(a0.c_str(), kana.c_str()), 1);
  EXPECT_EQ(StrCmp(a0.c_str(), a1.c_str()), -1);
  // 0xA0 starts a double-byte character here and comes after every kana.
  EXPECT_EQ(StrCmp(bytes({0xDF}).c_str(), bytes({0xA0, 0x40}).c_str()), -1);
  // A second byte is compared as it is, never folded; a kana's neighbour is.
  EXPECT_EQ(StrCmp(bytes({0x82, 'A'}).c_str(), bytes({0x82, 'a'}).c_str()), -1);
  EXPECT_EQ(StrCmp(bytes({0xB1, 'A'}).c_str(), bytes({0xB1, 'a'}).c_str()), 0);
  // A lone first byte before the terminator.
  EXPECT_EQ(StrCmp(bytes({'x', 0x82}).c_str(), bytes({'X', 0x82}).c_str()), 0);
  EXPECT_EQ(StrCmp(bytes({0x82}).c_str(), bytes({0x82, 0x40}).c_str()), -1);
}

std::string random_name(std::mt19937 &rng) {
  std::uniform_int_distribution<int> kind(0, 5), len(0, 5);
  const std::string ascii = "aAbBzZ_.\\0~";
  std::string s;
  for (int n = len(rng); n > 0; --n) {
    switch (kind(rng)) {
      case 0:
      case 1:
        s.push_back(ascii[rng() % ascii.size()]);
        break;
      case 2:
        s.push_back(static_cast<char>(0xA1 + rng() % 63));  // kana
        break;
      default: {
        static const int firsts[] = {0x81, 0x82, 0x95, 0xA0, 0xE0, 0xFC};
        static const int seconds[] = {0x40, 0x41, 0x5C, 0x61, 0x9F, 0xFC};
        s.push_back(static_cast<char>(firsts[rng() % 6]));
        s.push_back(static_cast<char>(seconds[rng() % 6]));
      }
    }
  }
  return s;
}

int by_strcmp(const void *x, const void *y) {
  return StrCmp(*static_cast<const char *const *>(x), *static_cast<const char *const *>(y));
}

TEST(StrCmp, OrdersShiftJisNamesConsistently) {
  std::mt19937 rng(11);
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) {
    std::string s = random_name(rng);
    bool dup = false;
    for (const std::string &t : names) dup = dup || StrCmp(s.c_str(), t.c_str()) == 0;
    if (!dup) names.push_back(s);
  }
  ASSERT_GT(names.size(), 200u);
  for (const std::string &a : names)
    for (const std::string &b : names) {
      int ab = StrCmp(a.c_str(), b.c_str());
      ASSERT_TRUE(ab == -1 || ab == 0 || ab == 1);
      ASSERT_EQ(ab, -StrCmp(b.c_str(), a.c_str())) << testing::PrintToString(a) << " "
                                                    << testing::PrintToString(b);
    }
  std::vector<const char *> sorted;
  for (int start = 0; start < 3; ++start) {
    std::vector<const char *> v;
    for (const std::string &s : names) v.push_back(s.c_str());
    std::shuffle(v.begin(), v.end(), rng);
    std::qsort(v.data(), v.size(), sizeof v[0], by_strcmp);
    if (start == 0) {
      sorted = v;
      // Every earlier name comes first against every later one: a total order.
      for (size_t i = 0; i < v.size(); ++i)
        for (size_t j = i + 1; j < v.size(); ++j) ASSERT_EQ(StrCmp(v[i], v[j]), -1);
    }
    std::qsort(v.data(), v.size(), sizeof v[0], by_strcmp);
    EXPECT_EQ(v, sorted);
  }
}

struct Entry {
  char *path;
  long size;  // the comparator reads only the path
};

TEST(CompFile, QsortOrdersByDepthThenName) {
  std::vector<std::string> paths = {"x\\y.c", "B.c", "a.c", "\x95\x5C.c", "a\\b\\c",
                                    "A\\z",   "_m",  "z",   "\x81\\"};
  std::vector<Entry> entries;
  for (std::string &p : paths) entries.push_back({&p[0], 0});
  std::vector<Entry *> table;
  for (Entry &e : entries) table.push_back(&e);
  std::qsort(table.data(), table.size(), sizeof table[0], comp_file);
  std::vector<std::string> got;
  for (Entry *e : table) got.push_back(e->path);
  // No separator ("\x95\x5C" and "\x81\\" are double-byte characters), then one, then two.
  std::vector<std::string> want = {"_m",  "a.c",    "B.c",   "z", "\x81\\", "\x95\x5C.c",
                                   "A\\z", "x\\y.c", "a\\b\\c"};
  EXPECT_EQ(got, want);

  std::string a = "a.c", upper = "A.C";
  Entry ea = {&a[0], 1}, eu = {&upper[0], 2};
  Entry *pa = &ea, *pu = &eu;
  EXPECT_EQ(comp_file(&pa, &pu), 0);
  EXPECT_EQ(comp_file(&pu, &pa), 0);
}

TEST(FindExt, LastDotOfTheLastComponent) {
  const char *dir = "src\\main.c";
  EXPECT_STREQ(findExt(dir), ".c");
  EXPECT_EQ(findExt(dir), dir + 8);
  EXPECT_EQ(findExt("a.b\\makefile"), nullptr);
  EXPECT_STREQ(findExt("a.b\\c.d.e"), ".e");
  EXPECT_STREQ(findExt("file."), ".");
  EXPECT_EQ(findExt("noext"), nullptr);
  const char *sjis = "\x95\x5C.txt";
  EXPECT_EQ(findExt(sjis), sjis + 2);
  const char *no_sep = "a.b\x95\x5C" "c";  // one component: the dot is in it
  EXPECT_EQ(findExt(no_sep), no_sep + 1);
  char buf[] = "x.h";
  *findExt(buf) = '_';
  EXPECT_STREQ(buf, "x_h");
}

TEST(Sepname, SplitsAfterTheFirstWildcardComponent) {
  struct Case {
    const char *path, *first, *rest;
  } cases[] = {
      {"src\\*\\x.c", "src\\*", "x.c"},
      {"src\\*.c", "src\\*.c", ""},
      {"src\\x.c", "src\\x.c", ""},
      {"a\\b?\\c\\d*", "a\\b?", "c\\d*"},
      {"*\x95\x5C\\x", "*\x95\x5C", "x"},  // the 0x5C after 0x95 is no separator
      {"", "", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    char path[32], first[32], rest[32];
    std::strcpy(path, c.path);
    std::strcpy(rest, "stale");
    EXPECT_EQ(sepname(path, first, rest), 0);
    EXPECT_STREQ(first, c.first);
    EXPECT_STREQ(rest, c.rest);
    EXPECT_STREQ(path, c.first);  // shortened in place
  }
}

}  // namespace
}  // namespace kolvu
