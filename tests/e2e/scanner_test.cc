// The definition scanner end to end. Every expected output is worked out
// by hand from the scanning rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/golden.h"

namespace kolvu_test {
namespace {

TEST(Defines, SingleAndContinued) {
  const std::string src =
      "#define A 1\n"
      "#define B \\\n"
      "  2\n"
      "typedef int T;\n"
      "struct s { int a; };\n";
  expect_scan({}, src, "#define A 1\n#define B \\\n  2\n");
  expect_scan({"-d"}, src, "#define A 1\n#define B \\\n  2\n");
  expect_scan({"-t"}, src, "typedef int T;\n");
}

TEST(Defines, WrittenFromTheHashWithTheirComments) {
  expect_scan({"-d"}, "#define A 1 /* c */\n", "#define A 1 /* c */\n");
  expect_scan({"-d"}, "  #define A 1\n", "#define A 1\n");
  expect_scan({"-d"}, "#  define A 1\n", "#  define A 1\n");
  expect_scan({"-d"}, "#\tdefine\tA 1\n", "#\tdefine\tA 1\n");
  expect_scan({"-d"}, "x = 1; #define A 1\n", "#define A 1\n");
  expect_scan({"-d"}, "#defineA 1\n#include <a.h>\n#define\n", "#define\n");
}

TEST(Defines, ContinuationRunsUntilALineWithoutBackslash) {
  expect_scan({"-d"}, "#define M(a) \\\n  do { \\\n    f(a); \\\n  } while (0)\nint x;\n",
       "#define M(a) \\\n  do { \\\n    f(a); \\\n  } while (0)\n");
  // A blank continuation line ends the define.
  expect_scan({"-d"}, "#define E \\\n\n#define F 1\n", "#define E \\\n\n#define F 1\n");
}

TEST(Defines, NotRecognizedInsideCommentsAndLiterals) {
  expect_scan({"-d"}, "/* #define A 1 */\n// #define B 2\nchar *s = \"#define C 3\";\n#define D 4\n",
       "#define D 4\n");
  expect_scan({"-d"}, "/*\n#define A 1\n*/#define B 2\n", "#define B 2\n");
  expect_scan({"-t"}, "char *s = \"typedef int T;\";\n", "");
}

TEST(Defines, StringLiteralsAndEscapes) {
  expect_scan({"-d"}, "#define S \"a\\\"b\" x\n", "#define S \"a\\\"b\" x\n");
  // A backslash that ends a line inside a literal is a splice: the define
  // goes on, each '\n' is written once, and the literal stays open into the
  // next line, which closes it.
  expect_scan({"-ds"}, "#define S \"abc\\\ndef struct x { int a; };\"\nstruct y { int b; };\n",
       "#define S \"abc\\\ndef struct x { int a; };\"\nstruct y { int b; };\n");
  expect_scan({"-d"}, "#define S \"abc\\\n#define U 2 \"\n#define V 3\n",
       "#define S \"abc\\\n#define U 2 \"\n#define V 3\n");
  // Inside a struct body the spliced line is written once, with no empty
  // line after it.
  expect_scan({"-s"}, "struct s {\n  char *m = \"a\\\nb\";\n};\n",
       "struct s {\n  char *m = \"a\\\nb\";\n};\n");
  // A line that ends in an escaped backslash ends in a splice all the
  // same, as a compiler joins the lines before it reads the literal.
  expect_scan({"-d"}, "#define S \"a\\\\\nb\"\n#define T 1\n", "#define S \"a\\\\\nb\"\n#define T 1\n");
  // A character literal with an escaped quote closes where it should.
  expect_scan({"-ds"}, "#define Q '\\'' struct q {\nstruct r { int c; };\n",
       "#define Q '\\'' struct q {\nstruct r { int c; };\n");
}

TEST(Literals, EndWithTheirLineWithoutASplice) {
  // A lone apostrophe in a directive, prose or a digit separator opens a
  // literal that its line ends.
  expect_scan({"-dt"},
       "#error This compiler isn't supported\n#define A 1\nlong odd = 1'000;\ntypedef int T;\n",
       "#define A 1\ntypedef int T;\n");
  expect_scan({"-s"}, "#if 0\nit's prose\n#endif\nstruct s { int a; };\n", "struct s { int a; };\n");
  // A selected define whose line ends in an open literal ends there too.
  expect_scan({"-d"}, "#define Q \"open\n#define R 2\n", "#define Q \"open\n#define R 2\n");
}

TEST(DoubleByte, CharactersInARowAreEachRecognized) {
  // "C:\\データ\\": タ is 0x83 0x5E, after two other characters; the escape
  // that follows it is one, so the literal closes at its quote.
  expect_scan({"-ds"},
       "const char *dir = \"C:\\\\\x83\x66\x81\x5b\x83\x5e\\\\\";\n#define AFTER 1\n"
       "struct after { int a; };\n",
       "#define AFTER 1\nstruct after { int a; };\n");
  // "可能": the second character's trail byte 0x5C escapes nothing.
  expect_scan({"-d"}, "s = \"\x89\xC2\x94\x5C\";\n#define AFTER 1\n", "#define AFTER 1\n");
  expect_scan({"-d"}, "#define S \"\x95\x5C\"\n#define T 2\n", "#define S \"\x95\x5C\"\n#define T 2\n");
  // A backslash right after a character is a backslash: here it escapes the
  // quote, and the literal runs to the end of its line.
  expect_scan({"-ds"}, "#define S \"\x82\xA0\\\"\nstruct x { int a; };\n",
       "#define S \"\x82\xA0\\\"\nstruct x { int a; };\n");
  expect_scan({"-ds"}, "#define S \"\x82\xA0\\\" struct y {\nint b; };\n", "#define S \"\x82\xA0\\\" struct y {\n");
}

TEST(DoubleByte, DefineEndingInABackslashContinuesUnlessItIsASecondByte) {
  expect_scan({"-d"}, "#define A \x83\x41\\\n  next\nint x;\n", "#define A \x83\x41\\\n  next\n");
  expect_scan({"-d"}, "#define J \x82\xA0\x82\xA0\\\n  more\nint x;\n",
       "#define J \x82\xA0\x82\xA0\\\n  more\n");
  // A trail byte 0x5C at the end of the line does not continue it.
  expect_scan({"-d"}, "#define A \x83\x41\x95\x5c\nB\n", "#define A \x83\x41\x95\x5c\n");
  expect_scan({"-d"}, "#define K \x95\x5C\nint x;\n", "#define K \x95\x5C\n");
}

TEST(DoubleByte, TrailBytesAreNeverBraces) {
  expect_scan({"-s"}, "struct s { \x81\x40\x81\x7d;\nint a; };\n", "struct s { \x81\x40\x81\x7d;\nint a; };\n");
  expect_scan({"-s"}, "struct s {\n\x82\xA0\x82\x7D;\n};\n", "struct s {\n\x82\xA0\x82\x7D;\n};\n");
  expect_scan({"-s"}, "struct s {\n\x82\x7D;\n};\n", "struct s {\n\x82\x7D;\n};\n");
}

TEST(DoubleByte, AnEscapedByteCanBeginACharacter) {
  // The escaped 0x81 begins a character whose second byte is 0x5C, which
  // escapes nothing: the quote after it closes the literal.
  expect_scan({"-s"}, "char *s = \"\\\x81\x5C\"; struct y { int b; };\n", "struct y { int b; };\n");
}

TEST(DoubleByte, ForwardLookStepsOverTrailBytes) {
  // The trail byte 0x7B of 0x83 0x7B is no '{' for the forward look, so the
  // ';' decides: a declaration, not a definition.
  expect_scan({"-s"}, "struct s \x83\x7B *p;\n", "");
  expect_scan({"-s"}, "struct s \xB1{ int a; };\n", "struct s \xB1{ int a; };\n");
}

TEST(Structs, OneLineDefinitionAndDeclarations) {
  expect_scan({"-s"}, "struct s { int a; };\n", "struct s { int a; };\n");
  expect_scan({"-s"}, "struct s *p;\nvoid f(struct s *p) {\n  return;\n}\n", "");
  expect_scan({"-s"}, "struct{ int a; } x;\n", "struct{ int a; } x;\n");
  // The byte before the keyword is not looked at.
  expect_scan({"-s"}, "mystruct x {\n};\n", "struct x {\n};\n");
  // The rest of the line after the closing ';' is written with it.
  expect_scan({"-s"}, "struct s { int a; }; int after;\n", "struct s { int a; }; int after;\n");
}

TEST(Structs, TwoDefinitionsOnOneLine) {
  expect_scan({"-s"}, "struct a {int x;}; struct b {int y;};\n",
       "struct a {int x;}; struct b {int y;};\nstruct b {int y;};\n");
}

TEST(Structs, MultiLineBody) {
  expect_scan({"-s"}, "int g;\nstruct point {\n  int x;  /* } */\n  int y;\n} origin;\nint h;\n",
       "struct point {\n  int x;  /* } */\n  int y;\n} origin;\n");
}

TEST(Unions, InsideParenthesesNoUnionStarts) {
  expect_scan({"-u"}, "void f(union u x) {\n  x.a = 1;\n}\nint y;\nint z;\n", "");
  expect_scan({"-u"}, "#define SZ (sizeof(union u))\nint a;\nunion v { int b; };\n",
       "union v { int b; };\n");
  expect_scan({"-u"}, "union u { int a; float b; };\n", "union u { int a; float b; };\n");
  expect_scan({"-u"}, "f(1);union u {\nint a; };\n", "union u {\nint a; };\n");
}

TEST(Typedefs, SimpleAndEnumWithoutAList) {
  expect_scan({"-t"}, "typedef unsigned long ULONG;\n", "typedef unsigned long ULONG;\n");
  expect_scan({"-t"}, "typedef enum { A } E;\n", "");
  expect_scan({"-t"}, "typedef int\n  T2;\n", "");
  // Without a list the typedef line is written to its end.
  expect_scan({"-t"}, "typedef int T; int x;\n", "typedef int T; int x;\n");
  expect_scan({"-t"}, "typedefint T;\n", "");
}

TEST(Typedefs, StructTypedefs) {
  expect_scan({"-t"}, "typedef struct {\n  int a;\n} T;\nint x;\n", "typedef struct {\n  int a;\n} T;\n");
  expect_scan({"-t"}, "typedef struct tag *TP;\n", "typedef struct tag *TP;\n");
  // "structure_t" also takes the struct branch.
  expect_scan({"-t"}, "typedef structure_t X;\n", "typedef structure_t X;\n");
}

TEST(Typedefs, HeldBackUntilTheirNameIsKnown) {
  const std::string three = "typedef struct {\n  int a;\n} T;\n";
  expect_scan({"-t", "-l", "T"}, three, three);
  expect_scan({"-t", "-l", "U"}, three, "");
  expect_scan({"-t", "-l", "T"}, "typedef int T; int x;\n", "typedef int T; int x;\n");
  expect_scan({"-t", "-l", "x"}, "typedef int T; int x;\n", "");
}

TEST(Typedefs, NameAtTheStartOfALine) {
  expect_scan({"-t", "-l", "Point"}, "typedef struct {\n  int x;\n}\nPoint;\n",
       "typedef struct {\n  int x;\n}\nPoint;\n");
}

TEST(Typedefs, CaptureThatDidNotStartStillEndsAtTheNextSemicolon) {
  // The enum typedef does not start, but capture is on: at its ';' the name
  // E is wanted, so the (empty) capture and the rest of the line go out.
  expect_scan({"-t", "-l", "E"}, "typedef enum { A } E;\n", "\n");
  expect_scan({"-t", "-l", "X"}, "typedef enum { A } E;\n", "");
}

TEST(Typedefs, TypedefAndStructOnOneLine) {
  expect_scan({"-ts"}, "typedef struct a {int x;} A; struct b {int y;};\n",
       "typedef struct a {int x;} A; struct b {int y;};\n"
       "typedef struct a {int x;} A; struct b {int y;};\n");
  // With struct but without the typedef kinds the typedef is written from
  // its keyword.
  expect_scan({"-s"}, "typedef struct tag {\n  int a;\n} name;\n", "typedef struct tag {\n  int a;\n} name;\n");
}

TEST(Typedefs, LongCaptureIsWrittenWhole) {
  std::string body;
  for (int i = 0; body.size() < 150 * 1024; ++i) body += "  int field" + std::to_string(i) + ";\n";
  std::string td = "typedef struct {\n" + body + "} Big;\n";
  expect_scan({"-t", "-l", "Big"}, "int x;\n" + td + "int y;\n", td);
}

TEST(Banner, BeforeTheFirstOutputOfAFile) {
  expect_scan({"-N"}, "int x;\n", "");
  expect_scan({"-N", "-s"}, "typedef struct t { int a; } T;\n",
       "/* === a.h === */\ntypedef struct t { int a; } T;\n");
  // Written also when the first byte goes into the capture and is dropped.
  expect_scan({"-t", "-N", "-l", "Y"}, "typedef int X;\n", "/* === a.h === */\n");
}

TEST(LineEnds, LastLineWithoutNewline) {
  expect_scan({"-s"}, "struct s { int a; };", "struct s { int a; };\n");
  expect_scan({"-d"}, "#define A 1", "#define A 1\n");
  expect_scan({"-t"}, "typedef int T;", "typedef int T;\n");
  expect_scan({"-t", "-l", "T"}, "typedef int T;", "typedef int T;\n");
  expect_run({{"a.h", "struct a { int x; };"}, {"b.h", "struct b { int y; };\n"}},
             {"-s", "a.h", "b.h"}, {"struct a { int x; };\nstruct b { int y; };\n", "", 0});
}

TEST(LineEnds, CarriageReturnsCtrlZAndNul) {
  expect_scan({"-d"}, "#define A 1\r\n#define B \\\r\n 2\r\n", "#define A 1\n#define B \\\n 2\n");
  expect_scan({"-d"}, "#define A 1\n\x1A#define B 2\n", "#define A 1\n");
  expect_scan({"-d"}, std::string("#define A 1\0junk\n#define B 2\n", 29), "#define A 1\n#define B 2\n");
  // A NUL cuts a struct's line: the ';' that ends it is still followed by '\n'.
  expect_scan({"-s"}, std::string("struct s { int a; };\0tail\n", 26), "struct s { int a; };\n");
}

TEST(LineEnds, OverLongLineIsFatal) {
  std::string ok(1021, 'x'), bad(1022, 'y');
  expect_scan({"-d"}, "#define A 1\n" + ok + "\n#define B 2\n", "#define A 1\n#define B 2\n");
  // 1022 bytes and no '\n' at the very end fit too.
  expect_scan({"-d"}, "#define A 1\n" + std::string(1022, 'z'), "#define A 1\n");
  expect_run({{"a.h", "#define A 1\n" + bad + "\n#define B 2\n"}}, {"a.h"},
             {"#define A 1\n", bad + "\n \nError: too long line found!\n", 1});
  // The limit holds inside comments too, where nothing else is looked at.
  std::string c1021(1021, 'c'), c1022(1022, 'c');
  expect_scan({"-d"}, "/*\n" + c1021 + "\n*/\n#define B 2\n", "#define B 2\n");
  expect_run({{"a.h", "#define A 1\n/*\n" + c1022 + "\n*/\n#define B 2\n"}}, {"a.h"},
             {"#define A 1\n", c1022 + "\n \nError: too long line found!\n", 1});
  expect_run({{"a.h", "/*\n" + std::string(3000, 'c')}}, {"a.h"},
             {"", std::string(1023, 'c') + " \nError: too long line found!\n", 1});
  expect_run({{"a.h", std::string(1023, 'w')}}, {"a.h"},
             {"", std::string(1023, 'w') + " \nError: too long line found!\n", 1});
  // A NUL early in a long read: the text ends there, so it is not too long,
  // and the bytes after the first read come back as the next line.
  expect_scan({"-d"}, std::string("#define N 1\0", 12) + std::string(1011, 'p') + "#define T 2\n",
       "#define N 1\n#define T 2\n");
}

struct ScanCase {
  std::vector<std::string> opts;
  std::string in;
  std::string out;
};

TEST(Structs, ALineThatEndsAfterTheTagIsDecidedByWhatFollows) {
  // The first '{', ';' or '(' of code after the keyword decides, past
  // comments, literals, directives and the tag's own group.
  const std::string body = "{\n  int a;\n};\n";
  const ScanCase cases[] = {
      // Functions that return a struct pointer.
      {{"-s"}, "static struct node *\nfind(int k)\n{\n  return 0;\n}\nint x;\n", ""},
      {{"-s"}, "struct node *find(int k)\n{\n  return 0;\n}\n", ""},
      {{"-u"}, "union u\nget(void)\n{\n  return u0;\n}\n", ""},
      // Definitions whose '{' is on a later line.
      {{"-s"}, "struct s\n" + body, "struct s\n" + body},
      {{"-s"}, "struct s /* c */\n#ifdef X\n#endif\n" + body, "struct s /* c */\n#ifdef X\n#endif\n" + body},
      {{"-u"}, "union u\n// { (\n\"({\" {\n};\n", "union u\n// { (\n\"({\" {\n};\n"},
      {{"-s"}, "struct D : public B\n" + body, "struct D : public B\n" + body},
      {{"-s"}, "struct D : B<(1 > 0)>\n" + body, "struct D : B<(1 > 0)>\n" + body},
      {{"-s"}, "struct T<int,\n  long>\n" + body, "struct T<int,\n  long>\n" + body},
      {{"-s"}, "struct ALIGNED(f(8))\n" + body, "struct ALIGNED(f(8))\n" + body},
      {{"-s"}, "struct s \x83\x7B\n" + body, "struct s \x83\x7B\n" + body},
      {{"-s"}, "typedef struct s\n{\n  int a;\n} S;\n", "typedef struct s\n{\n  int a;\n} S;\n"},
      // A declaration, and the end of the file: nothing starts.
      {{"-s"}, "struct s\n  *p;\nint x;\n", ""},
      {{"-s"}, "struct s\n/* { */\n", ""},
      // A struct in a define that is not written no longer swallows what follows.
      {{"-s"}, "#define R struct rec\nint r;\nstruct t { int b; };\n", "struct t { int b; };\n"},
      {{"-ds"}, "#define R struct rec\nint r;\n", "#define R struct rec\n"},
      // Inside a macro's continuation the macro decides: its next line's '{'
      // makes a definition, its end makes none, whatever code follows it.
      {{"-s"}, "#define M(T) \\\n  struct X \\\n  { int a; };\nint z;\n",
       "struct X \\\n  { int a; };\n"},
      {{"-s"}, "#define M(T) \\\n  struct X \\\n  *p;\nstruct Y\n{ int b; };\n",
       "struct Y\n{ int b; };\n"},
      {{"-s"}, "#define TTY struct termios\n#else\nstruct s { int a; };\n",
       "struct s { int a; };\n"},
  };
  for (const ScanCase &c : cases) expect_scan(c.opts, c.in, c.out);
}

TEST(Structs, ParenthesesOpenElsewhereHideNothing) {
  const std::string s = "struct s { int a; };\n";
  const ScanCase cases[] = {
      // A directive's parentheses are its own, continuations included.
      {{"-s"}, "#define LP (\n" + s, s},
      {{"-ds"}, "#define LP (\n" + s, "#define LP (\n" + s},
      {{"-u"}, "#error (it's old\nunion u { int a; };\n", "union u { int a; };\n"},
      {{"-s"}, "#define M(a) (a + \\\n  (b\n" + s, s},
      // The lines of an #if 0 group are no code for the parentheses.
      {{"-s"}, "#if 0\nf(\n#endif\n" + s, s},
      {{"-s"}, "#if 0 /* off */\n(\n#elif X\n#endif\n" + s, s},
      {{"-s"}, "#if 0\n#ifdef A\n(\n#endif\n(\n#else\n#endif\n" + s, s},
      // ... but the live branch's are code.
      {{"-s"}, "#if 0\n#else\ng(\n#endif\n" + s, ""},
      // A ';' or a brace of code closes them all.
      {{"-s"}, "x = f(a;\n" + s, s},
      {{"-s"}, "x = f(a\n{\n" + s, s},
      // A digit separator opens no literal; a character literal still does.
      {{"-s"}, "f(1'000);\n" + s, s},
      {{"-s"}, "g(0x1'FF)\n" + s, s},
      {{"-s"}, "x = u8'(' +\n" + s, s},
      {{"-s"}, "x = L')' + (\n" + s, ""},
  };
  for (const ScanCase &c : cases) expect_scan(c.opts, c.in, c.out);
}

}  // namespace
}  // namespace kolvu_test
