// kAuto's guess made over a text fed in pieces is the one made over the
// text whole, for texts cut anywhere: carriage returns inside a character,
// a Ctrl-Z before bad bytes, characters left unfinished.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "kolvu/scan.h"
#include "scanner/complete_stream.h"

namespace kolvu {
namespace {

TEST(Utf8Guess, TheSameAsTheWholeScanWhereverThePiecesCut) {
  const std::string cases[] = {
      "",
      "#define A 1\n",                              // ASCII only: Shift_JIS
      "#define U \"\xE8\xA1\xA8\"\n",               // UTF-8
      "#define S \"\x95\x5C\"\n",                   // Shift_JIS
      "#define U \"\xE8\r\xA1\r\r\xA8\"\r\n",       // carriage returns inside a character
      "#define U \"\xE8\xA1\xA8\"\n\x1A\xFF\xFF",   // bad bytes after a Ctrl-Z
      "#define U \"\xE8\xA1\x1A\xA8\"\n",           // a Ctrl-Z inside a character
      "\x1A\xE8\xA1\xA8",                           // nothing before the Ctrl-Z
      "#define U \"\xE8\xA1",                       // unfinished at the end
      "#define U \"\xF0\x9F\x98\x80\"\n",           // four bytes
      "#define U \"\xF4\x90\x80\x80\"\n",           // above U+10FFFF
      "#define U \"\xED\xA0\x80\"\n",               // a surrogate
      "#define U \"\xC0\xAF\"\n",                   // overlong
      "#define U \"\xC3\" \"\xA9\"\n",              // a lead byte then ASCII
      std::string(5000, 'x') + "\xE8\xA1\xA8",
  };
  for (const std::string &text : cases) {
    ScanOptions options;  // the tool's mode reads the text whole
    ScanResult want = scan_definitions(text.data(), text.size(), options, [](const Definition &) {});
    ASSERT_EQ(want.status, ScanStatus::kOk);
    for (size_t block : {1, 2, 3, 5, 4096}) {
      Utf8Guess guess;
      for (size_t at = 0; at < text.size(); at += block)
        guess.feed(text.data() + at, std::min(block, text.size() - at));
      EXPECT_EQ(guess.encoding(), want.encoding)
          << testing::PrintToString(text) << " fed " << block << " bytes at a time";
    }
  }
}


}  // namespace
}  // namespace kolvu
