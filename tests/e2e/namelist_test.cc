// The name list end to end: comma lists, list files and the matching rule.
#include <gtest/gtest.h>

#include <string>

#include "support/golden.h"

namespace kolvu_test {
namespace {

// Defines whose names probe the matching rule, one per line.
const Files kNames = {{"n.h",
                       "#define MAX_LEN 1\n"
                       "#define MAX_ 2\n"
                       "#define max_len 3\n"
                       "#define Point 4\n"
                       "#define Points 5\n"
                       "#define (x) 6\n"
                       "#define abX 7\n"
                       "#define abcd 8\n"
                       "#define ab 9\n"
                       "#define FOO(x) 10\n"}};

std::string only(std::initializer_list<int> values) {
  const char *lines[] = {"",
                         "#define MAX_LEN 1\n",
                         "#define MAX_ 2\n",
                         "#define max_len 3\n",
                         "#define Point 4\n",
                         "#define Points 5\n",
                         "#define (x) 6\n",
                         "#define abX 7\n",
                         "#define abcd 8\n",
                         "#define ab 9\n",
                         "#define FOO(x) 10\n"};
  std::string s;
  for (int v : values) s += lines[v];
  return s;
}

TEST(NameList, ExactNamesAndPrefixes) {
  expect_run(kNames, {"-l", "MAX_*,Point", "n.h"}, {only({1, 4}), "", 0});
  expect_run(kNames, {"-l", "ab*cd", "n.h"}, {only({7, 8}), "", 0});
  expect_run(kNames, {"-l", "FOO", "n.h"}, {only({10}), "", 0});
  expect_run(kNames, {"-l", "point,POINT", "n.h"}, {"", "", 0});
}

TEST(NameList, EmptyEntryWantsDefinitionsWithoutAName) {
  expect_run(kNames, {"-l", "Point,", "n.h"}, {only({4, 6}), "", 0});
  expect_run(kNames, {"-l", ",", "n.h"}, {only({6}), "", 0});
  expect_run(kNames, {"-l", "", "n.h"}, {only({6}), "", 0});
}

TEST(NameList, StarAfterTheFirstItemWantsEveryNonEmptyName) {
  expect_run(kNames, {"-l", "x,*", "n.h"}, {only({1, 2, 3, 4, 5, 7, 8, 9, 10}), "", 0});
}

TEST(NameList, SeveralListsAddUp) {
  expect_run(kNames, {"-l", "ab", "-l", "Points", "n.h"}, {only({5, 9}), "", 0});
}

TEST(NameList, ListAddedAfterAFileDoesNotApplyToIt) {
  Files two = kNames;
  two.push_back({"m.h", "#define ab 1\n#define cd 2\n"});
  expect_run(two, {"m.h", "-l", "cd", "m.h"}, {"#define ab 1\n#define cd 2\n#define cd 2\n", "", 0});
}

TEST(NameList, ListFiles) {
  Files f = kNames;
  f.push_back({"names.txt", "MAX_LEN\n\nab"});  // last line without '\n'
  f.push_back({"crlf.txt", "Point\r\nabcd\r\n"});
  expect_run(f, {"-l", "F=names.txt", "n.h"}, {only({1, 6, 9}), "", 0});
  expect_run(f, {"-l", "F=crlf.txt", "n.h"}, {only({4, 8}), "", 0});
  expect_run(f, {"-l", "F=nosuch.txt", "n.h"}, {only({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), "nosuch.txt: not found\n", 0});
  expect_run(f, {"-l", "F=", "n.h"}, {only({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), ": not found\n", 0});
  expect_run(f, {"-l", "F=.", "n.h"}, {only({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), ".: not found\n", 0});
  // Only "F=" in upper case names a file; "f=x" is a comma list.
  expect_run(f, {"-l", "f=names.txt", "n.h"}, {"", "", 0});
}

TEST(NameList, ListFileLineLimit) {
  std::string ok(1021, 'a'), bad(1022, 'b');
  Files f = kNames;
  f.push_back({"ok.txt", ok + "\nPoint\n"});
  f.push_back({"bad.txt", "Point\n" + bad + "\nab\n"});
  expect_run(f, {"-l", "F=ok.txt", "n.h"}, {only({4}), "", 0});
  // Output before the fatal line stays written.
  expect_run(f, {"n.h", "-l", "F=bad.txt", "n.h"},
             {only({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), bad + "\n \nError: too long line found!\n", 1});
}

TEST(NameList, TableOverflow) {
  std::string items;
  for (int i = 0; i < 1001; ++i) items += (i ? "," : "") + std::string("n") + std::to_string(i);
  Files f = {{"a.h", "#define n999 1\n#define n1000 2\n#define Z 3\n"}};
  expect_run(f, {"-l", items, "a.h"}, {"#define n999 1\n", "list table overflown\n", 0});
  // A later list meets the full table again and reports again.
  expect_run(f, {"-l", items, "-l", "Z", "a.h"},
             {"#define n999 1\n", "list table overflown\nlist table overflown\n", 0});
  // A list file reports only once it has read a line past the full table.
  f.push_back({"empty.txt", ""});
  f.push_back({"z.txt", "Z\nY\n"});
  expect_run(f, {"-l", items, "-l", "F=empty.txt", "-l", "F=z.txt", "a.h"},
             {"#define n999 1\n", "list table overflown\nlist table overflown\n", 0});
}

TEST(NameList, NamesAreComparedByTheirFirst32Bytes) {
  std::string name40 = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN";
  std::string first32 = name40.substr(0, 32);
  Files f = {{"a.h", "#define " + name40 + " 1\n"}};
  std::string out = "#define " + name40 + " 1\n";
  expect_run(f, {"-l", first32, "a.h"}, {out, "", 0});
  expect_run(f, {"-l", name40, "a.h"}, {"", "", 0});
  expect_run(f, {"-l", name40.substr(0, 31) + "*", "a.h"}, {out, "", 0});
  expect_run(f, {"-l", first32 + "*", "a.h"}, {"", "", 0});
}

}  // namespace
}  // namespace kolvu_test
