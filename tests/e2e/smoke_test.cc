#include <gtest/gtest.h>

#include "support/run_binary.h"

using namespace kolvu_test;

TEST(Smoke, DefineWritten) {
  TempDir d;
  d.write("a.h", "#define A 1\nint x;\n");
  Outcome r = run_kolvu({"a.h"}, d.path());
  EXPECT_EQ(r.out, "#define A 1\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}
