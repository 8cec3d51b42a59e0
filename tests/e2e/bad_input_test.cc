// Whatever a source tree holds: binary files, broken double-byte text,
// constructs left open at the end of a file, huge files and argument lists.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <string>
#include <vector>

#include "support/golden.h"

namespace kolvu_test {
namespace {

TEST(BadInput, TruncatedDoubleByteCharacters) {
  // A lead byte last in the file, before a '\n', and before a backslash.
  expect_scan({"-d"}, "#define A \x81", "#define A \x81\n");
  expect_scan({"-d"}, "#define B \x81\n#define C 1\n", "#define B \x81\n#define C 1\n");
  expect_scan({"-d"}, "#define D \x81\\\n#define E 1\n", "#define D \x81\\\n#define E 1\n");
  // Bytes no double-byte character has, anywhere.
  expect_scan({"-d"}, "#define F \xFD\xFE\xFF\x80\n", "#define F \xFD\xFE\xFF\x80\n");
  expect_scan({"-s"}, "struct \xA0 {\n\xFF};\n", "struct \xA0 {\n\xFF};\n");
}

TEST(BadInput, ConstructsLeftOpenAtTheEnd) {
  expect_scan({"-d"}, "/* never closed\n#define A 1\n", "");
  // A literal ends with its line unless a splice carries it on.
  expect_scan({"-d"}, "#define S \"never closed\n#define A 1\n",
              "#define S \"never closed\n#define A 1\n");
  expect_scan({"-d"}, "#define C 'x\n#define A 1\n", "#define C 'x\n#define A 1\n");
  expect_scan({"-d"}, "#define S \"open \\\n#define A 1\n", "#define S \"open \\\n#define A 1\n");
  expect_scan({"-ds"}, "char *s = \"open \\\n#define A 1\n", "");
  expect_scan({"-s"}, "struct s {\n  int a;\n", "struct s {\n  int a;\n");
  expect_scan({"-t", "-l", "T"}, "typedef struct {\n  int a;\n", "");
  expect_scan({"-d"}, "#define M \\\n", "#define M \\\n");
  // The next file starts afresh.
  expect_run({{"a.h", "/* open\n"}, {"b.h", "#define B 1\n"}}, {"a.h", "b.h"},
             {"#define B 1\n", "", 0});
}

TEST(BadInput, AllByteValuesInShortLines) {
  std::string text;
  for (int round = 0; round < 4; ++round)
    for (int c = 0; c < 256; ++c) {
      text += static_cast<char>(c);
      if (c % 50 == 49) text += '\n';
    }
  // The first Ctrl-Z (0x1A) ends the file; the NUL before it ends the first
  // line's text, and nothing before is a definition.
  expect_scan({"-dtsu"}, text, "");
}

TEST(BadInput, BinaryFileEndsCleanly) {
  // The tool's own executable: long runs without '\n', NULs, every byte.
  Outcome r = run_kolvu({"-dtsu", KOLVU_BINARY}, ".");
  ASSERT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status;
  if (r.status == 1) {
    const std::string tail = " \nError: too long line found!\n";
    ASSERT_GE(r.err.size(), tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
  } else {
    EXPECT_EQ(r.err, "");
  }
}

TEST(BadInput, TenMegabyteCapturedTypedefIsWrittenWhole) {
  std::string body;
  for (int i = 0; body.size() < 10u * 1024 * 1024; ++i) body += "  int field" + std::to_string(i) + ";\n";
  std::string td = "typedef struct {\n" + body + "} Big;\n";
  expect_scan({"-t", "-l", "Big"}, td, td);
}

TEST(BadInput, TenThousandFileArguments) {
  Files files;
  std::vector<std::string> args = {"-d"};
  std::string out, err;
  for (int i = 0; i < 10000; ++i) {
    std::string name = "f" + std::to_string(i) + ".h";
    args.push_back(name);
    if (i % 1000 == 999) {
      err += name + ": not found\n";
      continue;
    }
    std::string def = "#define F" + std::to_string(i) + " " + std::to_string(i) + "\n";
    files.push_back({name, "int x;\n" + def});
    out += def;
  }
  expect_run(files, args, {out, err, 0});
}

TEST(BadInput, ListFileOfTwoThousandLines) {
  std::string names;
  for (int i = 0; i < 2000; ++i) names += "N" + std::to_string(i) + "\n";
  expect_run({{"names.txt", names}, {"a.h", "#define N999 1\n#define N1000 2\n#define N5 3\n"}},
             {"-l", "F=names.txt", "a.h"},
             {"#define N999 1\n#define N5 3\n", "list table overflown\n", 0});
}

TEST(OutputFailures, ClosedStandardOutputFailsTheRun) {
  TempDir dir;
  dir.write("a.h", "#define A 1\n");
  Outcome r = run_kolvu_shell(dir.path(), "a.h >&-");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "write error on standard output: Bad file descriptor\n");
}

TEST(OutputFailures, NoOutputMeansNoWriteAndSuccess) {
  // Nothing to write: a closed standard output is never touched.
  TempDir dir;
  dir.write("a.h", "int x;\n");
  Outcome r = run_kolvu_shell(dir.path(), "a.h >&-");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(OutputFailures, BrokenPipeEndsTheProcessAsUsual) {
  TempDir dir;
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "#define D" + std::to_string(i) + " 1\n";
  dir.write("a.h", big);
  Outcome r = run_kolvu_shell(dir.path(), "a.h | head -c 10 >/dev/null");
  EXPECT_EQ(r.status, 128 + SIGPIPE);  // bash reports a signal death as 128 + signal
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace kolvu_test
