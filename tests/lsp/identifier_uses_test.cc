#include "lsp/identifier_uses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kolvu {
namespace {

// Each use as "name@line:column", and '!' after it when the line holds more
// than ASCII before it.
std::string uses_of(const std::string &src, Encoding enc) {
  std::string out;
  for (const IdentifierUse &u : identifier_uses(src, enc)) {
    if (!out.empty()) out += ' ';
    out += src.substr(u.offset, u.length) + "@" + std::to_string(u.line) + ":" + std::to_string(u.column);
    if (!u.ascii_prefix) out += '!';
  }
  return out;
}

struct Case {
  const char *what;
  std::string src;
  Encoding enc;
  const char *uses;
};

TEST(IdentifierUses, CodeOutsideCommentsAndLiterals) {
  const Encoding sj = Encoding::kShiftJis, u8 = Encoding::kUtf8;
  const Case cases[] = {
      {"plain code", "int a = b + c1;\n", sj, "int@1:1 a@1:5 b@1:9 c1@1:13"},
      {"comments", "/* x */ y // z\n/* p\nq */ r\n", sj, "y@1:9 r@3:6"},
      {"literals", "s = \"a b\" 'c' t;\n", sj, "s@1:1 t@1:15"},
      {"an escaped quote", "u = \"a\\\"v\" w;\n", sj, "u@1:1 w@1:12"},
      {"a literal ends with its line", "x = \"open\ny;\n", sj, "x@1:1 y@2:1"},
      {"literal prefixes", "L\"a\" u8\"b\" U'c' u'd' Lx;\n", sj, "Lx@1:22"},
      {"numbers", "0x1Fu + 1e+5 + .5f + 1'000 + 0b1 + n2;\n", sj, "n2@1:36"},
      {"directives: the word is no use", "#define M(a) a##b\n  #  ifdef M\n", sj,
       "M@1:9 a@1:11 a@1:14 b@1:17 M@2:12"},
      {"a header's name is no use", "#include <sys/types.h>\n#include \"a b.h\" /* c */\nz\n", sj, "z@3:1"},
      {"#include_next and #import too", "#include_next <x.h>\n#import <y.h>\nz\n", sj, "z@3:1"},
      {"a '#' inside a line is no directive", "a # define b\n", sj, "a@1:1 define@1:5 b@1:12"},
      {"a splice carries a directive on", "#define A \\\n  B\n#if C\n", sj, "A@1:9 B@2:3 C@3:5"},
      {"a splice carries a line comment on", "// x \\\n y\nz\n", sj, "z@3:1"},
      {"a '#' after a splice is no directive", "a \\\n#define b\n", sj, "a@1:1 define@2:2 b@2:9"},
      {"'$' in names", "$a b$c\n", sj, "$a@1:1 b$c@1:4"},
      {"digraph directive", "%:define D 1\n", sj, "D@1:10"},
      // Shift_JIS: second bytes that look like a backslash, a brace or a
      // letter are the character's; a quote after a lead byte is a quote.
      {"0x5C ends a line comment, no splice", "// \x83\x5C\nnext;\n", sj, "next@2:1"},
      {"0x5C before a literal's quote", "s = \"\x83\x5C\" after;\n", sj, "s@1:1 after@1:10!"},
      {"0x5C before a char's quote", "c = '\x95\x5C' d;\n", sj, "c@1:1 d@1:10!"},
      {"0x5C ends a directive", "#define K \"\x83\x5C\"\nL\n", sj, "K@1:9 L@2:1"},
      {"a quote after a lead byte closes a literal", "s = \"\x81\x22 q \"x\";\n", sj, "s@1:1 q@1:9!"},
      {"an apostrophe after a lead byte opens a literal", "a \x81' b\nc\n", sj, "a@1:1 c@2:1"},
      {"no name inside a character", "\x83\x41\x83\x43 B\n", sj, "B@1:6!"},
      {"Japanese text before a name", "/* \x8a\xbf\x8e\x9a */ NAME;\n", sj, "NAME@1:12!"},
      {"UTF-8 reads bytes as they are", "/* \xe6\xbc\xa2 */ N \xe5\xad\x97\\\nM\n", u8,
       "N@1:11! M@2:1"},
      {"CR LF lines", "a\r\nb\r\n", sj, "a@1:1 b@2:1"},
  };
  for (const Case &c : cases) EXPECT_EQ(uses_of(c.src, c.enc), c.uses) << c.what;
}

TEST(IdentifierUses, AnUnclosedCommentOrLiteralEndsTheText) {
  EXPECT_EQ(uses_of("a /* b", Encoding::kShiftJis), "a@1:1");
  EXPECT_EQ(uses_of("a \"b", Encoding::kShiftJis), "a@1:1");
  EXPECT_EQ(uses_of("a \x83", Encoding::kShiftJis), "a@1:1");
  EXPECT_EQ(uses_of("", Encoding::kShiftJis), "");
}

}  // namespace
}  // namespace kolvu
