// The patterns of --exclude: '*' and '?' never take a '/', sets with ranges
// and complements, escapes, and a '[' left open read as itself.
#include "common/glob.h"

#include <gtest/gtest.h>

namespace kolvu {
namespace {

TEST(Glob, MatchesWholeTextsByteForByte) {
  struct Case {
    const char *pattern, *text;
    bool match;
  } cases[] = {
      {"*.c", "a.c", true},          {"*.c", "a.h", false},
      {"*.c", ".c", true},           {"*.c", "dir/a.c", false},  // '*' stops at '/'
      {"*/*.c", "dir/a.c", true},    {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},    {"*_test.c", "x_test.c", true},
      {"*_test.c", "x_test.cc", false}, {"?.h", "a.h", true},
      {"?.h", "ab.h", false},        {"a?b", "a/b", false},
      {"[a-c]x", "bx", true},        {"[a-c]x", "dx", false},
      {"[!a-c]x", "dx", true},       {"[^a-c]x", "ax", false},
      {"[]]x", "]x", true},          {"[a-]x", "-x", true},
      {"[ab", "[ab", true},          {"\\*.c", "*.c", true},
      {"\\*.c", "a.c", false},       {".#*", ".#lock.h", true},
      {"", "", true},                {"", "a", false},
      {"*", "", true},               {"**", "abc", true},
      {"gen", "gen", true},          {"gen", "gen2", false},
      {"\x90\xDD*.h", "\x90\xDD\x92\xE8.h", true},  // bytes as they are
      {"A*", "a", false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(glob_match(c.pattern, c.text), c.match) << c.pattern << " " << c.text;
}

}  // namespace
}  // namespace kolvu
