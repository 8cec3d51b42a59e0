// kolvu-index end to end: standard output, standard error and exit status
// as bytes; its JSON read back by Python's json module, its tags file used
// by Vim.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "index/e2e/index_run.h"

namespace kolvu_test {
namespace {

// One definition of each kind, and an anonymous struct.
const char kAll[] =
    "#define A 1\n"
    "typedef int T;\n"
    "struct s { int a; };\n"
    "union u { int b; };\n"
    "struct { int x; } anon;\n";

TEST(IndexCli, HelpAndVersion) {
  TempDir dir;
  Outcome help = index_run(dir, {"--help"});
  EXPECT_EQ(help.out.rfind("Usage: kolvu-index [OPTION]... PATH...\n", 0), 0u) << help.out;
  for (const char *opt : {"--kinds=", "--names=", "--names-from=", "--encoding=", "--format=",
                          "--ext=", "--jobs=", "--version", "--files-from=", "--null",
                          "--stdin-name=", "--exclude=", "--exclude-from=", "--follow",
                          "--output=", "--update=", "etags"})
    EXPECT_NE(help.out.find(opt), std::string::npos) << opt;
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.status, 0);
  expect_index({}, {"--version"}, {"kolvu-index " KOLVU_VERSION "\n", "", 0});
}

TEST(IndexCli, UsageErrorsGiveOneLineAPointerToHelpAndStatus2) {
  expect_index({}, {}, {"", usage_error("no path given"), 2});
  expect_index({{"a.h", kAll}}, {"a.h", "--x"}, {"", usage_error("unknown option '--x'"), 2});
  expect_index({{"a.h", kAll}}, {"-j", "0", "a.h"},
               {"", usage_error("invalid number of jobs '0' (1 to 256)"), 2});
  expect_index({{"a.h", kAll}}, {"a.h", "--format"}, {"", usage_error("option '--format' needs a value"), 2});
  expect_index({{"a.h", kAll}}, {"--kinds=dtq", "a.h"},
               {"", usage_error("invalid kinds 'dtq' (any of d, e, f, g, m, p, s, t, u, v, x, or all)"), 2});
  expect_index({{"a.h", kAll}}, {"--names-from=nope", "a.h"},
               {"", usage_error("cannot read names from 'nope': No such file or directory"), 2});
}

TEST(IndexCli, JsonOfEveryKindAndTheKindsOption) {
  std::string all = rec("a.h", 1, "define", "A", "#define A 1\\n", 0, 12) +
                    rec("a.h", 2, "typedef", "T", "typedef int T;\\n", 12, 27) +
                    rec("a.h", 3, "struct", "s", "struct s { int a; };\\n", 27, 48) +
                    rec("a.h", 4, "union", "u", "union u { int b; };\\n", 48, 68) +
                    rec("a.h", 5, "struct", "", "struct { int x; } anon;\\n", 68, 92);
  expect_index({{"a.h", kAll}}, {"a.h"}, {all, "", 0});
  expect_index({{"a.h", kAll}}, {"--kinds=tu", "a.h"},
               {rec("a.h", 2, "typedef", "T", "typedef int T;\\n", 12, 27) +
                    rec("a.h", 4, "union", "u", "union u { int b; };\\n", 48, 68),
                "", 0});
  // The letters in any order; the default is dtsu.
  for (const char *kinds : {"--kinds=dtsu", "--kinds=ustd", "--kinds=dddtsu"})
    expect_index({{"a.h", kAll}}, {kinds, "a.h"}, {all, "", 0});
  // Every kind, of a file with no name of the other kinds.
  std::string plain = "#define A 1\ntypedef int T;\n";
  for (const char *kinds : {"--kinds=all", "--kinds=xvupmgfedst"})
    expect_index({{"a.h", plain}}, {kinds, "a.h"},
                 {rec("a.h", 1, "define", "A", "#define A 1\\n", 0, 12) +
                      rec("a.h", 2, "typedef", "T", "typedef int T;\\n", 12, 27),
                  "", 0});
}

TEST(IndexCli, NamesFromTheCommandLineAndFromAFile) {
  Tree tree = {{"a.h", "#define AB 1\n#define AC 2\n#define B 3\n#define C 4\n"},
               {"names.txt", "C\r\nA*\n"}};
  expect_index(tree, {"--names=A*", "--names", "B", "a.h"},
               {rec("a.h", 1, "define", "AB", "#define AB 1\\n", 0, 13) +
                    rec("a.h", 2, "define", "AC", "#define AC 2\\n", 13, 26) +
                    rec("a.h", 3, "define", "B", "#define B 3\\n", 26, 38),
                "", 0});
  expect_index(tree, {"--names-from=names.txt", "a.h"},
               {rec("a.h", 1, "define", "AB", "#define AB 1\\n", 0, 13) +
                    rec("a.h", 2, "define", "AC", "#define AC 2\\n", 13, 26) +
                    rec("a.h", 4, "define", "C", "#define C 4\\n", 38, 50),
                "", 0});
}

// The encoding chosen overrides what each file looks like: UTF-8 read as
// code page 932 gives other characters; code page 932 read as UTF-8 has
// a byte that does not convert, and its second byte is a backslash then.
TEST(IndexCli, TheEncodingOptionOverridesTheGuess) {
  Tree tree = {{"u.h", "#define U \"表\"\n"}, {"s.h", sjis("#define S \"表\"\n")}};
  expect_index(tree, {"--encoding=sjis", "u.h"},
               {rec("u.h", 1, "define", "U", "#define U \\\"陦ｨ\\\"\\n", 0, 16), "", 0});
  expect_index(tree, {"--encoding=utf-8", "s.h"},
               {"{\"file\":\"s.h\",\"line\":1,\"end_line\":1,\"kind\":\"define\",\"name\":\"S\","
                "\"names\":[{\"name\":\"S\",\"kind\":\"define\",\"line\":1,\"column\":9}],"
                "\"begin\":0,\"end\":15,\"text\":\"#define S \\\"\xEF\xBF\xBD\\\\\\\"\\n\",\"lossy\":true}\n",
                "", 0});
}

// The guess tells EUC-JP from Shift_JIS, file by file: the same text in
// each gives the same records. Read as Shift_JIS, EUC-JP's よ (0xA4 0xE8)
// would take the closing quote, and the struct would run on to the end.
TEST(IndexCli, TheGuessTellsEucJpFromShiftJis) {
  const char text[] = "struct tbl { char *s; } t[] = {\n  {\"よ\"},\n};\n"
                      "int f(void) { return 0; }\n#define MSG \"ソフト\"\n";
  const std::string euc = "struct tbl { char *s; } t[] = {\n  {\"\xA4\xE8\"},\n};\n"
                          "int f(void) { return 0; }\n#define MSG \"\xA5\xBD\xA5\xD5\xA5\xC8\"\n";
  std::string want;
  for (const char *file : {"e.h", "s.h"})
    want += std::string("{\"file\":\"") + file +
            "\",\"line\":1,\"end_line\":3,\"kind\":\"struct\",\"name\":\"tbl\","
            "\"names\":[{\"name\":\"tbl\",\"kind\":\"struct\",\"line\":1,\"column\":8}],"
            "\"begin\":0,\"end\":45,\"text\":\"struct tbl { char *s; } t[] = {\\n  {\\\"よ\\\"},\\n};\\n\"}\n" +
            rec(file, 5, "define", "MSG", "#define MSG \\\"ソフト\\\"\\n", 71, 92);
  expect_index({{"e.h", euc}, {"s.h", sjis(text)}}, {"e.h", "s.h"}, {want, "", 0});
}

TEST(IndexCli, DirectoriesWalkedInOrderWithTheChosenEndings) {
  Tree tree = {{"src/b.c", "#define B 1\n"}, {"src/a/x.inc", "#define X 1\n"},
               {"src/a.hpp", "#define A 1\n"}, {"src/empty/", ""}, {"src/z.txt", "#define Z 1\n"}};
  expect_index(tree, {"src/"},
               {rec("src/a.hpp", 1, "define", "A", "#define A 1\\n", 0, 12) +
                    rec("src/b.c", 1, "define", "B", "#define B 1\\n", 0, 12),
                "", 0});
  expect_index(tree, {"--ext=.inc,.txt", "src"},
               {rec("src/a/x.inc", 1, "define", "X", "#define X 1\\n", 0, 12) +
                    rec("src/z.txt", 1, "define", "Z", "#define Z 1\\n", 0, 12),
                "", 0});
  expect_index(tree, {"src/empty"}, {"", "", 0});
}

TEST(IndexCli, BadPathsAreReportedAndTheRestIsDone) {
  expect_index({{"a.h", "#define A 1\n"}, {"b.h", "#define B 1\n"}}, {"a.h", "missing", "b.h/c", "b.h"},
               {rec("a.h", 1, "define", "A", "#define A 1\\n", 0, 12) + rec("b.h", 1, "define", "B", "#define B 1\\n", 0, 12),
                "kolvu-index: missing: No such file or directory\n"
                "kolvu-index: b.h/c: Not a directory\n",
                1});
}

TEST(IndexCli, ALoopThroughASymbolicLinkIsNotFollowed) {
  TempDir dir;
  write_tree(dir, {{"src/sub/a.h", "#define A 1\n"}});
  link_in(dir, "..", "src/sub/up");
  link_in(dir, "../..", "src/sub/top.h");  // a link to a directory with a source ending
  Outcome r = index_run(dir, {"src"});
  EXPECT_EQ(r.out, rec("src/sub/a.h", 1, "define", "A", "#define A 1\\n", 0, 12));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST(IndexCli, AFailedWriteIsReportedWithStatus1) {
  TempDir dir;
  write_tree(dir, {{"a.h", kAll}});
  Outcome r = run_program_shell(KOLVU_INDEX_BINARY, dir.path(), "a.h >/dev/full");
  EXPECT_EQ(r.err, "kolvu-index: write error: No space left on device\n");
  EXPECT_EQ(r.status, 1);
  r = run_program_shell(KOLVU_INDEX_BINARY, dir.path(), "--format=tags a.h >/dev/full");
  EXPECT_EQ(r.err, "kolvu-index: write error: No space left on device\n");
  EXPECT_EQ(r.status, 1);
}

// A tree of many files of different sizes with a path that cannot be read.
Tree big_tree() {
  Tree tree;
  for (int i = 0; i < 60; ++i) {
    std::string text, n = std::to_string(i);
    for (int k = 0; k < (i % 9 == 0 ? 2000 : i % 4); ++k)
      text += "#define M" + n + "_" + std::to_string(k) + " \\\n  (" + std::to_string(k) + ")\n"
              "struct S" + n + "_" + std::to_string(k) + " {\n  int a;\n};\n";
    tree.push_back({"t/d" + std::to_string(i % 4) + "/f" + n + ".c", text});
  }
  return tree;
}

TEST(IndexCli, TheSameBytesForOneTwoAndFourWorkers) {
  TempDir dir;
  write_tree(dir, big_tree());
  link_in(dir, "nowhere.h", "t/d1/gone.h");
  for (const char *format : {"--format=json", "--format=tags"}) {
    Outcome one = index_run(dir, {format, "-j1", "t", "missing.h"});
    EXPECT_EQ(one.err,
              "kolvu-index: warning: t/d1/gone.h: No such file or directory\n"
              "kolvu-index: missing.h: No such file or directory\n");
    EXPECT_EQ(one.status, 1);
    EXPECT_GT(one.out.size(), 100000u);
    for (const char *jobs : {"-j2", "--jobs=4"}) {
      Outcome r = index_run(dir, {format, jobs, "t", "missing.h"});
      expect_same_bytes(r.out, one.out);
      EXPECT_EQ(r.err, one.err);
      EXPECT_EQ(r.status, 1);
    }
  }
}

TEST(IndexCli, TagsFileSortedWithItsHeader) {
  Tree tree = {{"b.h", "#define Zed 1\nstruct s { int a; };\n"}, {"a.h", kAll}};
  expect_index(tree, {"--format=tags", "."},
               {"!_TAG_FILE_FORMAT\t2\t/extended format/\n"
                "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
                "!_TAG_PROGRAM_NAME\tkolvu-index\t//\n"
                "!_TAG_PROGRAM_VERSION\t" KOLVU_VERSION "\t//\n"
                "A\t./a.h\t1;\"\td\n"
                "T\t./a.h\t2;\"\tt\n"
                "Zed\t./b.h\t1;\"\td\n"
                "s\t./a.h\t3;\"\ts\n"
                "s\t./b.h\t2;\"\ts\n"
                "u\t./a.h\t4;\"\tu\n",
                "", 0});
}

// Python's json module reads every record back, with texts in three
// encodings, control characters and bytes that do not convert.
TEST(IndexCli, JsonReadBackByPython) {
  if (!have("python3")) GTEST_SKIP() << "python3 is not installed";
  TempDir dir;
  write_tree(dir, {{"src/sjis.h", sjis("/* 表示 */\r\n#define MSG \"ソフト\\\\\"\r\n"
                                       "typedef struct {\r\n  int n; /* 長さ */\r\n} Len;\r\n")},
                   {"src/utf8.h", "#define U \"表\"\t/* tab */\n"},
                   {"src/bad.h", bytes({'#', 'd', 'e', 'f', 'i', 'n', 'e', ' ', 'B', ' ', 0xFD, 0x01, 0x82, 0xA0, '\n'})},
                   {"euc/e.h", bytes({'#', 'd', 'e', 'f', 'i', 'n', 'e', ' ', 'E', ' ', '"', 0xA4, 0xA2, '"', '\n'})}});
  Outcome idx = run_program_shell(KOLVU_INDEX_BINARY, dir.path(),
                                  "src >out.jsonl && '" KOLVU_INDEX_BINARY "' --encoding=euc-jp euc >>out.jsonl");
  ASSERT_EQ(idx.status, 0) << idx.err;
  Outcome py = run_program_shell("python3", dir.path(), "'" KOLVU_READ_JSONL "' out.jsonl");
  EXPECT_EQ(py.err, "");
  EXPECT_EQ(py.status, 0);
  EXPECT_EQ(py.out,
            "src/bad.h 1-1 define B lossy [B:define@1:9]\n#define B \xEF\xBF\xBD\x01あ\n"
            "src/sjis.h 2-2 define MSG [MSG:define@2:9]\n#define MSG \"ソフト\\\\\"\n"
            "src/sjis.h 3-5 typedef Len [Len:typedef@5:3]\n"
            "typedef struct {\n  int n; /* 長さ */\n} Len;\n"
            "src/utf8.h 1-1 define U [U:define@1:9]\n#define U \"表\"\t/* tab */\n"
            "euc/e.h 1-1 define E [E:define@1:9]\n#define E \"あ\"\n");
}

// Vim jumps to tags: the file is searched by halves, so its order matters.
TEST(IndexCli, VimJumpsToTags) {
  if (!have("vim")) GTEST_SKIP() << "vim is not installed";
  TempDir dir;
  Tree tree;
  for (int f = 0; f < 20; ++f) {
    std::string text;
    for (int k = 0; k < 30; ++k) text += "#define N" + std::to_string(k * 20 + f) + " 1\n";
    tree.push_back({"src/m" + std::to_string(f) + ".h", text});
  }
  tree.push_back({"src/jp/x.h", sjis("/* 表示 */\n#define 表 1\ntypedef struct {\n  int 値;\n} Jp_t;\nunion U { int a; };\n")});
  tree.push_back({"src/rec.h", "typedef struct _REC {\n  int a;\n#define REC_MAX 9\n} REC,\n  *LPREC;\n"
                               "typedef int (*CMPFUNC)(const void *, const void *);\n"});
  write_tree(dir, tree);
  Outcome idx = run_program_shell(KOLVU_INDEX_BINARY, dir.path(), "--format=tags src >tags");
  ASSERT_EQ(idx.status, 0) << idx.err;
  for (const auto &want : std::vector<std::pair<std::string, std::string>>{
           {"N0", "src/m0.h:1"}, {"N599", "src/m19.h:30"}, {"N345", "src/m5.h:18"},
           {"Jp_t", "src/jp/x.h:5"}, {"U", "src/jp/x.h:6"}, {"_REC", "src/rec.h:1"},
           {"REC_MAX", "src/rec.h:3"}, {"REC", "src/rec.h:4"}, {"LPREC", "src/rec.h:5"},
           {"CMPFUNC", "src/rec.h:6"}}) {
    std::string cmd =
        "-es -u NONE -i NONE -N -c 'tag " + want.first +
        "' -c 'call writefile([expand(\"%\") . \":\" . line(\".\")], \"where\")' -c 'qa!' </dev/null";
    ::unlink((dir.path() + "/where").c_str());
    Outcome vim = run_program_shell("vim", dir.path(), cmd);
    EXPECT_EQ(read_file(dir.path() + "/where"), want.second + "\n") << want.first << vim.out << vim.err;
  }
}

}  // namespace
}  // namespace kolvu_test
