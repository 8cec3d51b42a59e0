// The command line end to end: help, usage, option groups, the order of
// arguments, the file loop and the exit status.
#include <gtest/gtest.h>

#include "support/golden.h"

namespace kolvu_test {
namespace {

const char kUsage[] = "Usage : kolvu [-dtsuN] [-l <list>] <files>\n";

// A header with one definition of every kind.
const Files kAll = {{"a.h",
                     "#define A 1\n"
                     "typedef int T;\n"
                     "struct s { int a; };\n"
                     "union u { int b; };\n"}};

TEST(CommandLine, NoArgumentsPrintsTheUsageLine) {
  expect_run({}, {}, {"", kUsage, 1});
}

TEST(CommandLine, HelpIsTheJapaneseTableInCodePage932) {
  std::string help = sjis(
      "define文、typedef文、struct文、union文を抽出して表示します。\n"
      " \n"
      "Usage : kolvu [-dtsuN] [-l <list>] <files>\n"
      " \n"
      "Parameter:\n"
      "   -dtsuN:\n"
      "      d     define文を表示します。\n"
      "      t     typedef文を表示します。\n"
      "      s     struct定義文を表示します。\n"
      "      u     union定義文を表示します。\n"
      "      N     ファイル名を表示します。\n"
      "            dtsuを省略した場合には、define文のみが対象となります。\n"
      " \n"
      "   -l <list>\n"
      "            表示対象のものを指定します。\n"
      "            <list>は次の形式となります。\n"
      "              F=<file>\n"
      "              <string[*]>[,<string[*]>...]\n"
      "            <file>の場合には、ファイルから読み込まれます。\n"
      "            上記指定と一致した文字列のものだけが表示されます。\n"
      " \n"
      "   <files>  ｃ言語のソースファイル名またはヘッダーファイル名\n"
      " \n"
      "Version: 1.10\n");
  expect_run({}, {"-usage"}, {help, "", 1});
}

TEST(CommandLine, UsageWithOtherArgumentsIsAnOptionGroup) {
  // "-usage" adds union (u) and struct (s); a, g and e are no options.
  expect_run(kAll, {"-usage", "a.h"}, {"struct s { int a; };\nunion u { int b; };\n", "", 0});
  expect_run(kAll, {"-usage", "-usage"}, {"", "", 0});
  // In "-Usage" only the s is a letter of ours.
  expect_run(kAll, {"-Usage", "a.h"}, {"struct s { int a; };\n", "", 0});
}

TEST(CommandLine, OptionsHoldOnlyForFilesNamedAfterThem) {
  Files two = kAll;
  two.push_back({"b.h", "#define B 2\ntypedef long L;\n"});
  expect_run(two, {"a.h", "-t", "b.h"}, {"#define A 1\ntypedef long L;\n", "", 0});
  expect_run(two, {"a.h", "-t"}, {"#define A 1\n", "", 0});
  expect_run(two, {"-N", "a.h", "-d", "b.h"},
             {"/* === a.h === */\n#define A 1\n/* === b.h === */\n#define B 2\n", "", 0});
  expect_run(two, {"a.h", "-N", "b.h"}, {"#define A 1\n/* === b.h === */\n#define B 2\n", "", 0});
}

TEST(CommandLine, OptionLettersAndGroups) {
  expect_run(kAll, {"-x", "a.h"}, {"#define A 1\n", "", 0});
  expect_run(kAll, {"-", "a.h"}, {"#define A 1\n", "", 0});
  expect_run(kAll, {"-DTSU", "a.h"}, {"#define A 1\n", "", 0});
  expect_run(kAll, {"-t", "a.h"}, {"typedef int T;\n", "", 0});
  expect_run(kAll, {"-s", "a.h"}, {"struct s { int a; };\n", "", 0});
  expect_run(kAll, {"-u", "a.h"}, {"union u { int b; };\n", "", 0});
  expect_run(kAll, {"-dN", "a.h"}, {"/* === a.h === */\n#define A 1\n", "", 0});
  expect_run(kAll, {"-d", "-N", "a.h"}, {"/* === a.h === */\n#define A 1\n", "", 0});
  expect_run(kAll, {"-ltd", "a.h"}, {"#define A 1\ntypedef int T;\n", "", 0});
  expect_run(kAll, {"-dtsu", "a.h"},
             {"#define A 1\ntypedef int T;\nstruct s { int a; };\nunion u { int b; };\n", "", 0});
}

TEST(CommandLine, MissingListValue) {
  expect_run(kAll, {"-l"}, {"", "<list> missing\n", 0});
  // The arguments after the bare "-l" are never reached; those before are.
  expect_run(kAll, {"a.h", "-l"}, {"#define A 1\n", "<list> missing\n", 0});
}

TEST(CommandLine, ListValueIsTakenWhateverItLooksLike) {
  // "-l -d" adds the entry "-d", which no name matches.
  expect_run(kAll, {"-l", "-d", "a.h"}, {"", "", 0});
  expect_run(kAll, {"-l", "*", "-d", "a.h"}, {"#define A 1\n", "", 0});
  expect_run(kAll, {"-l", "*abc", "a.h"}, {"#define A 1\n", "", 0});
}

TEST(CommandLine, FilesThatCannotBeOpened) {
  expect_run(kAll, {"missing.h", "a.h"}, {"#define A 1\n", "missing.h: not found\n", 0});
  expect_run(kAll, {"*.h"}, {"", "*.h: not found\n", 0});
  expect_run(kAll, {".", "a.h", "./nope/x.h"},
             {"#define A 1\n", ".: not found\n./nope/x.h: not found\n", 0});
  expect_run(kAll, {"/dev/null", "a.h"}, {"#define A 1\n", "", 0});
}

TEST(CommandLine, SameFileTwiceIsScannedTwice) {
  expect_run(kAll, {"-N", "a.h", "a.h"},
             {"/* === a.h === */\n#define A 1\n/* === a.h === */\n#define A 1\n", "", 0});
}

}  // namespace
}  // namespace kolvu_test
