// kAuto's guess: texts in each encoding, texts valid in two, broken and
// unfinished texts; the same answer fed whole or in pieces cut anywhere,
// and through both of the library's modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "kolvu/scan.h"
#include "scanner/encoding_guess.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

const Encoding kSjis = Encoding::kShiftJis, kUtf8 = Encoding::kUtf8, kEuc = Encoding::kEucJp;

// n hiragana in Shift_JIS or EUC-JP, in a comment.
std::string kana(int n, char lead, char trail) {
  std::string s = "/* ";
  for (int i = 0; i < n; ++i) s += {lead, trail};
  return s + " */\n";
}
std::string sjis_kana(int n) { return kana(n, '\x82', '\xA0'); }
std::string euc_kana(int n) { return kana(n, '\xA4', '\xA2'); }

struct Case {
  const char *why;
  std::string text;
  Encoding want;
};

const Case kCases[] = {
    {"nothing", "", kSjis},
    {"ASCII only", "#define A 1\n", kSjis},
    // One encoding only.
    {"UTF-8", "#define U \"\xE8\xA1\xA8\"\n", kUtf8},                        // 表
    {"UTF-8 kana", "/* \xE3\x81\x82\xE3\x82\xA2 */\n", kUtf8},               // あア
    {"UTF-8, four bytes", "#define U \"\xF0\x9F\x98\x80\"\n", kUtf8},
    {"Shift_JIS, a backslash as second byte", "#define S \"\x95\x5C\"\n", kSjis},  // 表
    {"Shift_JIS kana", "/* \x82\xA0\x83\x41 */\n", kSjis},                    // あア
    {"EUC-JP kana and kanji", "#define M \"\xA5\xBD\xA5\xD5\xA5\xC8\xB4\xC1\"\n", kEuc},  // ソフト漢
    {"EUC-JP, three bytes then kana", "/* \x8F\xB0\xA1\xA4\xA2\xA4\xA4 */\n", kEuc},
    // Valid in two: scored.
    {"UTF-8 that is EUC-JP and Shift_JIS too", "caf\xC3\xA9\n", kUtf8},
    {"EUC-JP kana, half-width katakana in Shift_JIS", "/* \xA4\xA2\xA4\xA4 */\n", kEuc},
    {"half-width katakana, a kanji in EUC-JP: a tie", "\"\xB1\xB2\"\n", kSjis},
    {"an EUC-JP kanji, two half-width katakana in Shift_JIS: a tie", "/* \xCD\xD1 */\n", kSjis},
    {"a common Shift_JIS kanji, half-width katakana in EUC-JP", "/* \x8E\xA9 */\n", kSjis},
    // Broken.
    {"EUC-JP whose last kana takes the quote in Shift_JIS", "{\"\xA4\xE8\"},\n", kEuc},
    {"EUC-JP with a stray byte", "/* \xA4\xA2\xA4\xA4\xA4\xA6\xA4\xA8 \x80 */\n", kEuc},
    {"UTF-8 surrogate", "#define U \"\xED\xA0\x80\"\n", kSjis},
    {"UTF-8 overlong", "#define U \"\xC0\xAF\"\n", kSjis},
    {"UTF-8 above U+10FFFF", "#define U \"\xF4\x90\x80\x80\"\n", kSjis},
    {"a UTF-8 lead byte then ASCII", "#define U \"\xC3\" \"\xA9\"\n", kSjis},
    {"unfinished at the end", "#define U \"\xE8\xA1", kSjis},
    // The text as read: no carriage return, nothing after a Ctrl-Z.
    {"carriage returns inside a UTF-8 character", "#define U \"\xE8\r\xA1\r\r\xA8\"\r\n", kUtf8},
    {"carriage returns inside an EUC-JP character", "/* \xA4\r\xA2\xA4\r\xA4 */\r\n", kEuc},
    {"bad bytes after a Ctrl-Z", "#define U \"\xE8\xA1\xA8\"\n\x1A\xFF\xFF", kUtf8},
    {"a carriage return and a Ctrl-Z", "#define U \"\xE8\xA1\xA8\"\r\n\x1A\xFF", kUtf8},
    {"EUC-JP after a Ctrl-Z", "#define A 1\n\x1A\xA4\xA2\xA4\xA4", kSjis},
    {"a Ctrl-Z inside a character", "#define U \"\xE8\xA1\x1A\xA8\"\n", kSjis},
    {"a character across the guess's blocks", std::string(16383, 'x') + "\xA4\xA2\xA4\xA4", kEuc},
    {"carriage returns across its blocks", std::string(16383, '\r') + "\xA4\r\xA2\xA4\xA4", kEuc},
    // A reading that leads the other by 256 has decided: the rest is not read.
    {"Shift_JIS kana, then more EUC-JP kana", sjis_kana(30) + euc_kana(1000), kSjis},
    {"a few Shift_JIS kana, then more EUC-JP kana", sjis_kana(5) + euc_kana(1000), kEuc},
    {"EUC-JP kana, then more Shift_JIS kana", euc_kana(200) + sjis_kana(100), kEuc},
};

TEST(EncodingGuess, EachTextWholeInPiecesAndThroughTheLibrary) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.why);
    const std::string &t = c.text;
    EXPECT_EQ(guess_encoding(t.data(), t.size()), c.want);
    for (size_t block : {1, 2, 3, 5, 4096}) {
      EncodingGuess guess;
      for (size_t at = 0; at < t.size(); at += block)
        guess.feed(t.data() + at, std::min(block, t.size() - at));
      EXPECT_EQ(guess.encoding(), c.want) << "fed " << block << " bytes at a time";
    }
    for (bool complete : {false, true}) {
      ScanOptions options;
      options.complete = complete;
      ScanResult r = scan_definitions(t.data(), t.size(), options, [](const Definition &) {});
      EXPECT_EQ(r.encoding, c.want) << (complete ? "complete mode" : "the tool's mode");
    }
  }
}

// The start of a longer text: a character cut at its end counts neither
// way, where a text that ends there has a broken character.
TEST(EncodingGuess, TheStartOfALongerText) {
  const struct {
    std::string text;
    Encoding whole, start;
  } cases[] = {
      {"\xE3\x81\x82\xE3\x81", kSjis, kUtf8},  // あ and two bytes of the next
      {"\xA4\xA2\xA4", kSjis, kEuc},           // EUC-JP あ and a lead byte
      {"\x82\xA0\x82", kSjis, kSjis},          // Shift_JIS あ and a lead byte
      {"#define A 1\n", kSjis, kSjis},
  };
  for (const auto &c : cases) {
    EncodingGuess guess;
    guess.feed(c.text.data(), c.text.size());
    EXPECT_EQ(guess.encoding(), c.whole) << testing::PrintToString(c.text);
    EXPECT_EQ(guess.encoding_of_start(), c.start) << testing::PrintToString(c.text);
  }
}

// A pipe is judged by its first megabyte, though a character is cut at its
// end; a regular file with the same bytes, whole.
TEST(EncodingGuess, APipeByItsFirstMegabyte) {
  std::string src;
  while (src.size() < (1u << 20) - 40) src += "#define ASCII_ONLY 1\n";
  src += "#define U \"";
  src += std::string((1u << 20) - 1 - src.size(), 'x');
  src += "\xE8\xA1\xA8\"\n";           // UTF-8, cut after its first byte
  src += "#define S \"\x95\x5C\"\n";  // Shift_JIS, after the first megabyte
  ScanOptions opt;
  opt.complete = true;
  kolvu_test::TempDir dir;
  std::string path = dir.write("late.h", src);
  ScanResult file = scan_definitions_file(path.c_str(), opt, [](const Definition &) {});
  EXPECT_EQ(file.status, ScanStatus::kOk);
  EXPECT_EQ(file.encoding, kSjis);

  kolvu_test::FedPipe pipe(src);
  ScanResult piped = scan_definitions_fd(pipe.fd(), opt, [](const Definition &) {});
  EXPECT_EQ(piped.status, ScanStatus::kOk);
  EXPECT_EQ(piped.encoding, kUtf8);
}

}  // namespace
}  // namespace kolvu
