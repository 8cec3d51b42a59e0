// The lexical layer's rules one by one, and the names the complete mode
// finds on shapes that once lost them (each row a fault seen in real code).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kolvu/bytes.h"
#include "kolvu/scan.h"
#include "scanner/lexer.h"
#include "scanner/scanner.h"

namespace kolvu {
namespace {

const unsigned char *kSjis = byte_class;

struct PlaceCase {
  const char *what;
  std::string text;
  size_t at;    // where the rule is asked
  long want;    // what it answers (a position, or 0/1)
};

TEST(Lexer, SecondBytesPairFromTheFirstLeadOfARun) {
  const PlaceCase cases[] = {
      {"trail 0x5C of one character", "\x94\x5c", 1, 1},
      {"after two characters, a plain backslash", "\x83\x41\x83\x41\\", 4, 0},
      {"trail of the second of two", "\x89\xc2\x94\x5c", 3, 1},
      {"a lead used as a trail", "\x83\x83\x5c", 2, 0},
      {"ASCII before", "ab\\", 2, 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(lex::second_byte(kSjis, c.text.data(), c.text.data() + c.at), c.want != 0) << c.what;
  // Without lead bytes (UTF-8, EUC-JP) nothing is a second byte.
  std::string t = "\x94\x5c";
  EXPECT_FALSE(lex::second_byte(kNoLeads, t.data(), t.data() + 1));
}

TEST(Lexer, LiteralsEndAsTheToolReadsThem) {
  const PlaceCase cases[] = {
      {"closing quote", "\"ab\" x", 0, 4},
      {"escaped quote", "\"a\\\"b\" x", 0, 6},
      {"trail 0x5C escapes nothing", "\"\x89\xc2\x94\x5c\" x", 0, 6},
      {"a quote after a lead byte still closes", "\"\xfa\"\x9f'", 0, 3},
      {"the line's end ends it", "'it\nx", 0, 3},
      {"no closing: the '\\n'", "\"abc\nx", 0, 4},
      {"a splice carries it on", "\"ab\\\ncd\" x", 0, 8},
      {"an escaped lead byte begins a character", "\"\\\x83\\\" x", 0, 5},
      {"unclosed at the end of the text", "\"abc", 0, 4},
  };
  for (const auto &c : cases)
    EXPECT_EQ(lex::literal_end(kSjis, c.text.data(), c.at, c.text.size()),
              static_cast<size_t>(c.want))
        << c.what;
}

TEST(Lexer, DigitSeparatorsAndDirectives) {
  const PlaceCase seps[] = {
      {"1'000", "x = 1'000;", 5, 1},      {"0x1'FF", "0x1'FF", 3, 1},
      {"L'x' is a literal", "L'x'", 1, 0}, {"u8'y' is a literal", "u8'y'", 2, 0},
      {"isn't", "isn't", 3, 0},           {"a run after a trail digit", "\x82\x30'1", 2, 0},
  };
  for (const auto &c : seps)
    EXPECT_EQ(lex::digit_separator(kSjis, c.text.data(), c.text.data() + c.at,
                                   c.text.data() + c.text.size()),
              c.want != 0)
        << c.what;

  // Where a directive ends: just past its last '\n'.
  const PlaceCase ends[] = {
      {"a trail 0x5C in its line comment", "#define A 1\t// \x94\x5c\n#define B 2\n", 1, 18},
      {"a real splice", "#define A \\\n  1\nx\n", 1, 16},
      {"a trigraph splice", "#define A ?\?/\n  1\nx\n", 1, 18},
      {"a comment over lines", "#define A /* a\nb */ 1\nx\n", 1, 22},
      {"a quote in its comment", "#error it's /* x */\nint a;\n", 1, 20},
      {"a digit separator", "#if X == 1'0\nint a;\n", 1, 13},
  };
  for (const auto &c : ends)
    EXPECT_EQ(lex::directive_end(kSjis, c.text.data(), 0, c.at, c.text.size(), nullptr),
              static_cast<size_t>(c.want))
        << c.what;

  struct If0 {
    const char *expr;
    bool want;
  };
  for (const If0 &c : {If0{" 0\n", true}, If0{" 0 /* off */\n", true}, If0{" 0 // off\n", true},
                       If0{" 00\n", false}, If0{" 0x1\n", false}, If0{" 0 && X\n", false},
                       If0{"0", true}})
    EXPECT_EQ(lex::if0_expression(c.expr, 0, std::strlen(c.expr)), c.want) << c.expr;
}

TEST(Lexer, CharacterLengthsForColumns) {
  struct Len {
    Encoding e;
    const char *text;
    size_t want;
  };
  const Len cases[] = {
      {Encoding::kShiftJis, "\x94\x5c", 2}, {Encoding::kShiftJis, "\x94\n", 1},
      {Encoding::kShiftJis, "\xb1x", 1},    {Encoding::kEucJp, "\xc7\xbd", 2},
      {Encoding::kEucJp, "\x8e\xb1", 2},    {Encoding::kEucJp, "\x8f\xa1\xa1", 3},
      {Encoding::kUtf8, "\xe8\x83\xbd", 3}, {Encoding::kUtf8, "\xe8\x83", 1},
      {Encoding::kUtf8, "a", 1},
  };
  for (const Len &c : cases)
    EXPECT_EQ(encoded_char_length(c.e, c.text, std::strlen(c.text)), c.want) << c.text;
}

// The names the complete mode gives a text: "kind:name@line", space-separated.
std::string names_of(const std::string &src) {
  ScanOptions opt;
  opt.kinds = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;
  opt.encoding = Encoding::kShiftJis;
  opt.complete = true;
  std::string out;
  scan_definitions(src.data(), src.size(), opt, [&](const Definition &d) {
    for (size_t i = 0; i < d.name_count; ++i) {
      if (!out.empty()) out += ' ';
      out += std::string(1, kind_name(d.names[i].kind)[0]) + ':' + std::string(d.names[i].name) + '@' +
             std::to_string(d.names[i].line);
    }
  });
  return out;
}

struct NameCase {
  const char *what;
  std::string src;
  const char *want;
};

TEST(CompleteScan, NamesOnceLost) {
  const NameCase cases[] = {
      {"a trail 0x5C ends a define's line comment", "#define DAME1 1\t// \x94\x5c\n#define DAME2 2\n",
       "d:DAME1@1 d:DAME2@2"},
      {"directives after comments", "/* c */ #define THREE 3\n/* a\nb */ #define AFTER_ML 2\n",
       "d:THREE@1 d:AFTER_ML@3"},
      {"a directive after code is none", "int x; #define NOT 1\n", ""},
      {"digit separators in a body and a declarator",
       "typedef struct { char a[1'000]; } T;\ntypedef char buf_t[0x1'00], *pbuf_t;\n",
       "t:T@1 t:buf_t@2 t:pbuf_t@2"},
      {"a trail 0x5C in a define inside a typedef",
       "typedef unsigned long\n#define KANJI_NOU \x94\x5c\nULONG;\n",
       "t:ULONG@3 d:KANJI_NOU@2"},
      {"'$' in names", "#define sys$assign SYS$ASSIGN\ntypedef int vms$t;\nstruct a$b { int x; };\n",
       "d:sys$assign@1 t:vms$t@2 s:a$b@3"},
      {"groups between typedef struct and the tag",
       "typedef struct DECLSPEC_ALIGN(16) _M128A { int a; } M128A, *PM128A;\n"
       "typedef struct __attribute__((packed)) PK { int a; } PK_T;\n"
       "typedef union __declspec(align(16)) DS { int a; } DS_T;\n",
       "s:_M128A@1 t:M128A@1 t:PM128A@1 s:PK@2 t:PK_T@2 u:DS@3 t:DS_T@3"},
      {"a head repeated across #if/#else",
       "#ifdef A\ntypedef struct S {\n#else\ntypedef union S {\n#endif\nint x;\n} T, *PT;\n",
       "s:S@2 t:T@7 t:PT@7"},
      {"an IDL attribute list", "typedef\n#ifdef __WIDL__\n[context_handle]\n#endif\nvoid *HPEEREVENT;\n",
       "t:HPEEREVENT@5"},
      {"parameter lists in a macro",
       "typedef int (*alloc_func) OF((int a, int b));\n"
       "typedef voidpf (ZCALLBACK *open_file_func) OF((voidpf o, const char *f));\n"
       "typedef void (*sig_t) __P((int));\n",
       "t:alloc_func@1 t:open_file_func@2 t:sig_t@3"},
      {"_Bool as a name", "typedef unsigned char _Bool;\ntypedef _Bool flag_t;\n",
       "t:_Bool@1 t:flag_t@2"},
      {"digraphs and trigraphs", "%:define DIG 1\n?\?=define TRI 1\nstruct dg <% int a; %>;\n",
       "d:DIG@1 d:TRI@2 s:dg@3"},
      {"C++ keywords as C names", "struct alignas {int x;} v1;\nstruct final {int y;} v2;\n"
       "struct X final {int z;};\n",
       "s:alignas@1 s:final@2 s:X@3"},
      {"an attribute list before a tag", "union [[gnu::may_alias]] _Any_data\n{ int a; };\n",
       "u:_Any_data@1"},
      {"#pragma weak", "#pragma weak NAMEW = OTHER\n#pragma weak ALONE\n#pragma once\n",
       "d:NAMEW@1 d:ALONE@2"},
      {"a quote after a lead byte closes its literal",
       "union \"\n\"\xfa\"\x9f'\";\n{\n#define AFTER 1\n", "d:AFTER@4"},
  };
  for (const NameCase &c : cases) EXPECT_EQ(names_of(c.src), c.want) << c.what;
}

}  // namespace
}  // namespace kolvu
