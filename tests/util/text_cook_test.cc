// Bytes read as text: cut at a Ctrl-Z, carriage returns dropped, and each
// run of them noted with the bytes written and dropped so far, in place or
// into another buffer alike.
#include "util/text_cook.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kolvu {
namespace {

TEST(TextCook, CarriageReturnsDroppedAndEachRunNoted) {
  struct Case {
    std::string raw, text;
    std::vector<std::pair<size_t, size_t>> notes;  // written, dropped so far
  };
  const Case cases[] = {
      {"", "", {}},
      {"abc", "abc", {}},
      {"\r", "", {{0, 1}}},
      {"\r\r\n", "\n", {{0, 2}}},
      {"a\r\nb\r\r\nc\r", "a\nb\nc", {{1, 1}, {3, 3}, {5, 4}}},
      {"\r\r\rx", "x", {{0, 3}}},
      {std::string(40, 'y') + "\r\n" + std::string(40, 'z'),
       std::string(40, 'y') + "\n" + std::string(40, 'z'), {{40, 1}}},
  };
  for (const Case &c : cases) {
    for (bool in_place : {false, true}) {
      std::string shown;
      for (char ch : c.raw) shown += ch == '\r' ? std::string("\\r") : std::string(1, ch);
      SCOPED_TRACE(shown + (in_place ? " in place" : " apart"));
      std::string raw = c.raw, apart(c.raw.size(), '-');
      char *out = in_place ? &raw[0] : &apart[0];
      std::vector<std::pair<size_t, size_t>> notes;
      const size_t n = drop_carriage_returns(raw.data(), raw.size(), out, [&](size_t at, size_t dropped) {
        notes.emplace_back(at, dropped);
        return true;
      });
      EXPECT_EQ(std::string(out, n), c.text);
      EXPECT_EQ(notes, c.notes);
    }
  }
  // A note that fails (memory ran out) ends the move.
  std::string raw = "a\rb\rc";
  EXPECT_EQ(drop_carriage_returns(raw.data(), raw.size(), &raw[0], [](size_t, size_t) { return false; }),
            SIZE_MAX);
}

TEST(TextCook, TextEndsAtTheFirstCtrlZ) {
  EXPECT_EQ(before_ctrl_z("ab\x1a" "cd\x1a", 6), 2u);
  EXPECT_EQ(before_ctrl_z("\x1a", 1), 0u);
  EXPECT_EQ(before_ctrl_z("abc", 3), 3u);
}

}  // namespace
}  // namespace kolvu
