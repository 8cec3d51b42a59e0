#include "driver/namelist.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "out_seam.h"
#include "support/name_list.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

using kolvu_test::Outcome;

std::vector<std::string> entries() { return std::vector<std::string>(list, list + list_cnt); }

using kolvu_test::clear_list;

class NameListUnit : public ::testing::Test {
 protected:
  void SetUp() override { clear_list(); }
  void TearDown() override { clear_list(); }
  void add(const std::string &text) {
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    set_list(buf.data());
  }
};

TEST_F(NameListUnit, CommaListsSplitAtEveryComma) {
  add("a,,b");
  add("c,");
  add(",d");
  add("");
  EXPECT_EQ(entries(), (std::vector<std::string>{"a", "", "b", "c", "", "", "d", ""}));
}

TEST_F(NameListUnit, SetListWritesNulOverTheCommas) {
  char text[] = "ab,cd,e";
  set_list(text);
  EXPECT_EQ(std::string(text, 7), std::string("ab\0cd\0e", 7));
  EXPECT_NE(list[0], text) << "entries are copies";
}

TEST_F(NameListUnit, FullTableDropsTheRestWithOneMessage) {
  Outcome r = kolvu_test::run_in_child([this] {
    out_reset();
    std::string items;
    for (int i = 0; i < 1005; ++i) items += std::to_string(i) + ",";
    add(items);  // 1006 items, the last one empty
    if (list_cnt != 1000 || std::string(list[999]) != "999") std::exit(5);
    add("more");
    if (list_cnt != 1000) std::exit(6);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "list table overflown\nlist table overflown\n");
}

TEST_F(NameListUnit, ExactlyAThousandItemsFitWithoutAMessage) {
  Outcome r = kolvu_test::run_in_child([this] {
    out_reset();
    std::string items = "x";
    for (int i = 1; i < 1000; ++i) items += ",x";
    add(items);
    if (list_cnt != 1000) std::exit(5);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(NameListUnit, ListFileLinesBecomeEntries) {
  kolvu_test::TempDir dir;
  std::string p = dir.write("names", std::string("alpha\n\nbe\0ta\ngamma", 19));
  EXPECT_EQ(set_listf(p.c_str()), 0);
  EXPECT_EQ(entries(), (std::vector<std::string>{"alpha", "", "be", "gamma"}));
}

TEST_F(NameListUnit, MissingListFileReturnsZeroAndReports) {
  Outcome r = kolvu_test::run_in_child([] {
    out_reset();
    if (set_listf("no/such/file") != 0 || list_cnt != 0) std::exit(5);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "no/such/file: not found\n");
}

TEST_F(NameListUnit, MatchingRule) {
  add("abc,pre*,ab*cd,,x?y");  // "abcd" is wanted through ab*cd, which acts as ab*
  struct {
    const char *text;
    int wanted;
  } cases[] = {
      {"abc", 1},     {"abc;", 1},   {"abc(x)", 1}, {"abcd", 1},   {"ABC", 0},
      {"pre", 0},     {"prefix", 1}, {"pre_1", 1},  {"abX", 1},    {"ab", 0},
      {" abc", 1},    {"(", 1},      {"\n", 1},     {"x?y", 0},    {"x", 0},
      {"\x82\xA0", 1},  // a double-byte character is no name: the empty entry wants it
  };
  for (const auto &c : cases) EXPECT_EQ(chk_type(c.text), c.wanted) << '"' << c.text << '"';
}

TEST_F(NameListUnit, EmptyListWantsEverything) {
  EXPECT_EQ(chk_type("anything"), 1);
  EXPECT_EQ(chk_type(""), 1);
}

TEST_F(NameListUnit, StarEntryWantsEveryNonEmptyName) {
  add("q,*");
  EXPECT_EQ(chk_type("z"), 1);
  EXPECT_EQ(chk_type(";"), 0);
}

TEST_F(NameListUnit, NamesAreCutAfter32Bytes) {
  std::string name(40, 'n');
  add(std::string(32, 'n'));
  EXPECT_EQ(chk_type(name.c_str()), 1);
  clear_list();
  add(std::string(33, 'n'));
  EXPECT_EQ(chk_type(name.c_str()), 0);
  clear_list();
  add(std::string(31, 'n') + "*");
  EXPECT_EQ(chk_type(name.c_str()), 1);
  clear_list();
  add(std::string(32, 'n') + "*");
  EXPECT_EQ(chk_type(name.c_str()), 0);
}

}  // namespace
}  // namespace kolvu
