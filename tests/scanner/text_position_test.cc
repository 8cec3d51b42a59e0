// Lines and columns of a text's bytes: the cursor walks from its last
// answer, forward a vector at a time or back, and must give what a count
// from the text's start gives, whatever the order of the questions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scanner/text_position.h"

namespace kolvu {
namespace {

struct Expected {
  long line;
  long column;
};

Expected counted(const std::string &t, size_t off) {
  long line = 1;
  size_t start = 0;
  for (size_t i = 0; i < off && i < t.size(); ++i) {
    if (t[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return {line, static_cast<long>(off - start) + 1};
}

std::string lines_of(const std::vector<size_t> &lengths) {
  std::string t;
  for (size_t n : lengths) t += std::string(n, 'x') + "\n";
  return t;
}

TEST(LineCursor, AnswersAsACountFromTheStartInAnyOrder) {
  struct Case {
    const char *what;
    std::string text;
  } cases[] = {
      {"short lines", lines_of({0, 1, 2, 3, 0, 0, 5})},
      {"lines of a vector's width and around it",
       lines_of({15, 16, 17, 31, 32, 33, 63, 64, 65})},
      {"newlines packed into one vector", std::string(40, '\n') + "tail"},
      {"a long line, then short ones", lines_of({200, 1, 1, 1, 90})},
      {"no newline at all", std::string(100, 'y')},
  };
  for (const Case &c : cases) {
    const std::string &t = c.text;
    std::vector<size_t> asks;
    for (size_t off = 0; off <= t.size(); off += 7) asks.push_back(off);  // forward
    for (size_t back = 0; back <= t.size(); back += 11) asks.push_back(t.size() - back);  // back
    for (size_t off = 0; off <= t.size(); off += 29) {  // a record's end, then inside it
      asks.push_back(std::min(t.size(), off + 50));
      asks.push_back(off + 3 <= t.size() ? off + 3 : off);
    }
    CrMap none;
    LineCursor cursor(t.data(), t.size(), none);
    for (size_t off : asks) {
      Expected e = counted(t, off);
      EXPECT_EQ(cursor.line_of(off), e.line) << c.what << ", line of " << off;
      EXPECT_EQ(cursor.column_of(off), e.column) << c.what << ", column of " << off;
    }
  }
}

}  // namespace
}  // namespace kolvu
