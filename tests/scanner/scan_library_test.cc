// The scanner library: records with their names, lines and offsets; the
// texts of a file's records laid end to end are what the tool writes for it;
// encodings, long lines, failures, and scans on two threads at once.
#include "kolvu/scan.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "driver/namelist.h"
#include "driver/scan_file.h"
#include "out_seam.h"
#include "support/name_list.h"
#include "support/test_util.h"
#include "util/alloc_seam.h"

namespace kolvu {
namespace {

const int kAll = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;

struct Rec {
  DefKind kind;
  int bit;
  std::string name;
  long first, last;
  size_t begin, end;
  std::string text;
};

struct Scan {
  ScanResult result;
  std::vector<Rec> recs;
  std::string joined() const {
    std::string s;
    for (const Rec &r : recs) s += r.text;
    return s;
  }
};

Scan scan(const std::string &src, int kinds, const char *names = nullptr,
          Encoding enc = Encoding::kShiftJis) {
  NameList list;
  if (names != nullptr) {
    EXPECT_TRUE(list.add_list(names));
  }
  ScanOptions opt;
  opt.kinds = kinds;
  opt.names = &list;
  opt.encoding = enc;
  Scan s;
  s.result = scan_definitions(src.data(), src.size(), opt, [&](const Definition &d) {
    s.recs.push_back({d.kind, d.kind_bit, std::string(d.name), d.first_line, d.last_line, d.begin,
                      d.end, std::string(d.text)});
  });
  EXPECT_EQ(s.result.status, ScanStatus::kOk);
  EXPECT_EQ(s.result.definitions, static_cast<long>(s.recs.size()));
  return s;
}

// What the tool writes for the file at path, in this process.
std::string tool_output(const std::string &path, int mask, const char *names) {
  kolvu_test::clear_list();
  if (names != nullptr) {
    std::string copy = names;
    set_list(&copy[0]);
  }
  std::string out;
  out_set_sink(&out);
  TextFile *f = text_open(path.c_str());
  EXPECT_NE(f, nullptr) << path;
  if (f != nullptr) {
    scan_file(f, "f.h", mask);
    text_close(f);
  }
  out_set_sink(nullptr);
  kolvu_test::clear_list();
  return out;
}

void expect_rec(const Rec &r, DefKind kind, int bit, const std::string &name, long first,
                long last) {
  EXPECT_EQ(r.kind, kind) << r.text;
  EXPECT_EQ(r.bit, bit) << r.text;
  EXPECT_EQ(r.name, name) << r.text;
  EXPECT_EQ(r.first, first) << r.text;
  EXPECT_EQ(r.last, last) << r.text;
}

TEST(ScanLibrary, RecordsOfEveryKind) {
  const std::string src =
      "#define A 1\n"                       // 1
      "#define SWAP(a, b) \\\n"             // 2
      "  do { } while (0)\n"                // 3
      "typedef unsigned long ULONG;\n"      // 4
      "typedef struct tag {\n"              // 5
      "  int a;\n"                          // 6
      "} T;\n"                              // 7
      "struct s { int b; };\n"              // 8
      "struct {\n  int c;\n} anon;\n"       // 9-11
      "union u { long l; };\n";             // 12
  Scan s = scan(src, kAll);
  ASSERT_EQ(s.recs.size(), 7u);
  expect_rec(s.recs[0], DefKind::kDefine, DEF_SINGLE, "A", 1, 1);
  expect_rec(s.recs[1], DefKind::kDefine, DEF_CONT, "SWAP", 2, 3);
  expect_rec(s.recs[2], DefKind::kTypedef, TD_SIMPLE, "ULONG", 4, 4);
  expect_rec(s.recs[3], DefKind::kTypedef, TD_BLOCK, "T", 5, 7);
  expect_rec(s.recs[4], DefKind::kStruct, SU_STRUCT, "s", 8, 8);
  expect_rec(s.recs[5], DefKind::kStruct, SU_STRUCT, "", 9, 11);
  expect_rec(s.recs[6], DefKind::kUnion, SU_UNION, "u", 12, 12);
  EXPECT_EQ(s.recs[1].text, "#define SWAP(a, b) \\\n  do { } while (0)\n");
  EXPECT_EQ(s.recs[3].text, "typedef struct tag {\n  int a;\n} T;\n");
  EXPECT_EQ(s.joined(), src);
  // Offsets: each record's text stands in the source from begin to end.
  for (const Rec &r : s.recs) EXPECT_EQ(src.substr(r.begin, r.end - r.begin), r.text);
  // With kinds 0 the defines come by their shape too.
  Scan d = scan(src, 0);
  ASSERT_EQ(d.recs.size(), 2u);
  EXPECT_EQ(d.recs[0].bit, DEF_SINGLE);
  EXPECT_EQ(d.recs[1].bit, DEF_CONT);
}

TEST(ScanLibrary, TypedefStructUnderStructAndUnderTypedef) {
  const std::string src = "int x;\ntypedef struct {\n  int a;\n} Point;\n";
  Scan t = scan(src, TD_SIMPLE | TD_BLOCK);
  ASSERT_EQ(t.recs.size(), 1u);
  expect_rec(t.recs[0], DefKind::kTypedef, TD_BLOCK, "Point", 2, 4);
  // Under struct alone it is an anonymous struct, written from its typedef.
  Scan st = scan(src, SU_STRUCT);
  ASSERT_EQ(st.recs.size(), 1u);
  expect_rec(st.recs[0], DefKind::kStruct, SU_STRUCT, "", 2, 4);
  EXPECT_EQ(st.recs[0].text, "typedef struct {\n  int a;\n} Point;\n");
  EXPECT_EQ(st.recs[0].begin, 7u);
  Scan tagged = scan("typedef struct tag {\n  int a;\n} Point;\n", SU_STRUCT);
  ASSERT_EQ(tagged.recs.size(), 1u);
  EXPECT_EQ(tagged.recs[0].name, "tag");
}

TEST(ScanLibrary, CapturedTypedefSpreadOverLines) {
  const std::string src = "#define X 1\ntypedef struct {\n  int a;\n  int b;\n} Wanted;\n"
                          "typedef int Other;\n";
  Scan s = scan(src, kAll, "Wanted,X");
  ASSERT_EQ(s.recs.size(), 2u);
  expect_rec(s.recs[0], DefKind::kDefine, DEF_SINGLE, "X", 1, 1);
  expect_rec(s.recs[1], DefKind::kTypedef, TD_BLOCK, "Wanted", 2, 5);
  EXPECT_EQ(s.recs[1].text, "typedef struct {\n  int a;\n  int b;\n} Wanted;\n");
  // A define met while a typedef is held back is held with it, and comes
  // out as a record of its own when the ';' that ends the capture has a
  // wanted name (here the empty one, which the list's empty entry wants).
  Scan held = scan("typedef enum { A } E\n#define M 2\n;\n", TD_SIMPLE | DEF_SINGLE, "E,M,");
  ASSERT_EQ(held.recs.size(), 1u);
  expect_rec(held.recs[0], DefKind::kDefine, DEF_SINGLE, "M", 2, 3);
  EXPECT_EQ(held.recs[0].text, "#define M 2\n\n");
  // An enum typedef does not start; its ';' writes the rest of its line.
  Scan rest = scan("typedef enum { A } E; int x;\n", TD_SIMPLE, "E");
  ASSERT_EQ(rest.recs.size(), 1u);
  expect_rec(rest.recs[0], DefKind::kTypedef, 0, "E", 1, 1);
  EXPECT_EQ(rest.recs[0].text, " int x;\n");
}

TEST(ScanLibrary, SeveralDefinitionsOnOneLine) {
  Scan s = scan("struct a {int x;}; struct b {int y;};\n", SU_STRUCT);
  ASSERT_EQ(s.recs.size(), 2u);
  expect_rec(s.recs[0], DefKind::kStruct, SU_STRUCT, "a", 1, 1);
  expect_rec(s.recs[1], DefKind::kStruct, SU_STRUCT, "b", 1, 1);
  EXPECT_EQ(s.recs[0].text, "struct a {int x;}; struct b {int y;};\n");
  EXPECT_EQ(s.recs[1].text, "struct b {int y;};\n");
  EXPECT_EQ(s.recs[1].begin, 19u);
  // The typedef's own line comes again from its keyword with the struct.
  Scan ts = scan("typedef struct a {int x;} A; struct b {int y;};\n", TD_BLOCK | SU_STRUCT);
  ASSERT_EQ(ts.recs.size(), 2u);
  expect_rec(ts.recs[0], DefKind::kTypedef, TD_BLOCK, "A", 1, 1);
  expect_rec(ts.recs[1], DefKind::kStruct, SU_STRUCT, "b", 1, 1);
  EXPECT_EQ(ts.recs[1].begin, 0u);
}

TEST(ScanLibrary, OffsetsCountCarriageReturnsAndLinesEndAtTheLast) {
  const std::string src = "int a;\r\n#define A 1\r\n#define B \\\r\n 2\r\nstruct s { int x; };";
  Scan s = scan(src, kAll);
  ASSERT_EQ(s.recs.size(), 3u);
  EXPECT_EQ(s.recs[0].begin, 8u);
  EXPECT_EQ(s.recs[0].end, 21u);  // the '\n' after the CR
  EXPECT_EQ(s.recs[0].text, "#define A 1\n");
  expect_rec(s.recs[1], DefKind::kDefine, DEF_CONT, "B", 3, 4);
  EXPECT_EQ(src.substr(s.recs[1].begin, s.recs[1].end - s.recs[1].begin), "#define B \\\r\n 2\r\n");
  // The last line has no '\n': the text gets one, the source ends before it.
  EXPECT_EQ(s.recs[2].text, "struct s { int x; };\n");
  EXPECT_EQ(s.recs[2].end, src.size());
  // A Ctrl-Z ends the text.
  EXPECT_TRUE(scan("#define A 1\n\x1A#define B 2\n", 0).recs.size() == 1);
}

TEST(ScanLibrary, LinesOfAnyLength) {
  std::string body(5000, 'x');
  std::string src = "#define LONG " + body + "\nstruct s {\n  char c[] = \"" + body + "\";\n};\n";
  Scan s = scan(src, kAll);
  ASSERT_EQ(s.recs.size(), 2u);
  expect_rec(s.recs[0], DefKind::kDefine, DEF_SINGLE, "LONG", 1, 1);
  expect_rec(s.recs[1], DefKind::kStruct, SU_STRUCT, "s", 2, 4);
  EXPECT_EQ(s.joined(), src);
}

TEST(ScanLibrary, EncodingsDecideWhatASecondByteIs) {
  // "あ" in UTF-8 is E3 81 82; read as Shift_JIS, 0x82 begins a character
  // whose second byte is the backslash, so the define does not continue.
  const std::string utf8 = "#define A \xE3\x81\x82\\\n  more\n";
  Scan as_utf8 = scan(utf8, DEF_CONT | DEF_SINGLE, nullptr, Encoding::kAuto);
  EXPECT_EQ(as_utf8.result.encoding, Encoding::kUtf8);
  ASSERT_EQ(as_utf8.recs.size(), 1u);
  expect_rec(as_utf8.recs[0], DefKind::kDefine, DEF_CONT, "A", 1, 2);
  Scan as_sjis = scan(utf8, DEF_CONT | DEF_SINGLE, nullptr, Encoding::kShiftJis);
  ASSERT_EQ(as_sjis.recs.size(), 1u);
  expect_rec(as_sjis.recs[0], DefKind::kDefine, DEF_SINGLE, "A", 1, 1);
  Scan as_euc = scan(utf8, DEF_CONT | DEF_SINGLE, nullptr, Encoding::kEucJp);
  EXPECT_EQ(as_euc.recs.at(0).last, 2);
  // Not valid UTF-8, or nothing above 0x7F: Shift_JIS.
  EXPECT_EQ(scan("#define T \"\x95\x5C\"\n", 0, nullptr, Encoding::kAuto).result.encoding,
            Encoding::kShiftJis);
  EXPECT_EQ(scan("#define T 1\n", 0, nullptr, Encoding::kAuto).result.encoding,
            Encoding::kShiftJis);
  // Overlong forms and surrogates are not UTF-8.
  EXPECT_EQ(scan("#define T \"\xC0\xAF\"\n", 0, nullptr, Encoding::kAuto).result.encoding,
            Encoding::kShiftJis);
  EXPECT_EQ(scan("#define T \"\xED\xA0\x80\"\n", 0, nullptr, Encoding::kAuto).result.encoding,
            Encoding::kShiftJis);
}

TEST(ScanLibrary, NameListsAnswerAsTheTool) {
  std::mt19937 rng(31);
  const char *const pool[] = {"a", "ab", "abc", "a*", "ab*", "b", "*", "", "x_1", "x_*", "a-b"};
  for (int round = 0; round < 200; ++round) {
    NameList mine;
    kolvu_test::clear_list();
    int n = static_cast<int>(rng() % 6);
    for (int i = 0; i < n; ++i) {
      std::string e = pool[rng() % (sizeof pool / sizeof *pool)];
      ASSERT_TRUE(mine.add(e));
      set_list(&e[0]);
    }
    for (const char *name : {"a", "ab", "abc", "abd", "b", "", "x_1", "x_12", "c;", "a(b"})
      EXPECT_EQ(mine.wants(name), chk_type(name) == 1) << "round " << round << " name " << name;
  }
  kolvu_test::clear_list();
  NameList big;  // past the tool's 1000 entries, the index grows
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(big.add("n" + std::to_string(i)));
  EXPECT_EQ(big.size(), 3000);
  EXPECT_TRUE(big.wants("n2999"));
  EXPECT_FALSE(big.wants("n3000"));
}

TEST(ScanLibrary, FailuresAreReturned) {
  ScanOptions opt;
  ScanResult r = scan_definitions_file("/no/such/file.h", opt, [](const Definition &) {});
  EXPECT_EQ(r.status, ScanStatus::kCannotOpen);
  EXPECT_EQ(r.error_number, ENOENT);
  kolvu_test::TempDir dir;
  r = scan_definitions_file(dir.path().c_str(), opt, [](const Definition &) {});
  EXPECT_EQ(r.status, ScanStatus::kCannotOpen);
  EXPECT_EQ(r.error_number, EISDIR);
  // The callback stops the scan.
  std::string src = "#define A 1\n#define B 2\n#define C 3\n";
  int seen = 0;
  r = scan_definitions(src.data(), src.size(), opt, [&](const Definition &) { return ++seen < 2; });
  EXPECT_EQ(r.status, ScanStatus::kStopped);
  EXPECT_EQ(seen, 2);
  // Memory that cannot be had, at each allocation in turn, is reported,
  // never fatal; the scan that gets it all succeeds.
  std::string big = "typedef struct {\n" + std::string(100000, ' ') + "int a;\n} T;\n";
  static int allowed;
  AllocHooks failing = default_alloc_hooks();
  failing.malloc_fn = [](size_t n) { return allowed-- > 0 ? std::malloc(n) : nullptr; };
  failing.realloc_fn = [](void *p, size_t n) { return allowed-- > 0 ? std::realloc(p, n) : nullptr; };
  NameList list;
  ASSERT_TRUE(list.add("T"));
  opt.kinds = kAll;
  opt.names = &list;
  for (int budget = 0;; ++budget) {
    allowed = budget;
    AllocHooks saved = set_alloc_hooks(failing);
    r = scan_definitions(big.data(), big.size(), opt, [](const Definition &) {});
    set_alloc_hooks(saved);
    if (r.status == ScanStatus::kOk) break;
    ASSERT_EQ(r.status, ScanStatus::kNoMemory) << "budget " << budget;
    ASSERT_LT(budget, 100);
  }
  EXPECT_EQ(r.definitions, 1);
  // The complete mode too, over nested records, conditionals and names, in
  // memory and read from a file a piece at a time.
  std::string nested = "#ifdef X\n" + big + "#else\nstruct s {\n#define IN 1\n int b; } v;\n#endif\n";
  const std::string path = dir.write("nested.h", nested);
  opt.complete = true;
  for (bool from_file : {false, true}) {
    for (int budget = 0;; ++budget) {
      allowed = budget;
      AllocHooks saved = set_alloc_hooks(failing);
      r = from_file ? scan_definitions_file(path.c_str(), opt, [](const Definition &) {})
                    : scan_definitions(nested.data(), nested.size(), opt, [](const Definition &) {});
      set_alloc_hooks(saved);
      if (r.status == ScanStatus::kOk) break;
      ASSERT_EQ(r.status, ScanStatus::kNoMemory) << "budget " << budget << " file " << from_file;
      ASSERT_LT(budget, 200);
    }
    EXPECT_EQ(r.definitions, 1) << from_file;  // T, the one name wanted
  }
}

bool lines_fit(const std::string &bytes) {
  size_t line = 0;
  for (char c : bytes) {
    if (c == '\x1A') break;
    if (c == '\r') continue;
    if (++line >= 1023) return false;
    if (c == '\n') line = 0;
  }
  return true;
}

void expect_invariant(const std::string &path, const std::string &bytes, int mask,
                      const char *names) {
  std::string tool = tool_output(path, mask, names);
  Scan lib = scan(bytes, mask, names);
  ASSERT_TRUE(lib.joined() == tool) << path << " mask " << mask << " names "
                                    << (names ? names : "(none)");
  for (const Rec &r : lib.recs) {
    ASSERT_LE(r.begin, r.end) << path;
    ASSERT_LE(r.first, r.last) << path;
  }
}

TEST(ScanLibrary, RecordsAreWhatTheToolWritesForEveryHeader) {
  std::vector<std::string> paths;
  kolvu_test::headers_below("/usr/include", &paths);
  ASSERT_GT(paths.size(), 100u) << "too few headers to compare";
  const char *kList = "size_t,pthread_*,FILE,__*,_*,*_t,S*";
  int compared = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    std::string bytes = kolvu_test::read_file(paths[i]);
    if (!lines_fit(bytes)) continue;
    ++compared;
    // Every file with every kind, with and without a list; every seventh
    // one with each kind set, so all 64 are met on many files.
    expect_invariant(paths[i], bytes, kAll, nullptr);
    expect_invariant(paths[i], bytes, kAll, kList);
    if (i % 7 == 0) {
      int mask = static_cast<int>(i / 7 % 64);
      expect_invariant(paths[i], bytes, mask, nullptr);
      expect_invariant(paths[i], bytes, mask, kList);
    }
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(compared, 100);
}

TEST(ScanLibrary, RecordsAreWhatTheToolWritesForRandomInput) {
  const char *const pieces[] = {
      "#define ", "# define X \\\n", "typedef ", "typedef struct ", "typedef union ", "struct ",
      "union ", "enum ", "{", "}", ";", "(", ")", "/*", "*/", "//", "\"", "'", "\\", "\\\n",
      " ", "x", "T", "P", "\x95\x5C", "\x83\x7B", "\x82\x7D", "\x81", "\n", "\n", "\r\n", "\x1A",
      "",  // a NUL
  };
  const char *const lists[] = {nullptr, "T", "x,P*", "*", ","};
  kolvu_test::TempDir dir;
  std::mt19937 rng(1013);
  for (int iter = 0; iter < 3000; ++iter) {
    std::string src;
    int n = static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) {
      const char *piece = pieces[rng() % (sizeof pieces / sizeof *pieces)];
      src += *piece == '\0' ? std::string(1, '\0') : std::string(piece);
    }
    std::string path = dir.write("f.h", src);
    expect_invariant(path, src, static_cast<int>(rng() % 64), lists[rng() % 5]);
    if (HasFatalFailure()) return;
  }
}

TEST(ScanLibrary, ScansOnTwoThreadsAtOnce) {
  // Two sources, each scanned with its own options on its own thread, many
  // times over; every scan must give what it gives alone.
  std::string a, b;
  for (int i = 0; i < 300; ++i) {
    a += "#define A" + std::to_string(i) + " " + std::to_string(i) + "\ntypedef struct {\n int x;\n} T" +
         std::to_string(i) + ";\n";
    b += "union u" + std::to_string(i) + " {\n long l;\n};\n#define B \\\n 2\n";
  }
  NameList list;
  ASSERT_TRUE(list.add_list("T1*,A2*"));
  ScanOptions oa, ob;
  oa.kinds = DEF_SINGLE | TD_BLOCK;
  oa.names = &list;
  ob.kinds = SU_UNION | DEF_CONT;
  auto joined = [](const std::string &src, const ScanOptions &o) {
    std::string out;
    scan_definitions(src.data(), src.size(), o, [&](const Definition &d) { out += d.text; });
    return out;
  };
  const std::string want_a = joined(a, oa), want_b = joined(b, ob);
  ASSERT_FALSE(want_a.empty());
  ASSERT_FALSE(want_b.empty());
  bool ok_a = true, ok_b = true;
  std::thread ta([&] {
    for (int i = 0; i < 50; ++i) ok_a = ok_a && joined(a, oa) == want_a;
  });
  std::thread tb([&] {
    for (int i = 0; i < 50; ++i) ok_b = ok_b && joined(b, ob) == want_b;
  });
  ta.join();
  tb.join();
  EXPECT_TRUE(ok_a);
  EXPECT_TRUE(ok_b);
}

// Everything a record says, its names with their places included.
std::string described(const Definition &d) {
  std::string s = std::string(kind_name(d.kind)) + " " + std::string(d.name) + " " +
                  std::to_string(d.first_line) + "-" + std::to_string(d.last_line) + " @" +
                  std::to_string(d.begin) + "-" + std::to_string(d.end) + " p" +
                  std::to_string(d.parent) + " [" + std::string(d.text) + "]";
  for (size_t i = 0; i < d.name_count; ++i) {
    const DefinitionName &n = d.names[i];
    s += " " + std::string(n.name) + ":" + kind_name(n.kind) + ":" + std::to_string(n.line) + ":" +
         std::to_string(n.column) + ":" + std::to_string(n.offset);
  }
  return s + "\n";
}

TEST(ScanLibrary, InPlaceGivesWhatACopyGives) {
  // Carriage returns alone, in runs and before the end; a Ctrl-Z; Shift_JIS
  // and UTF-8; and a source longer than the pieces a copy is fed in, with
  // carriage returns and a definition across the first piece's end.
  std::string across = "#define FIRST 1\r\n";
  while (across.size() < (1u << 20) - 40) across += "int filler_x; /* ... */\r\n";
  across += "typedef struct {\r\n\r\r\n  int a;\r\n  int b;\r\n} Across;\r\n#define LAST 2\r\n";
  const std::string sources[] = {
      "#define A 1\r\n#define B \\\r\n 2\r\nstruct s { int x; };",
      "typedef struct t {\r\r\r\n int a; /* \x82\xA0 */\r\n} T, *PT;\r\n\r\n",
      "#define A 1\n\x1A#define B 2\n",
      "union u { char c[2]; };\r\n#define S \"\xE3\x81\x82\"\r",
      "int f(void) { return 0; }\r\nenum e { E1, E2 };\r\nextern int v;\r\n#define Z 1\r\n",
      "struct open { int a;\r\n#define E \\\r\n/",
      across,
  };
  for (bool complete : {false, true}) {
    ScanOptions opt;
    opt.complete = complete;
    opt.kinds = complete ? FN_BODY | FN_PROTO | EN_TYPE | EN_CONST | SU_MEMBER | VAR_DEF |
                               VAR_EXTERN | kAll
                         : kAll;
    for (const std::string &src : sources) {
      std::string want;
      ScanResult w = scan_definitions(src.data(), src.size(), opt,
                                      [&](const Definition &d) { want += described(d); });
      ASSERT_EQ(w.status, ScanStatus::kOk);
      ASSERT_FALSE(want.empty());
      // With room after the source, and with too little, which scans a copy.
      // The room holds bytes that would begin a comment, a literal or a
      // body if the scan read them as text, or letters that nothing stops
      // at (a scan that did not end the text would read past the buffer).
      for (const char *fill : {"*/\"{\\\n#'", "x"})
      for (size_t room : {kInPlaceRoom, kInPlaceRoom - 1}) {
        // Exactly as large: a read past it is a fault under the sanitizers.
        std::unique_ptr<char[]> buf(new char[src.size() + room]);
        std::memcpy(buf.get(), src.data(), src.size());
        for (size_t k = 0; k < room; ++k) buf[src.size() + k] = fill[k % std::strlen(fill)];
        std::string got;
        ScanResult r = scan_definitions_in_place(buf.get(), src.size(), src.size() + room, opt,
                                                 [&](const Definition &d) { got += described(d); });
        EXPECT_EQ(r.status, ScanStatus::kOk);
        EXPECT_EQ(r.definitions, w.definitions);
        EXPECT_EQ(r.encoding, w.encoding);
        EXPECT_EQ(got, want) << (complete ? "complete" : "tool") << ", room " << room << ", "
                             << src.substr(0, 40);
      }
    }
  }
}

}  // namespace
}  // namespace kolvu
