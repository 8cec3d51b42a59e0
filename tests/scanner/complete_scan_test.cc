// The scanner library's complete mode: every definition with every name it
// introduces, nested ones with the record that holds them, and each text
// the very bytes of its source; names compared whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kolvu/scan.h"
#include "scanner/complete_stream.h"
#include "support/complete_summary.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

const int kAll = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;


std::string summary(const std::string &src, int kinds = kAll, const char *names = nullptr) {
  return kolvu_test::complete_summary(src, kinds, names, false);
}

struct Case {
  const char *what;
  const char *src;
  const char *want;
};

TEST(CompleteScan, NamesOfEveryShape) {
  const Case cases[] = {
      {"the Windows idiom: tag, declarator and pointer declarator, nested define and struct",
       "typedef struct _REC {\n"
       "    int a;\n"
       "#define REC_MAX 10\n"
       "    struct inner { int x; } in;\n"
       "} REC, *LPREC;\n",
       "t 1-5: s:_REC@1:16 t:REC@5:3 t:LPREC@5:9\n"
       "d 3-3 ^0: d:REC_MAX@3:9\n"
       "s 4-4 ^0: s:inner@4:12\n"},
      {"function pointers, arrays, attributes, calling conventions, macros in a declarator",
       "typedef int (*CMPFUNC)(const void *, const void *);\n"
       "typedef char arr_t[10], *row_t[4];\n"
       "typedef int T __attribute__((aligned(8)));\n"
       "typedef BOOL (WINAPI *PFN)(void);\n"
       "typedef void *(ALLOC_SIZE(1) XCALL *AllocFn)(size_t n);\n"
       "typedef int Fn(int), (*FnP)(int);\n"
       "typedef unsigned long ULONG;\n",
       "t 1-1: t:CMPFUNC@1:15\n"
       "t 2-2: t:arr_t@2:14 t:row_t@2:26\n"
       "t 3-3: t:T@3:13\n"
       "t 4-4: t:PFN@4:23\n"
       "t 5-5: t:AllocFn@5:37\n"
       "t 6-6: t:Fn@6:13 t:FnP@6:24\n"
       "t 7-7: t:ULONG@7:23\n"},
      {"typedefs of any layout",
       "typedef\n  enum { E1, E2 }\n  E;\n"
       "typedef unsigned int\n    UINT;\n"
       "typedef union { int i; float f; } num_t;\n",
       "t 1-3: t:E@3:3\nt 4-5: t:UINT@5:5\nt 6-6: t:num_t@6:35\n"},
      {"a struct line that ends after its tag: functions are no definitions",
       "static struct node *\nfind(int k)\n{\n  return 0;\n}\n"
       "struct node *find2(int k)\n{ return 0; }\n"
       "struct s\n{\n  int a;\n};\n"
       "struct t /* c */\n#ifdef X\n#endif\n{ int b; };\n"
       "struct D : public B\n{ int c; };\n"
       "struct EXPORT Named final { int d; };\n",
       "s 8-11: s:s@8:8\ns 12-15: s:t@12:8\ns 16-17: s:D@16:8\ns 18-18: s:Named@18:15\n"},
      {"parentheses never leak: defines, #error, #if 0 prose, digit separators, branches",
       "#define LP (\n"
       "struct a { int x; };\n"
       "#error (it's old\n"
       "struct b { int x; };\n"
       "#if 0\nsee (the notes; it's\n#endif\n"
       "struct c { int x; };\n"
       "int v = g(1'000);\nint w = h(0x1'FF);\n"
       "struct d { int x; };\n"
       "#ifdef Z\nint y = f((1);\n#else\nint y = f((2);\n#endif\n"
       "struct e { int x; };\n",
       "d 1-1: d:LP@1:9\ns 2-2: s:a@2:8\ns 4-4: s:b@4:8\ns 8-8: s:c@8:8\ns 11-11: s:d@11:8\n"
       "s 17-17: s:e@17:8\n"},
      {"braces of the first branch only; a definition wholly in a later branch is found",
       "#ifdef __cplusplus\nstruct X : B {\n#else\nstruct X {\n#endif\n  int y;\n};\n"
       "#if A\ntypedef int I;\n#else\ntypedef long I;\n#endif\n"
       "#if 0\nstruct dead { int x; };\n#define DEAD 1\n#else\nstruct alive { int x; };\n#endif\n",
       "s 2-7: s:X@2:8\nt 9-9: t:I@9:13\nt 11-11: t:I@11:14\nd 15-15: d:DEAD@15:9\n"
       "s 17-17: s:alive@17:8\n"},
      {"anonymous members have no names; a union tag is a union",
       "struct outer {\n  union { int i; float f; } v;\n  struct { int a; } s;\n};\n"
       "typedef union U { int i; } U_t;\n",
       "s 1-4: s:outer@1:8\nu 2-2 ^0:\ns 3-3 ^0:\nt 5-5: u:U@5:15 t:U_t@5:28\n"},
      {"columns in bytes of the line, after double-byte text; a trail 0x5C escapes nothing",
       "typedef int /* \x90\xae\x90\x94 */ INT;\n"
       "#define S \"\x95\x5c\"\n"
       "struct after { int a; };\n",
       "t 1-1: t:INT@1:24\nd 2-2: d:S@2:9\ns 3-3: s:after@3:8\n"},
      {"carriage returns count in offsets and columns, not in lines",
       "#define A\r\n1\r\ntypedef int\r\n  \r\rCR_T;\r\n",
       "d 1-1: d:A@1:9\nt 3-4: t:CR_T@4:5\n"},
  };
  for (const Case &c : cases) EXPECT_EQ(summary(c.src), c.want) << c.what;
}

TEST(CompleteScan, KindsAndNamesSelect) {
  const std::string src =
      "#define VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXX 1\n"
      "#define VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXY 2\n"
      "typedef struct tag { int a; } name_t, *pname_t;\n"
      "struct s { int b; };\n";
  struct {
    int kinds;
    const char *names;
    const char *want;
  } cases[] = {
      {0, nullptr, "d 1-1: d:VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXX@1:9\n"
                   "d 2-2: d:VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXY@2:9\n"},
      // Whole names: the first 32 bytes of a longer name want nothing.
      {kAll, "VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXY", "d 2-2: d:VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXY@2:9\n"},
      {kAll, "VERY_LONG_NAME_OF_FORTY_BYTES_IN", ""},
      {kAll, "VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXX*",
       "d 1-1: d:VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXX@1:9\n"
       "d 2-2: d:VERY_LONG_NAME_OF_FORTY_BYTES_IN_ALL_XXXY@2:9\n"},
      // Any of a record's names wants it.
      {TD_BLOCK, "pname_t", "t 3-3: s:tag@3:16 t:name_t@3:31 t:pname_t@3:40\n"},
      {TD_BLOCK | SU_STRUCT, "tag,s", "t 3-3: s:tag@3:16 t:name_t@3:31 t:pname_t@3:40\ns 4-4: s:s@4:8\n"},
      {TD_SIMPLE, nullptr, ""},
      {SU_UNION, nullptr, ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(summary(src, c.kinds, c.names), c.want) << c.kinds << " " << (c.names ? c.names : "");

  NameList list;  // a prefix longer than 64 bytes
  ASSERT_TRUE(list.add(std::string(70, 'p') + "*"));
  EXPECT_TRUE(list.wants((std::string(71, 'p') + ";").c_str()));
  EXPECT_FALSE(list.wants((std::string(70, 'p') + ";").c_str()));
}

TEST(CompleteScan, ANullCallbackCounts) {
  const std::string src = "#define A 1\nstruct s { int a; };\ntypedef int T;\n";
  for (bool complete : {false, true}) {
    ScanOptions opt;
    opt.kinds = kAll;
    opt.complete = complete;
    ScanResult r = scan_definitions(src.data(), src.size(), opt, nullptr, nullptr);
    EXPECT_EQ(r.status, ScanStatus::kOk);
    EXPECT_EQ(r.definitions, 3) << complete;
  }
}

// Every record is its own bytes of the source and lies inside the one that
// holds it; every name stands where its line, column and offset say.
void expect_sound(const std::string &src, const std::string &what) {
  ScanOptions opt;
  opt.kinds = kAll;
  opt.complete = true;
  opt.encoding = Encoding::kShiftJis;
  std::vector<std::pair<size_t, size_t>> spans;
  std::vector<size_t> line_starts = {0};
  for (size_t k = 0; k < src.size(); ++k)
    if (src[k] == '\n') line_starts.push_back(k + 1);
  size_t last_begin = 0;
  ScanResult r = scan_definitions(src.data(), src.size(), opt, [&](const Definition &d) {
    std::string bytes;
    for (size_t i = d.begin; i < d.end; ++i)
      if (src[i] != '\r') bytes += src[i];
    EXPECT_EQ(std::string(d.text), bytes) << what;
    EXPECT_GE(d.begin, last_begin) << what;
    last_begin = d.begin;
    if (d.parent >= 0) {
      EXPECT_LT(d.parent, d.index) << what;
      EXPECT_LE(spans[d.parent].first, d.begin) << what;
      EXPECT_GE(spans[d.parent].second, d.end) << what;
    }
    spans.push_back({d.begin, d.end});
    for (size_t i = 0; i < d.name_count; ++i) {
      const DefinitionName &n = d.names[i];
      EXPECT_EQ(src.substr(n.offset, n.name.size()), std::string(n.name)) << what;
      long line = std::upper_bound(line_starts.begin(), line_starts.end(), n.offset) -
                  line_starts.begin();
      EXPECT_EQ(n.line, line) << what;
      EXPECT_EQ(n.column, static_cast<long>(n.offset - line_starts[line - 1]) + 1) << what;
      EXPECT_TRUE(n.offset >= d.begin && n.offset < d.end) << what;
    }
  });
  EXPECT_EQ(r.status, ScanStatus::kOk) << what;
}

TEST(CompleteScan, RecordsAreTheirSourceBytesForRandomInput) {
  const char *const pieces[] = {
      "#define ", "# define X \\\n", "#if 0\n", "#if A\n", "#else\n", "#endif\n", "#error (",
      "typedef ", "typedef struct ", "typedef union ", "struct ", "union ", "enum ", "{", "}",
      ";", "(", ")", "(*", "[2]", ",", "/*", "*/", "//", "\"", "'", "1'0", "\\", "\\\n", " ",
      "x", "T", "P", "__attribute__((a))", "\x95\x5C", "\x83\x7B", "\x82\x7D", "\x81", "\n",
      "\n", "\r\n", "",  // a NUL
  };
  std::mt19937 rng(2718);
  for (int iter = 0; iter < 4000; ++iter) {
    std::string src;
    int n = static_cast<int>(rng() % 70);
    for (int i = 0; i < n; ++i) {
      const char *piece = pieces[rng() % (sizeof pieces / sizeof *pieces)];
      src += *piece == '\0' ? std::string(1, '\0') : std::string(piece);
    }
    expect_sound(src, "iteration " + std::to_string(iter));
    if (HasFailure()) return;
  }
}

// A record as a line of text, all of it.
std::string describe(const Definition &d) {
  std::string s = std::string(kind_name(d.kind)) + " bit" + std::to_string(d.kind_bit) + " #" +
                  std::to_string(d.index) + " ^" + std::to_string(d.parent) + " L" +
                  std::to_string(d.first_line) + "-" + std::to_string(d.last_line) + " [" +
                  std::to_string(d.begin) + "," + std::to_string(d.end) + ") " +
                  std::string(d.name) + " |" + std::string(d.text) + "|";
  for (size_t i = 0; i < d.name_count; ++i)
    s += " " + std::string(d.names[i].name) + "@" + std::to_string(d.names[i].line) + ":" +
         std::to_string(d.names[i].column) + "/" + std::to_string(d.names[i].offset);
  return s + "\n";
}

// Fed in pieces of random sizes into a buffer that starts small, so that
// the scan waits for text, drops what it no longer needs and grows: the
// records are those of the source scanned whole.
TEST(CompleteScan, PiecesGiveWhatTheWholeGives) {
  const char *const pieces[] = {
      "#define X \\\n 1\n", "#if A\n", "#else\n", "#endif\n", "#if 0\n", "typedef ",
      "struct ", "union ", "s", "{", "}", ";", "(", ")", "/* c\n */", "// c\n", "\"s\"",
      "'c'", "1'0", "x", "T", "\x95\x5C", "\n", "\r\n", "  ", "int a;", "} T, *P;",
      // constructs longer than the scan's look ahead: a directive, a comment, a literal
      "#define LONG \\\n      (a + b + c + d + e + f + g + h + i + j + k + l + m + n) \\\n 2\n",
      "/* a comment that runs on and on, far past what one piece of the source holds */",
      "\"a literal that runs on and on, far past what one piece of the source holds\""};
  std::mt19937 rng(4242);
  for (int iter = 0; iter < 1500; ++iter) {
    std::string src;
    int n = static_cast<int>(rng() % 200);
    for (int i = 0; i < n; ++i) src += pieces[rng() % (sizeof pieces / sizeof *pieces)];
    if (iter % 50 == 0) src += std::string(5000, 'x') + ";\n";  // a line longer than the room
    ScanOptions opt;
    opt.kinds = kAll;
    opt.complete = true;
    opt.encoding = Encoding::kShiftJis;
    std::string whole, fed;
    scan_definitions(src.data(), src.size(), opt, [&](const Definition &d) { whole += describe(d); });
    std::function<void(const Definition &)> add = [&](const Definition &d) { fed += describe(d); };
    CompleteStream fed_stream(Encoding::kShiftJis, opt,
                              &scan_detail::call<std::function<void(const Definition &)>>, &add, 64);
    for (size_t at = 0; at < src.size();) {
      size_t k = std::min<size_t>(src.size() - at, 1 + rng() % 40);
      ASSERT_TRUE(fed_stream.feed(src.data() + at, k));
      at += k;
    }
    fed_stream.finish();
    EXPECT_EQ(fed_stream.result().status, ScanStatus::kOk);
    ASSERT_EQ(fed, whole) << "iteration " << iter;
  }
}

// Records are handed over as the source goes by, not held to its end: of a
// long source fed in pieces, all but those of its last piece have come
// before the end is said, whatever shapes it holds.
TEST(CompleteScan, RecordsComeAsTheSourceGoesBy) {
  const struct {
    const char *shape;
    int records;  // of each copy
  } shapes[] = {
      {"struct s {\n  int a;\n};\n", 1},
      // A brace inside a template's arguments ends the look at the tag.
      {"template <class A>\n  struct is_alloc<A,\n    void_t<decltype(f(size_t{}))>>\n  : t { };\n"
       "struct after { int b; };\n",
       1},
      {"static struct node *\nfind(int k)\n{\n  return 0;\n}\n", 0},
      {"#if 0\nit's (\n#endif\n#define M(x) \\\n  (x)\n", 1},
      {"typedef struct _R {\n  int a;\n#define IN 1\n} R, *PR;\n", 2},
      {"int v = f(1'000); /* (\n */\n", 0},
  };
  for (const auto &sh : shapes) {
    const char *shape = sh.shape;
    std::string src;
    for (int i = 0; i < 300; ++i) src += shape;
    ScanOptions opt;
    opt.kinds = kAll;
    opt.complete = true;
    long handed = 0;
    std::function<void(const Definition &)> count = [&](const Definition &) { ++handed; };
    CompleteStream stream(Encoding::kShiftJis, opt,
                          &scan_detail::call<std::function<void(const Definition &)>>, &count, 256);
    for (size_t at = 0; at < src.size(); at += 100)
      ASSERT_TRUE(stream.feed(src.data() + at, std::min<size_t>(100, src.size() - at)));
    const long before_end = handed;
    stream.finish();
    // All but those of the last piece and of the look ahead (64 bytes).
    const long tail = sh.records * static_cast<long>(2 + 164 / std::strlen(shape));
    EXPECT_GE(before_end, handed - tail) << shape;
    EXPECT_EQ(handed, 300 * sh.records) << shape;
  }
}

// kAuto over a source read from a descriptor: a regular file is judged
// whole, though its first megabyte is plain ASCII; a pipe by its first
// megabyte.
TEST(CompleteScan, TheGuessOfAFileReadInPieces) {
  std::string src;
  while (src.size() < (3u << 19)) src += "#define ASCII_ONLY 1\n";
  src += "#define U \"\xE8\xA1\xA8\"\n";  // UTF-8, after a megabyte and a half
  kolvu_test::TempDir dir;
  std::string path = dir.write("late.h", src);
  ScanOptions opt;
  opt.complete = true;
  long n = 0;
  ScanResult r = scan_definitions_file(path.c_str(), opt, [&](const Definition &) { ++n; });
  EXPECT_EQ(r.status, ScanStatus::kOk);
  EXPECT_EQ(r.encoding, Encoding::kUtf8);
  EXPECT_EQ(n, std::count(src.begin(), src.end(), '\n'));

  kolvu_test::FedPipe pipe(src);
  long m = 0;
  r = scan_definitions_fd(pipe.fd(), opt, [&](const Definition &) { ++m; });
  EXPECT_EQ(r.status, ScanStatus::kOk);
  EXPECT_EQ(r.encoding, Encoding::kShiftJis);
  EXPECT_EQ(m, n);
}

TEST(CompleteScan, RecordsAreTheirSourceBytesInEveryHeader) {
  std::vector<std::string> paths;
  kolvu_test::headers_below("/usr/include", &paths);
  ASSERT_GT(paths.size(), 100u) << "too few headers to check";
  for (const std::string &p : paths) {
    std::string src = kolvu_test::read_file(p);
    if (src.find('\x1a') != std::string::npos) continue;  // the text ends there
    expect_sound(src, p);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace kolvu
