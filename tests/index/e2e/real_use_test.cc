// kolvu-index as scripts and editors use it: lists of files and standard
// input, names that are not UTF-8, walks with exclusions and links, checked
// options, files written whole, tags files updated, Emacs TAGS files, and
// memory that does not grow with the files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "index/e2e/index_run.h"

namespace kolvu_test {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif
#else
const bool kSanitized = false;
#endif

const Tree kTwo = {{"src/a.h", "#define A 1\n"}, {"src/sub/b.c", "#define B 1\n"}};

struct ShellCase {
  std::string rest;  // after "'kolvu-index' "
  std::string out, err;
  int status;
};

void expect_shell_cases(const Tree &tree, const std::vector<ShellCase> &cases) {
  TempDir dir;
  write_tree(dir, tree);
  for (const ShellCase &c : cases) {
    Outcome r = index_shell(dir, c.rest);
    EXPECT_EQ(r.out, c.out) << c.rest;
    EXPECT_EQ(r.err, c.err) << c.rest;
    EXPECT_EQ(r.status, c.status) << c.rest;
  }
}

TEST(IndexRealUse, FileListsAndStandardInput) {
  Tree tree = kTwo;
  tree.push_back({"list", "src/sub/b.c\n\nsrc/a.h\r\n"});
  tree.push_back({"list0", std::string("src/a.h\0src/sub/b.c\0", 20)});
  tree.push_back({"names", "B\n\n"});
  std::string ab = def1("src/a.h", "A") + def1("src/sub/b.c", "B");
  std::string ba = def1("src/sub/b.c", "B") + def1("src/a.h", "A");
  expect_shell_cases(tree, {
      {"--files-from=list", ba, "", 0},
      {"-0 --files-from=list0", ab, "", 0},
      {"--null --files-from=- <list0", ab, "", 0},
      {"--files-from - <list", ba, "", 0},
      // Paths of the command line first, then those of the lists.
      {"--files-from=list src/a.h", def1("src/a.h", "A") + ba, "", 0},
      {"- <src/a.h", def1("-", "A"), "", 0},
      {"--stdin-name=std.h src/sub/b.c - <src/a.h", def1("src/sub/b.c", "B") + def1("std.h", "A"), "", 0},
      {"- <src/a.h", def1("-", "A"), "", 0},
      {"/dev/stdin <src/a.h", def1("/dev/stdin", "A"), "", 0},
      {"<(cat src/a.h) | sed 's/\"file\":\"[^\"]*\"/F/'",
       "{F,\"line\":1,\"end_line\":1,\"kind\":\"define\",\"name\":\"A\",\"names\":[{\"name\":\"A\","
       "\"kind\":\"define\",\"line\":1,\"column\":9}],\"begin\":0,\"end\":12,\"text\":\"#define A 1\\n\"}\n",
       "", 0},
      {"--names-from=- src <names", def1("src/sub/b.c", "B"), "", 0},
      {"--files-from=nolist",  "", usage_error("cannot read paths from 'nolist': No such file or directory"), 2},
      {"--files-from=- - <list", "", usage_error("standard input ('-') given more than once"), 2},
  });
}

TEST(IndexRealUse, ANamedFifoIsReadAsAFile) {
  TempDir dir;
  write_tree(dir, kTwo);
  ASSERT_EQ(::mkfifo((dir.path() + "/pipe.h").c_str(), 0644), 0);
  Outcome r = run_program_shell("true", dir.path(), "; (sleep 0.2; cat src/a.h >pipe.h) & '" KOLVU_INDEX_BINARY "' pipe.h");
  EXPECT_EQ(r.out, def1("pipe.h", "A"));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

// The tags of a tree given through a list equal those of the tree given as a
// directory, whatever the order of the list and the number of workers.
TEST(IndexRealUse, TagsOfAListEqualThoseOfTheDirectory) {
  TempDir dir;
  Tree tree;
  for (int i = 0; i < 40; ++i) {
    std::string n = std::to_string(i);
    tree.push_back({"t/d" + std::to_string(i % 3) + "/f" + n + ".c",
                    "#define M" + n + " 1\n#define SHARED " + n + "\nstruct S" + n + " { int a; };\n"});
  }
  write_tree(dir, tree);
  Outcome whole = index_run(dir, {"--format=tags", "-j2", "t"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  for (const char *list : {"find t -type f | LC_ALL=C sort | '" KOLVU_INDEX_BINARY "' --format=tags -j4 --files-from=-",
                           "find t -type f -print0 | '" KOLVU_INDEX_BINARY "' --format=tags -0 --files-from=- -j1"}) {
    Outcome r = run_program_shell("true", dir.path(), "; " + std::string(list));
    EXPECT_EQ(r.status, 0) << r.err;
    // Same names and places; tags of one name may come in another order when
    // the list is not in the walk's order.
    auto sorted_lines = [](const std::string &s) {
      std::vector<std::string> lines;
      size_t start = 0;
      for (size_t nl; (nl = s.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(s.substr(start, nl - start));
      std::sort(lines.begin(), lines.end());
      return lines;
    };
    EXPECT_EQ(sorted_lines(r.out), sorted_lines(whole.out)) << list;
    EXPECT_GT(whole.out.size(), 2000u);
  }
}

// A name in Shift_JIS (設定.h) keeps its bytes beside a readable name; the
// tags file writes the bytes as they are.
TEST(IndexRealUse, FileNamesThatAreNotUtf8KeepTheirBytes) {
  TempDir dir;
  std::string sjis_name = bytes({0x90, 0xDD, 0x92, 0xE8}) + ".h";
  std::string broken = bytes({0xFF, 'x'}) + ".h";
  write_tree(dir, {{"d/" + sjis_name, "#define S 1\n"}, {"d/" + broken, "#define X 1\n"},
                   {"d/表.h", "#define U 1\n"}});
  Outcome r = index_run(dir, {"d"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"file\":\"d/設定.h\",\"file_bytes\":\"ZC+Q3ZLoLmg=\",\"line\":1,\"end_line\":1,"
            "\"kind\":\"define\",\"name\":\"S\",\"names\":[{\"name\":\"S\",\"kind\":\"define\",\"line\":1,\"column\":9}],\"begin\":0,\"end\":12,\"text\":\"#define S 1\\n\"}\n"
            "{\"file\":\"d/表.h\",\"line\":1,\"end_line\":1,\"kind\":\"define\",\"name\":\"U\","
            "\"names\":[{\"name\":\"U\",\"kind\":\"define\",\"line\":1,\"column\":9}],\"begin\":0,\"end\":12,"
            "\"text\":\"#define U 1\\n\"}\n"
            "{\"file\":\"d/\xEF\xBF\xBDx.h\",\"file_bytes\":\"ZC//eC5o\",\"line\":1,\"end_line\":1,"
            "\"kind\":\"define\",\"name\":\"X\",\"names\":[{\"name\":\"X\",\"kind\":\"define\",\"line\":1,\"column\":9}],\"begin\":0,\"end\":12,\"text\":\"#define X 1\\n\"}\n");
  Outcome tags = index_run(dir, {"--format=tags", "d"});
  EXPECT_NE(tags.out.find("S\td/" + sjis_name + "\t1;\""), std::string::npos) << tags.out;
  if (!have("python3")) GTEST_SKIP() << "python3 is not installed";
  // A script opens every file a record names.
  Outcome py = index_shell(
      dir, "d | python3 -c 'import base64, json, sys\n"
           "for l in sys.stdin:\n"
           "  r = json.loads(l)\n"
           "  name = base64.b64decode(r[\"file_bytes\"]) if \"file_bytes\" in r else r[\"file\"].encode()\n"
           "  print(r[\"name\"], open(name, \"rb\").read().decode())'");
  EXPECT_EQ(py.out, "S #define S 1\n\nU #define U 1\n\nX #define X 1\n\n");
  EXPECT_EQ(py.err, "");
}

TEST(IndexRealUse, WalksTakeUpperCaseEndingsExcludeAndFollowLinks) {
  TempDir dir;
  write_tree(dir, {{"p/FOO.H", "#define FOO 1\n"}, {"p/MAIN.C", "#define MAIN 1\n"},
                   {"p/x_test.c", "#define XT 1\n"}, {"p/gen/g.h", "#define G 1\n"},
                   {"common/inc/c.h", "#define C 1\n"}, {"excl", "# comment\n*_test.c\n\ngen\n"}});
  link_in(dir, "../common/inc", "p/include");
  link_in(dir, "nowhere", "p/.#lock.h");  // an editor's lock: a dangling link
  std::string warn = "kolvu-index: warning: p/.#lock.h: No such file or directory\n";
  std::string foo = def1("p/FOO.H", "FOO"), main = def1("p/MAIN.C", "MAIN");
  struct Case {
    std::vector<std::string> args;
    std::string out, err;
    int status;
  } cases[] = {
      {{"p"}, foo + main + def1("p/gen/g.h", "G") + def1("p/x_test.c", "XT"), warn, 0},
      {{"--exclude=*_test.c", "--exclude", "gen", "--exclude=.#*", "p"}, foo + main, "", 0},
      {{"--exclude-from=excl", "p"}, foo + main, warn, 0},
      {{"--exclude=*.H", "--exclude=*_test.c", "--exclude=gen", "--exclude=.#*", "p"}, main, "", 0},
      {{"--follow", "--exclude-from=excl", "--exclude=.#*", "p"}, foo + main + def1("p/include/c.h", "C"), "", 0},
      // A path named that cannot be read is still a failure.
      {{"--exclude-from=excl", "p", "p/.#lock.h"}, foo + main,
       warn + "kolvu-index: p/.#lock.h: No such file or directory\n", 1},
  };
  for (const Case &c : cases) {
    Outcome r = index_run(dir, c.args);
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
    EXPECT_EQ(r.status, c.status) << c.args[0];
  }
}

TEST(IndexRealUse, NamesEndingsAndEncodingsAreChecked) {
  Tree tree = {{"a.h", "#define MAX_LEN 1\n#define A_H 1\n"}};
  struct Case {
    std::vector<std::string> args;
    Expect want;
  } cases[] = {
      {{"--names=*_H", "a.h"}, {"", usage_error("invalid name list '*_H': '*' stands only at the end of an entry"), 2}},
      {{"--names=MAX_*_X", "a.h"}, {"", usage_error("invalid name list 'MAX_*_X': '*' stands only at the end of an entry"), 2}},
      {{"--names=", "a.h"}, {"", usage_error("invalid name list '': an empty name"), 2}},
      {{"--ext=*.h", "."}, {"", usage_error("invalid ending '*.h' in '*.h' (a '.' then the rest of a name, as .h)"), 2}},
      {{"--names=MAX_*", "--encoding=CP932", "a.h"}, {def1("a.h", "MAX_LEN"), "", 0}},
      {{"--names=A_H", "--encoding=Shift_JIS", "a.h"}, {rec("a.h", 2, "define", "A_H", "#define A_H 1\\n", 18, 32), "", 0}},
  };
  for (const Case &c : cases) expect_index(tree, c.args, c.want);
}

// A large file, from a path or a pipe, is read a piece at a time: memory
// follows the definitions held, not the size of the file.
TEST(IndexRealUse, ALargeFileIsReadInPieces) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers' own memory hides the program's";
  TempDir dir;
  std::string text;
  for (int k = 0; text.size() < (2u << 20); ++k)
    text += "typedef struct s" + std::to_string(k) + " {\n  int a; /* \x95\x5c */\n} T" +
            std::to_string(k) + ";\n";
  {  // 80 MiB, never held here: a child forked from this process counts what it holds
    std::ofstream big(dir.path() + "/big.h", std::ios::binary);
    for (int i = 0; i < 40; ++i) big << text;
  }
  std::string().swap(text);
  for (const char *how : {"big.h >/dev/null", "- <big.h >/dev/null"}) {
    struct rusage before, after;
    ::getrusage(RUSAGE_CHILDREN, &before);
    Outcome r = run_program_shell(KOLVU_INDEX_BINARY, dir.path(), std::string("-j1 --kinds=t ") + how);
    ::getrusage(RUSAGE_CHILDREN, &after);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_LT(after.ru_maxrss, 40L * 1024) << how << ": KiB";
  }
}

// Files whose output is large, on four workers: the output of files whose
// turn has not come is held within a budget, not whole.
TEST(IndexRealUse, PeakMemoryDoesNotGrowWithTheOutputOfTheTree) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers' own memory hides the program's";
  TempDir dir;
  std::string text;
  for (int k = 0; text.size() < (3u << 20); ++k)
    text += "#define NAME_" + std::to_string(k) + " \"" + std::string(40, 'v') + "\"\n";
  for (int i = 0; i < 24; ++i) dir.write("f" + std::to_string(100 + i) + ".h", text);
  Outcome r = run_program_shell("true", dir.path(),
                                "; '" KOLVU_INDEX_BINARY "' -j4 . | wc -c");
  EXPECT_EQ(r.err, "");
  EXPECT_GT(std::stoll(r.out), 24ll * (4 << 20));
  // The shell's own children are counted in its maximum only.
  struct rusage before;
  ::getrusage(RUSAGE_CHILDREN, &before);
  Outcome direct = run_program(KOLVU_INDEX_BINARY, {"-j4", "-o", "out.jsonl", "."}, dir.path());
  struct rusage after;
  ::getrusage(RUSAGE_CHILDREN, &after);
  EXPECT_EQ(direct.status, 0) << direct.err;
  // The sources held while they are scanned (3 MiB each, and the copy
  // each worker scans), a 16 MiB budget, and the output of a file the
  // budget lets finish: 46-52 MiB on an idle machine, 58 MiB seen on a
  // loaded one. The output of the tree is over 96 MiB; before the budget
  // all of it was held.
  EXPECT_LT(after.ru_maxrss, 64L * 1024) << "KiB";
}

// -o writes a new file beside the one named and renames it only when every
// path was read: the file named is whole, old or new.
TEST(IndexRealUse, OutputFilesAreReplacedWholeOrNotAtAll) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
    int status;
    std::string out_file;  // out.json afterwards
  } cases[] = {
      {{"-o", "out.json", "src"}, "", 0, def1("src/a.h", "A") + def1("src/sub/b.c", "B")},
      {{"--output=out.json", "--format=tags", "src/a.h"}, "", 0, "tags"},
      {{"-oout.json", "src", "missing.h"},
       "kolvu-index: missing.h: No such file or directory\nkolvu-index: out.json left as it was\n", 1,
       "old\n"},
      {{"-o", "nodir/out.json", "src"}, "kolvu-index: cannot write nodir/out.json: No such file or directory\n",
       1, "old\n"},
  };
  for (const Case &c : cases) {
    TempDir dir;
    write_tree(dir, kTwo);
    dir.write("out.json", "old\n");
    ASSERT_EQ(::chmod((dir.path() + "/out.json").c_str(), 0640), 0);
    Outcome r = index_run(dir, c.args);
    EXPECT_EQ(r.out, "") << c.args[1];
    EXPECT_EQ(r.err, c.err) << c.args[1];
    EXPECT_EQ(r.status, c.status) << c.args[1];
    std::string got = read_file(dir.path() + "/out.json");
    if (c.out_file == "tags") EXPECT_NE(got.find("A\tsrc/a.h\t1;\"\td\n"), std::string::npos) << got;
    else EXPECT_EQ(got, c.out_file) << c.args[1];
    struct stat st;
    ASSERT_EQ(::stat((dir.path() + "/out.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the mode of the file replaced";
    // Nothing is left beside it.
    Outcome ls = run_program_shell("ls", dir.path(), "-A");
    EXPECT_EQ(ls.out, "out.json\nsrc\n") << c.args[1];
  }
}

// Run as root over another user's file, the file stays that user's.
TEST(IndexRealUse, AFileReplacedKeepsItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file away";
  TempDir dir;
  write_tree(dir, kTwo);
  dir.write("out.json", "old\n");
  const std::string out = dir.path() + "/out.json";
  ASSERT_EQ(::chown(out.c_str(), 65534, 65534), 0);
  Outcome r = index_run(dir, {"-o", "out.json", "src"});
  EXPECT_EQ(r.status, 0) << r.err;
  struct stat st;
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(read_file(out), def1("src/a.h", "A") + def1("src/sub/b.c", "B"));
}

// What a rename cannot replace is written through: "-" is standard output,
// a symbolic link keeps pointing at the file it names, and a FIFO (as a
// device such as /dev/null) is written to, not swapped for a file.
TEST(IndexRealUse, OutputThatIsNoPlainFileIsWrittenThrough) {
  const std::string records = def1("src/a.h", "A") + def1("src/sub/b.c", "B");
  TempDir dir;
  write_tree(dir, kTwo);
  Outcome r = index_run(dir, {"-o", "-", "src"});
  EXPECT_EQ(r.out, records);
  EXPECT_EQ(r.status, 0) << r.err;

  dir.write("real.json", "old\n");
  ASSERT_EQ(::symlink("real.json", (dir.path() + "/link.json").c_str()), 0);
  r = index_run(dir, {"-o", "link.json", "src"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.path() + "/real.json"), records);
  struct stat st;
  ASSERT_EQ(::lstat((dir.path() + "/link.json").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";

  // A run that fails has already written to the FIFO: no "left as it was".
  r = run_program_shell("mkfifo", dir.path(),
                        "fifo && { timeout 20 cat fifo >got & } && '" KOLVU_INDEX_BINARY
                        "' -o fifo src missing.h; s=$?; wait; exit $s");
  EXPECT_EQ(r.err, "kolvu-index: missing.h: No such file or directory\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_file(dir.path() + "/got"), records);
  ASSERT_EQ(::lstat((dir.path() + "/fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced by a file";
  Outcome ls = run_program_shell("ls", dir.path(), "-A");
  EXPECT_EQ(ls.out, "fifo\ngot\nlink.json\nreal.json\nsrc\n");
}

// A run ended by a signal leaves the file named as it was and nothing
// beside it. The run waits on a FIFO nobody writes to, its new file made.
TEST(IndexRealUse, ASignalThatEndsTheRunRemovesTheNewFile) {
  for (const char *sig : {"TERM", "INT", "HUP"}) {
    TempDir dir;
    dir.write("out.json", "old\n");
    Outcome r = run_program_shell(
        "mkfifo", dir.path(),
        // Job control on, so that the background run does not ignore SIGINT;
        // a run the signal did not end is killed after ten seconds.
        "in.h && set -m && { '" KOLVU_INDEX_BINARY "' -o out.json in.h & } && pid=$! && "
        "for i in $(seq 200); do ls -A | grep -q '^\\.out\\.json\\.' && break; sleep 0.05; done && "
        "ls -A | tr '\\n' ' ' && kill -" + std::string(sig) + " $pid; "
        "for i in $(seq 200); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done; "
        "kill -KILL $pid 2>/dev/null; wait $pid; echo \" status $?\"; ls -A");
    std::string code = std::to_string(128 + (sig[0] == 'T' ? 15 : sig[0] == 'I' ? 2 : 1));
    // The new file was there while the run went on, and is gone after it.
    EXPECT_NE(r.out.find(".out.json."), std::string::npos) << sig << ": " << r.out;
    EXPECT_NE(r.out.find(" status " + code + "\nin.h\nout.json\n"), std::string::npos)
        << sig << ": " << r.out;
    EXPECT_EQ(read_file(dir.path() + "/out.json"), "old\n");
  }
}

// Updating a tags file for the files that changed gives the file a whole
// run gives, sorted; other files' lines are kept.
TEST(IndexRealUse, UpdateReplacesTheLinesOfTheFilesGiven) {
  TempDir dir;
  Tree tree;
  for (int i = 0; i < 12; ++i) {
    std::string n = std::to_string(i);
    tree.push_back({"src/f" + n + ".h", "#define K" + n + " 1\nstruct S" + n + " { int a; };\n"});
  }
  write_tree(dir, tree);
  ASSERT_EQ(index_run(dir, {"--format=tags", "-o", "tags", "src"}).status, 0);
  dir.write("src/f3.h", "#define NEW3 1\ntypedef int T3;\n");  // S3 and K3 are gone
  dir.write("src/f7.h", "");
  std::vector<std::vector<std::string>> updates = {
      {"--update=tags", "src/f3.h", "src/f7.h"},
      {"-a", "src/f7.h", "src/f3.h"},
      {"-a", "-o", "tags", "-j1", "src/f3.h", "src/f7.h"},
  };
  Outcome whole = index_run(dir, {"--format=tags", "src"});
  ASSERT_EQ(whole.status, 0);
  EXPECT_NE(whole.out.find("NEW3\tsrc/f3.h\t1;"), std::string::npos);
  EXPECT_EQ(whole.out.find("S7"), std::string::npos);
  for (const auto &args : updates) {
    Outcome r = index_run(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    expect_same_bytes(read_file(dir.path() + "/tags"), whole.out);
  }
  // A file removed loses its lines, with a warning.
  ASSERT_EQ(::unlink((dir.path() + "/src/f5.h").c_str()), 0);
  Outcome gone = index_run(dir, {"-a", "src/f5.h"});
  EXPECT_EQ(gone.err, "kolvu-index: warning: src/f5.h: No such file or directory\n");
  EXPECT_EQ(gone.status, 0);
  expect_same_bytes(read_file(dir.path() + "/tags"), index_run(dir, {"--format=tags", "src"}).out);
  EXPECT_EQ(read_file(dir.path() + "/tags").find("S5"), std::string::npos);
  EXPECT_EQ(index_run(dir, {"--update=tags", "--format=json", "src/f3.h"}).status, 2);
}

// Emacs reads the TAGS file and its xref finds each definition's line.
TEST(IndexRealUse, EmacsFindsDefinitionsThroughTheTagsFile) {
  if (!have("emacs")) GTEST_SKIP() << "emacs is not installed";
  TempDir dir;
  write_tree(dir, {{"src/a.h", "#define MAX_LEN 10\nstruct point {\n  int x;\n};\n"},
                   {"src/sub/b.h", "/* b */\ntypedef struct {\n  int v;\n} Value;\nunion u { int i; };\n"},
                   {"src/sub/B.H", "#define OLD 1\n"}});
  Outcome idx = index_run(dir, {"--format=etags", "-o", "TAGS", "src"});
  ASSERT_EQ(idx.status, 0) << idx.err;
  for (const auto &want : std::vector<std::pair<std::string, std::string>>{
           {"MAX_LEN", "src/a.h:1:#define MAX_LEN 10\n"},
           {"point", "src/a.h:2:struct point {\n"},
           {"Value", "src/sub/b.h:4:} Value;\n"},
           {"u", "src/sub/b.h:5:union u { int i; };\n"},
           {"OLD", "src/sub/B.H:1:#define OLD 1\n"}}) {
    std::string lisp =
        "(let ((top default-directory)) (require (quote etags)) (require (quote xref))"
        " (visit-tags-table \"TAGS\")"
        " (dolist (x (xref-backend-definitions (quote etags) \"" + want.first + "\"))"
        "  (let ((m (xref-location-marker (xref-item-location x))))"
        "   (with-current-buffer (marker-buffer m) (goto-char m)"
        "    (princ (format \"%s:%d:%s\\n\" (file-relative-name buffer-file-name top)"
        "     (line-number-at-pos) (buffer-substring (line-beginning-position) (line-end-position))))))))";
    Outcome emacs = run_program_shell("emacs", dir.path(), "--batch -Q --eval '" + lisp + "'");
    EXPECT_EQ(emacs.out, want.second) << want.first << emacs.err;
  }
}

}  // namespace
}  // namespace kolvu_test
