#include "driver/read_ahead.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/test_util.h"
#include "support/text_file.h"
#include "util/alloc_seam.h"

namespace kolvu {
namespace {

using kolvu_test::Outcome;
using kolvu_test::TempDir;

using kolvu_test::drain;

// The names as the tool hands them over: a block the read-ahead then owns,
// pointing at strings that stay with the caller. Each file waits for a "-l"
// value that never comes, so none is scanned ahead: they are only read.
AheadFile *list_of(std::vector<std::string> &names, int lists = 1) {
  auto *files = static_cast<AheadFile *>(std::malloc(sizeof(AheadFile) * names.size()));
  for (size_t i = 0; i < names.size(); ++i) files[i] = {&names[i][0], lists, 0x3F, false};
  return files;
}

TextFile *open_next(std::string &name) {
  bool scanned = false;
  TextFile *f = read_ahead_open(&name[0], &scanned);
  EXPECT_FALSE(scanned);
  return f;
}

bool two_processors() {
  cpu_set_t set;
  return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) >= 2;
}

// What a scan of names in order sees: each file's text, or "(none)".
std::vector<std::string> texts_in_order(std::vector<std::string> &names) {
  std::vector<std::string> texts;
  for (std::string &name : names) {
    TextFile *f = open_next(name);
    texts.push_back(f == nullptr ? "(none)" : drain(f));
    if (f != nullptr) {
      EXPECT_EQ(read_ahead_close(f), 0);
    }
  }
  return texts;
}

std::vector<std::string> texts_one_by_one(const std::vector<std::string> &names) {
  std::vector<std::string> texts;
  for (const std::string &name : names) {
    TextFile *f = text_open(name.c_str());
    texts.push_back(f == nullptr ? "(none)" : drain(f));
    if (f != nullptr) text_close(f);
  }
  return texts;
}

TEST(ReadAhead, EveryFileComesAsTextOpenGivesIt) {
  if (!two_processors()) GTEST_SKIP() << "reads ahead only with two processors";
  TempDir dir;
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) {
    std::string data;
    size_t size = i % 7 == 3 ? 300 * 1024 : static_cast<size_t>(i * 97);
    while (data.size() < size) data += "#define N" + std::to_string(data.size()) + " 1\r\n";
    if (i == 5) data += "\x1A" "after Ctrl-Z\n";
    names.push_back(dir.write("f" + std::to_string(i) + ".h", data));
    if (i == 10) names.push_back(dir.path() + "/missing.h");
    if (i == 20) names.push_back(dir.path());
    if (i == 30) names.push_back("/dev/null");
  }
  std::vector<std::string> want = texts_one_by_one(names);
  ASSERT_TRUE(read_ahead_start(list_of(names), static_cast<int>(names.size())));
  EXPECT_EQ(texts_in_order(names), want);
  read_ahead_stop();
}

TEST(ReadAhead, AFifoIsOpenedOnlyInItsTurn) {
  if (!two_processors()) GTEST_SKIP() << "reads ahead only with two processors";
  TempDir dir;
  std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::string> names = {dir.write("a.h", "a\n"), fifo, dir.write("b.h", "b\n")};
  ASSERT_TRUE(read_ahead_start(list_of(names), 3));
  TextFile *a = open_next(names[0]);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(drain(a), "a\n");
  read_ahead_close(a);
  // The writer comes only now; a FIFO opened or read ahead would have
  // given nothing, or held the thread, and b with it.
  std::thread writer([&] {
    FILE *w = std::fopen(fifo.c_str(), "w");
    std::fputs("from the writer\n", w);
    std::fclose(w);
  });
  TextFile *p = open_next(names[1]);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(drain(p), "from the writer\n");
  read_ahead_close(p);
  writer.join();
  TextFile *b = open_next(names[2]);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(drain(b), "b\n");
  read_ahead_close(b);
  read_ahead_stop();
}

TEST(ReadAhead, TheFileStandardOutputWritesToIsReadInItsTurn) {
  TempDir dir;
  std::string out = dir.write("out.h", "");
  std::vector<std::string> names = {dir.write("a.h", "a\n"), out};
  Outcome r = kolvu_test::run_in_child([&] {
    FILE *o = std::freopen(out.c_str(), "w", stdout);
    if (o == nullptr || !read_ahead_start(list_of(names), 2)) std::exit(3);
    // Time for the thread to read both files, were it allowed to.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    (void)!::write(STDOUT_FILENO, "written meanwhile\n", 18);
    std::vector<std::string> texts = texts_in_order(names);
    std::fprintf(stderr, "%s|%s", texts[0].c_str(), texts[1].c_str());
    read_ahead_stop();
  });
  if (r.status == 3 && !two_processors()) GTEST_SKIP() << "reads ahead only with two processors";
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "a\n|written meanwhile\n");
}

TEST(ReadAhead, StopsWithFilesStillWaiting) {
  if (!two_processors()) GTEST_SKIP() << "reads ahead only with two processors";
  TempDir dir;
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back(dir.write("f" + std::to_string(i), "x\n"));
  ASSERT_TRUE(read_ahead_start(list_of(names), 40));
  TextFile *f = open_next(names[0]);
  ASSERT_NE(f, nullptr);
  read_ahead_close(f);
  read_ahead_stop();  // must neither hang nor leak (the sanitizer build checks)
  // Afterwards every name is opened the usual way.
  EXPECT_EQ(texts_in_order(names)[39], "x\n");
}

TEST(ReadAhead, WithoutItsMemoryFilesAreOpenedInTurn) {
  TempDir dir;
  std::vector<std::string> names = {dir.write("a", "a\n"), dir.write("b", "b\n")};
  AllocHooks saved = set_alloc_hooks(
      {[](size_t) -> void * { return nullptr; }, default_alloc_hooks().realloc_fn,
       default_alloc_hooks().strdup_fn});
  bool started = read_ahead_start(list_of(names), 2);
  set_alloc_hooks(saved);
  EXPECT_FALSE(started);
  EXPECT_EQ(texts_in_order(names), (std::vector<std::string>{"a\n", "b\n"}));
  // A single name, or none, is not worth a thread.
  EXPECT_FALSE(read_ahead_start(list_of(names), 1));
  EXPECT_FALSE(read_ahead_start(nullptr, 0));
}

TEST(ReadAhead, ANameOutOfTurnIsOpenedAsUsual) {
  if (!two_processors()) GTEST_SKIP() << "reads ahead only with two processors";
  TempDir dir;
  std::vector<std::string> names = {dir.write("a", "a\n"), dir.write("b", "b\n")};
  ASSERT_TRUE(read_ahead_start(list_of(names), 2));
  std::string copy = names[1];  // the same name, not the listed pointer
  TextFile *f = open_next(copy);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(drain(f), "b\n");
  read_ahead_close(f);
  EXPECT_EQ(texts_in_order(names), (std::vector<std::string>{"a\n", "b\n"}));
  read_ahead_stop();
}

}  // namespace
}  // namespace kolvu
