#include "kolvu/bytes.h"

#include <gtest/gtest.h>

namespace kolvu {
namespace {

TEST(Bytes, ClassesMatchTheirRanges) {
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(is_lead(c), (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
    EXPECT_EQ(is_cspace(c), c == ' ' || (c >= 0x09 && c <= 0x0D));
    EXPECT_EQ(is_blank(c), c == ' ' || c == '\t');
    EXPECT_EQ(is_ident(c), (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                               (c >= '0' && c <= '9') || c == '_');
    EXPECT_EQ(is_kana(c), c >= 0xA1 && c <= 0xDF);
  }
}

TEST(Bytes, LeadBeforeTerminatorIsSingle) {
  EXPECT_TRUE(starts_double("\x95\x5C"));
  EXPECT_FALSE(starts_double("\x95"));
  EXPECT_FALSE(starts_double("\xB1\x5C"));
}

}  // namespace
}  // namespace kolvu
