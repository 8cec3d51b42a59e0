#include "kolvu/errmsg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "out_seam.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

using kolvu_test::Outcome;
using kolvu_test::run_in_child;

std::string edit(const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = err_edit(fmt, args);
  va_end(args);
  return s;
}

TEST(ErrEdit, EveryDirectiveLetter) {
  EXPECT_EQ(edit("%c", 65), "A");
  EXPECT_EQ(edit("%d", -7), "-7");
  EXPECT_EQ(edit("%d", 2147483647), "2147483647");
  EXPECT_EQ(edit("%x", 255), "ff");
  EXPECT_EQ(edit("%x", -1), "ffffffff");
  EXPECT_EQ(edit("%s: not found\n", "a.h"), "a.h: not found\n");
  EXPECT_EQ(edit("%f", 1.5), "1.500000");
  EXPECT_EQ(edit("plain text"), "plain text");
  EXPECT_EQ(edit(""), "");
}

TEST(ErrEdit, DoubleTakesEightBytesOfTheArguments) {
  EXPECT_EQ(edit("%f %d", 1.5, 3), "1.500000 3");
  EXPECT_EQ(edit("%d %f %s", 7, -0.25, "x"), "7 -0.250000 x");
}

TEST(ErrEdit, UnknownLettersSkipAnInt) {
  EXPECT_EQ(edit("%q%d", 1, 2), "?q2");
  EXPECT_EQ(edit("100%%", 5), "100?%");
  // No widths: "5" is the letter, and the "d" after it is plain text.
  EXPECT_EQ(edit("%5d|%d", 1, 2), "?5d|2");
  EXPECT_EQ(edit("%%%d", 1, 9), "?%9");
}

TEST(ErrEdit, LoneFinalPercentIsWrittenAndTakesNothing) {
  EXPECT_EQ(edit("50%"), "50%");
  EXPECT_EQ(edit("%d%", 4), "4%");
}

TEST(ErrEdit, CharKeepsTheLowByte) {
  EXPECT_EQ(edit("%c", 0x195), "\x95");
  std::string with_nul = edit("a%cb", 0);
  EXPECT_EQ(std::string(with_nul.c_str()), "a");  // the NUL ends the text
}

TEST(ErrEdit, LongMessagesComeOutWhole) {
  std::string line(1023, 'x');
  std::string msg = edit("%s \nError: too long line found!\n", line.c_str());
  EXPECT_EQ(msg.size(), 1053u);
  EXPECT_EQ(msg, line + " \nError: too long line found!\n");
  std::string huge(200000, 'y');
  EXPECT_EQ(edit("[%s]", huge.c_str()), "[" + huge + "]");
  // The buffer is reused from its start by the next call.
  EXPECT_EQ(edit("%d", 1), "1");
}

TEST(ErrEdit, NullTextArgument) { EXPECT_EQ(edit("<%s>", static_cast<char *>(nullptr)), "<(null)>"); }

// errfp and the flag are globals; each case runs in a child so they start fresh.
Outcome in_child(const std::function<void()> &fn) {
  return run_in_child([&] {
    out_reset();
    fn();
  });
}

TEST(ErrMsg, WritesToStandardErrorAndSetsTheFlag) {
  Outcome r = in_child([] {
    if (errmsg_output_flg != 0) std::exit(3);
    int n = errmsg("%s: not found\n", "a.h");
    if (n != 15 || errmsg_output_flg != 1) std::exit(4);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "a.h: not found\n");
  EXPECT_EQ(r.out, "");
}

TEST(ErrMsg, EmptyFormatStillSetsTheFlag) {
  Outcome r = in_child([] {
    if (errmsg("") != 0 || errmsg_output_flg != 1) std::exit(4);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(ErrMsg, PercentInTheMessageIsWrittenUnchanged) {
  Outcome r = in_child([] { errmsg("%s\n", "100% %d"); });
  EXPECT_EQ(r.err, "100% %d\n");
}

TEST(ErrMsg, AllOnesSelectsStandardOutput) {
  Outcome r = in_child([] {
    errfp = KOLVU_ERRFP_STDOUT;
    errmsg("to %s\n", "out");
    if (errmsg_output_flg != 1) std::exit(4);
    errmsg1("and %d\n", 2);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "to out\nand 2\n");
  EXPECT_EQ(r.err, "");
}

TEST(ErrMsg, OpenStreamIsHonouredOnlyByErrmsg1) {
  kolvu_test::TempDir dir;
  std::string path = dir.path() + "/log";
  Outcome r = in_child([&] {
    errfp = std::fopen(path.c_str(), "w");
    errmsg1("one %d\n", 1);
    if (errmsg_output_flg != 0) std::exit(4);
    errmsg("two\n");
    std::fclose(errfp);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(kolvu_test::read_file(path), "one 1\n");
  EXPECT_EQ(r.err, "two\n");
}

TEST(ErrMsg, Errmsg1WithNullSelectorWritesToStandardError) {
  Outcome r = in_child([] {
    errmsg1("x%cy\n", 'Z');
    if (errmsg_output_flg != 0) std::exit(4);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "xZy\n");
}

}  // namespace
}  // namespace kolvu
