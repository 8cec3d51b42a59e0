// The parallel run: the same bytes for any number of workers, the walk's
// order kept, files that vanish, and a failed write that stops the run.
#include "index/runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "index/options.h"
#include "support/tree.h"

namespace kolvu {
namespace {

using kolvu_test::TempDir;

const int kAllKinds = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;

struct Indexed {
  RunOutcome outcome;
  std::string out, err;
};

Indexed run(const TempDir &dir, const ItemSource &next, IndexFormat format, int jobs,
        const char *out_path = nullptr, size_t budget = 8u << 20,
        size_t whole_file_limit = 1u << 20) {
  IndexJob job;
  job.whole_file_limit = whole_file_limit;
  job.output_budget = budget;
  job.tags_budget = budget;
  job.scan.kinds = kAllKinds;
  job.format = format;
  job.jobs = jobs;
  job.version = "1";
  std::string out_file = dir.path() + "/run.out", err_file = dir.path() + "/run.err";
  int out = ::open(out_path != nullptr ? out_path : out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Indexed r;
  r.outcome = run_index_jobs(job, next, out, err);
  ::close(out);
  ::close(err);
  r.out = out_path != nullptr ? "" : kolvu_test::read_file(out_file);
  r.err = kolvu_test::read_file(err_file);
  return r;
}

ItemSource walk_of(Walker *w) {
  return [w](WalkItem *item) { return w->next(item); };
}

// Files of very different sizes, so that workers finish out of order, and
// paths that cannot be read among them.
void many_files(const TempDir &d) {
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  kolvu_test::Tree tree;
  for (int i = 0; i < 120; ++i) {
    std::string text;
    int defs = (i * 37) % 11 == 0 ? 3000 : i % 7;
    for (int k = 0; k < defs; ++k)
      text += "#define F" + std::to_string(i) + "_" + std::to_string(k) + " " + std::to_string(k) + "\n"
              "typedef struct S" + std::to_string(k) + " { int a; } T" + std::to_string(i) + ";\n";
    char name[32];
    std::snprintf(name, sizeof name, "t/d%d/f%03d.h", i % 5, i);
    tree.push_back({name, text});
  }
  kolvu_test::write_tree(d, tree);
  kolvu_test::link_in(d, "nowhere.h", "t/d2/bad.h");
}

TEST(Runner, TheSameBytesForEveryNumberOfWorkers) {
  TempDir d;
  many_files(d);
  for (IndexFormat format : {IndexFormat::kJson, IndexFormat::kTags}) {
    Walker w1({"t", "missing.h", "t/d1"}, {default_source_exts(), {}, false});
    Indexed one = run(d, walk_of(&w1), format, 1);
    EXPECT_FALSE(one.outcome.all_read);
    // A dangling link met in the walk is a warning; a path given, an error.
    EXPECT_EQ(one.err,
              "kolvu-index: warning: t/d2/bad.h: No such file or directory\n"
              "kolvu-index: missing.h: No such file or directory\n");
    // Lines: (define, typedef) for each definition pair, of t and of t/d1.
    size_t lines = 0;
    for (char c : one.out) lines += c == '\n';
    EXPECT_GT(lines, 6000u);
    for (int jobs : {2, 3, 8}) {
      Walker w({"t", "missing.h", "t/d1"}, {default_source_exts(), {}, false});
      Indexed r = run(d, walk_of(&w), format, jobs);
      EXPECT_TRUE(r.out == one.out) << jobs << " workers";
      EXPECT_EQ(r.err, one.err);
      EXPECT_FALSE(r.outcome.all_read);
    }
  }
}

int threads_of_process() {
  const std::string status = kolvu_test::read_file("/proc/self/status");
  return std::atoi(status.c_str() + status.find("Threads:") + 8);
}

// Workers are started as the walk finds files for them: none besides the
// caller for a run of one file, however many jobs are asked for; as many as
// the jobs when there are files enough. The walk counts the threads it sees
// (its later batches come after the workers' start).
TEST(Runner, WorkersAreStartedForTheFilesFound) {
  TempDir d;
  many_files(d);
  for (int files : {1, 120}) {
    Walker w({"t"}, {default_source_exts(), {}, false});
    int given = 0, most = 0;
    const int before = threads_of_process();
    Indexed r = run(d,
                    [&](WalkItem *item) {
                      most = std::max(most, threads_of_process() - before);
                      return given < files && w.next(item) && ++given > 0;
                    },
                    IndexFormat::kJson, 8);
    EXPECT_TRUE(r.outcome.all_read) << r.err;
    EXPECT_EQ(most, files == 1 ? 0 : 7) << files << " files";
  }
}

// Workers whose files' output would pass the budget wait for their turn and
// then write as they go: the bytes stay the same however small the budget.
// Output held, and tags sorted in runs written out and merged: the same
// bytes whatever the budget.
TEST(Runner, TheSameBytesWhateverTheOutputBudget) {
  TempDir d;
  many_files(d);
  for (IndexFormat format : {IndexFormat::kJson, IndexFormat::kEtags, IndexFormat::kTags}) {
    Walker w1({"t"}, {default_source_exts(), {}, false});
    Indexed one = run(d, walk_of(&w1), format, 1);
    EXPECT_GT(one.out.size(), 300000u);
    for (size_t budget : {size_t{0}, size_t{1000}, size_t{70000}}) {
      for (int jobs : {2, 4}) {
        Walker w({"t"}, {default_source_exts(), {}, false});
        Indexed r = run(d, walk_of(&w), format, jobs, nullptr, budget);
        EXPECT_TRUE(r.out == one.out) << jobs << " workers, budget " << budget;
        EXPECT_EQ(r.err, one.err);
      }
    }
  }
}

// Files read whole and scanned in memory give the records that reading
// them a piece at a time gives: line ends, a Ctrl-Z, encodings guessed.
TEST(Runner, TheSameBytesWhetherFilesAreReadWholeOrInPieces) {
  TempDir d;
  std::string big;
  for (int k = 0; big.size() < 300000; ++k)
    big += "#define BIG_" + std::to_string(k) + " \\\r\n  " + std::to_string(k) + "\r\n"
           "typedef struct { int a; /* \x95\x5c */ } T" + std::to_string(k) + ";\n";
  kolvu_test::write_tree(d, {{"t/crlf.h", "#define A 1\r\nstruct s {\r\n  int a;\r\n};\r\n"},
                             {"t/ctrlz.h", std::string("#define B 2\n\x1a#define C 3\n")},
                             {"t/sjis.h", "#define M \"\x95\x5c\"\ntypedef int \x95\x5c_t; typedef int U;\n"},
                             {"t/euc.h", "/* \xa4\xa2\xa4\xa4 */\n#define E \"\xa4\xe8\"\n"},
                             {"t/utf8.h", "/* \xe8\xa1\xa8 */\nunion u { int i; };\n"},
                             {"t/big.h", big},
                             {"t/empty.h", ""}});
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  for (IndexFormat format : {IndexFormat::kJson, IndexFormat::kTags, IndexFormat::kEtags}) {
    Walker w1({"t"}, {default_source_exts(), {}, false});
    Indexed pieces = run(d, walk_of(&w1), format, 1, nullptr, 8u << 20, 0);
    EXPECT_GT(pieces.out.size(), 100000u);
    for (size_t limit : {size_t{40}, size_t{1} << 20}) {
      Walker w({"t"}, {default_source_exts(), {}, false});
      Indexed whole = run(d, walk_of(&w), format, 2, nullptr, 8u << 20, limit);
      EXPECT_TRUE(whole.out == pieces.out) << "limit " << limit;
      EXPECT_EQ(whole.err, "");
    }
  }
}

TEST(Runner, JsonRecordsFollowTheWalkOrder) {
  TempDir d;
  kolvu_test::write_tree(d, {{"t/b.h", "#define B 1\n"}, {"t/a/z.h", "#define Z 1\n"}, {"t/a.h", "#define A 1\n"}});
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  Walker w({"t"}, {default_source_exts(), {}, false});
  Indexed r = run(d, walk_of(&w), IndexFormat::kJson, 2);
  EXPECT_TRUE(r.outcome.all_read);
  EXPECT_EQ(r.out,
            "{\"file\":\"t/a/z.h\",\"line\":1,\"end_line\":1,\"kind\":\"define\",\"name\":\"Z\",\"names\":[{\"name\":\"Z\",\"kind\":\"define\",\"line\":1,\"column\":9}],\"begin\":0,\"end\":12,\"text\":\"#define Z 1\\n\"}\n"
            "{\"file\":\"t/a.h\",\"line\":1,\"end_line\":1,\"kind\":\"define\",\"name\":\"A\",\"names\":[{\"name\":\"A\",\"kind\":\"define\",\"line\":1,\"column\":9}],\"begin\":0,\"end\":12,\"text\":\"#define A 1\\n\"}\n"
            "{\"file\":\"t/b.h\",\"line\":1,\"end_line\":1,\"kind\":\"define\",\"name\":\"B\",\"names\":[{\"name\":\"B\",\"kind\":\"define\",\"line\":1,\"column\":9}],\"begin\":0,\"end\":12,\"text\":\"#define B 1\\n\"}\n");
}

TEST(Runner, AFileThatVanishesAfterItsDirectoryWasListedIsPassedOverWithAWarning) {
  TempDir d;
  kolvu_test::write_tree(d, {{"t/a.h", "#define A 1\n"}, {"t/b.h", "#define B 1\n"}, {"t/c.h", "#define C 1\n"}});
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  Walker w({"t"}, {default_source_exts(), {}, false});
  ItemSource next = [&](SourceItem *item) {
    bool more = w.next(item);
    if (more && item->path == "t/a.h") ::unlink("t/b.h");
    return more;
  };
  Indexed r = run(d, next, IndexFormat::kTags, 2);
  EXPECT_TRUE(r.outcome.all_read);
  EXPECT_EQ(r.err, "kolvu-index: warning: t/b.h: No such file or directory\n");
  EXPECT_NE(r.out.find("A\tt/a.h\t1;\"\td\nC\tt/c.h\t1;\"\td\n"), std::string::npos) << r.out;
}

TEST(Runner, AFailedWriteStopsTheWalk) {
  TempDir d;
  std::string text;
  for (int k = 0; k < 100; ++k) text += "#define NAME_" + std::to_string(k) + " " + std::string(60, 'x') + "\n";
  d.write("a.h", text);
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  int asked = 0;
  ItemSource next = [&](SourceItem *item) {
    if (asked == 10000) return false;
    ++asked;
    item->path = "a.h";
    return true;
  };
  Indexed r = run(d, next, IndexFormat::kJson, 2, "/dev/full");
  EXPECT_EQ(r.outcome.write_error, ENOSPC);
  EXPECT_TRUE(r.outcome.all_read);
  // At most the window of files in flight (64 a worker) and the few whose
  // output filled the first 64 KiB written: the walk of 10,000 stops.
  EXPECT_LT(asked, 200);
}

}  // namespace
}  // namespace kolvu
