// Standard output and standard error sent to one file, as ">f 2>&1": output
// goes out in 512-byte blocks, diagnostics at once.
#include <gtest/gtest.h>

#include <string>

#include "support/golden.h"

namespace kolvu_test {
namespace {

// count defines of 16 bytes each ("#define Dxxxx 1\n").
std::string defines(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(1000 + i);
    s += "#define D" + n + " 1\n";
  }
  return s;
}

Outcome merged_run(const Files &files, const std::vector<std::string> &args) {
  TempDir dir;
  for (const auto &f : files) dir.write(f.first, f.second);
  return run_kolvu(args, dir.path(), true);
}

TEST(MergedStreams, DiagnosticStandsAfterTheBlocksAlreadyFull) {
  std::string out = defines(44);  // 704 bytes
  Outcome r = merged_run({{"a.h", out}}, {"a.h", "missing.h"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, out.substr(0, 512) + "missing.h: not found\n" + out.substr(512));
}

TEST(MergedStreams, ExactlyOneBlockWaitsForTheNextByte) {
  std::string out = defines(32);  // 512 bytes
  Outcome r = merged_run({{"a.h", out}, {"b.h", "#define Z 1\n"}}, {"a.h", "missing.h", "b.h"});
  EXPECT_EQ(r.out, "missing.h: not found\n" + out + "#define Z 1\n");
}

TEST(MergedStreams, FatalErrorStandsBeforeOutputStillHeld) {
  std::string out = defines(40);  // 640 bytes
  std::string bad(1100, 'x');
  Outcome r = merged_run({{"a.h", out + bad + "\n"}}, {"a.h"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, out.substr(0, 512) + bad.substr(0, 1023) + " \nError: too long line found!\n" +
                       out.substr(512));
}

TEST(MergedStreams, UsageGoesToStandardError) {
  Outcome r = merged_run({}, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Usage : kolvu [-dtsuN] [-l <list>] <files>\n");
}

TEST(WriteErrors, FullDeviceFailsTheRun) {
  TempDir dir;
  dir.write("a.h", "#define A 1\n");
  Outcome r = run_kolvu_shell(dir.path(), "a.h >/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "write error on standard output: No space left on device\n");
}

}  // namespace
}  // namespace kolvu_test
