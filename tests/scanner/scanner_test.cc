// The scanner with kind masks the command line cannot make (one bit of a
// pair), where the shape tests decide alone.
#include "driver/scan_file.h"

#include <gtest/gtest.h>

#include <string>

#include "out_seam.h"
#include "scanner/reference_scanner.h"
#include "scanner/scan_variants.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

template <typename ScanFn>
std::string scan_with(ScanFn scan, const std::string &text, int mask) {
  kolvu_test::TempDir dir;
  std::string path = dir.write("a.h", text);
  std::string out;
  out_set_sink(&out);
  TextFile *f = text_open(path.c_str());
  scan(f, "a.h", mask);
  text_close(f);
  out_set_sink(nullptr);
  return out;
}

// Both scanners must give the expected output.
void expect_scan(const std::string &text, int mask, const std::string &want) {
  EXPECT_EQ(scan_with(scan_file, text, mask), want) << ::testing::PrintToString(text);
  auto baseline = [](TextFile *f, const char *n, int m) {
    scan_stream_baseline(f, tool_scan_setup(n, m, false));
  };
  EXPECT_EQ(scan_with(baseline, text, mask), want) << ::testing::PrintToString(text);
  reference::ModelSetup plain;
  plain.mask = mask;
  EXPECT_EQ(reference::scan_source(text, plain).out, want) << ::testing::PrintToString(text);
}

TEST(ScannerShapes, DefinesByTheirContinuation) {
  const std::string src = "#define A 1\n#define B \\\n 2\n";
  expect_scan(src, DEF_CONT, "#define B \\\n 2\n");
  expect_scan(src, DEF_SINGLE, "#define A 1\n");
}

TEST(ScannerShapes, NulCutsTheContinuationTest) {
  const std::string src("#define C\0 \\\n", 13);
  expect_scan(src, DEF_CONT, "");
  expect_scan(src, DEF_SINGLE, "#define C\n");
}

TEST(ScannerShapes, BackslashAfterLeadBytesByTheirCount) {
  // One double-byte character, then a backslash: a real backslash, so the
  // define is continued and goes on to the next line.
  expect_scan("#define D \x82\xA0\\\nx\n", DEF_CONT, "#define D \x82\xA0\\\nx\n");
  expect_scan("#define D \x82\xA0\\\n", DEF_SINGLE, "");
  // 0x95 0x5C: the backslash is a second byte.
  expect_scan("#define E \x95\\\nx\n", DEF_SINGLE, "#define E \x95\\\n");
  expect_scan("#define E \x95\\\n", DEF_CONT, "");
  // Two lead bytes pair up into one character; with three the backslash is
  // the third's partner.
  expect_scan("#define F \x81\x81\\\nx\n", DEF_CONT, "#define F \x81\x81\\\nx\n");
  expect_scan("#define G \x81\x81\x81\\\n", DEF_CONT, "");
  expect_scan("#define G \x81\x81\x81\\\nx\n", DEF_SINGLE, "#define G \x81\x81\x81\\\n");
}

TEST(ScannerShapes, TypedefsBySimpleOrBlock) {
  const std::string block = "typedef struct s {\n int a;\n} S;\n";
  const std::string simple = "typedef struct s *SP;\n";
  expect_scan(block, TD_BLOCK, block);
  expect_scan(block, TD_SIMPLE, "");
  expect_scan(simple, TD_SIMPLE, simple);
  expect_scan(simple, TD_BLOCK, "");
  expect_scan("typedef int I;\n", TD_BLOCK, "");
}

}  // namespace
}  // namespace kolvu
