#include "kolvu/mem.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc_seam.h"
#include "kolvu/errmsg.h"
#include "out_seam.h"
#include "support/test_util.h"

namespace kolvu {
namespace {

using kolvu_test::Outcome;

#if defined(__SANITIZE_ADDRESS__)
const bool kAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const bool kAsan = true;
#else
const bool kAsan = false;
#endif
#else
const bool kAsan = false;
#endif

// A heap that records the sizes asked of it and fails the requests chosen
// by the test.
std::vector<size_t> asked;
size_t fail_from = 0;  // requests of at least this size fail (0: none)
bool fail_all = false;
bool fail_zero = false;

bool fails(size_t n) {
  asked.push_back(n);
  return fail_all || (fail_zero && n == 0) || (fail_from != 0 && n >= fail_from);
}
void *test_malloc(size_t n) { return fails(n) ? nullptr : std::malloc(n); }
void *test_realloc(void *p, size_t n) { return fails(n) ? nullptr : std::realloc(p, n); }
char *test_strdup(const char *s) { return fails(std::strlen(s) + 1) ? nullptr : ::strdup(s); }

class Mem : public ::testing::Test {
 protected:
  void SetUp() override {
    asked.clear();
    fail_from = 0;
    fail_all = fail_zero = false;
    saved_ = set_alloc_hooks({test_malloc, test_realloc, test_strdup});
  }
  void TearDown() override { set_alloc_hooks(saved_); }
  AllocHooks saved_;
};

Outcome in_child(const std::function<void()> &fn) {
  return kolvu_test::run_in_child([&] {
    out_reset();
    fn();
  });
}

void mark_end() { std::fputs("endfun\n", stderr); }

TEST_F(Mem, GetmemClearsTheBlock) {
  char *dirty = static_cast<char *>(std::malloc(16));
  std::memset(dirty, 0x5A, 16);
  std::free(dirty);
  char *p = static_cast<char *>(getmem(16));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0) << i;
  std::free(p);
}

TEST_F(Mem, GetmemOfZeroBytesGetsABlock) {
  fail_zero = true;  // an allocator that gives null for 0 bytes
  void *p = getmem(0);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(asked, (std::vector<size_t>{0, 1000}));
  std::free(p);
}

TEST_F(Mem, GetmemSecondAttemptServesTheRequest) {
  // Only the first request fails; the retry asks for size + 1000.
  static int calls;
  calls = 0;
  AllocHooks h = {[](size_t n) -> void * { return ++calls == 1 ? nullptr : std::malloc(n); },
                  test_realloc, test_strdup};
  set_alloc_hooks(h);
  unsigned char *p = static_cast<unsigned char *>(getmem(40));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(calls, 2);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(p[i], 0);
  std::free(p);
}

TEST_F(Mem, ExhaustionMessagesAndThreshold) {
  struct Case {
    int size;
    const char *message;
  } cases[] = {
      {1000, "cannot get the memory of 1000 bytes\n"},
      {1001, "cannot get the memory of 1 K bytes\n"},
      {1999, "cannot get the memory of 1 K bytes\n"},
      {5000, "cannot get the memory of 5 K bytes\n"},
      {7, "cannot get the memory of 7 bytes\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.size);
    Outcome r = in_child([&] {
      fail_all = true;
      getmem(c.size);
      std::fputs("survived\n", stderr);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.message);
  }
}

TEST_F(Mem, EndfunRunsOnceAfterTheMessageBeforeTheExit) {
  Outcome r = in_child([] {
    endfun = mark_end;
    fail_all = true;
    moremem(nullptr, 2500);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cannot get the memory of 2 K bytes\nendfun\n");
}

TEST_F(Mem, TerminateSizeTurnsTheExitIntoNull) {
  Outcome r = in_child([] {
    terminate_size = 4096;
    endfun = mark_end;
    fail_all = true;
    void *p = getmem(4096);
    std::fputs(p == nullptr ? "null\n" : "block\n", stderr);
    getmem(4095);
    std::fputs("survived\n", stderr);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "cannot get the memory of 4 K bytes\nnull\n"
            "cannot get the memory of 4 K bytes\nendfun\n");
}

TEST_F(Mem, MoremAllocatesResizesAndKeepsContents) {
  char *p = static_cast<char *>(moremem(nullptr, 4));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abc", 4);
  p = static_cast<char *>(moremem(p, 100000));
  EXPECT_STREQ(p, "abc");
  p = static_cast<char *>(moremem(p, 2));
  EXPECT_EQ(std::string(p, 2), "ab");
  std::free(p);
}

TEST_F(Mem, MoremWithSizeZeroNeverReleasesTheBlock) {
  char *p = static_cast<char *>(moremem(nullptr, 8));
  p[0] = 'q';
  asked.clear();
  char *q = static_cast<char *>(moremem(p, 0));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q[0], 'q');
  for (size_t n : asked) EXPECT_NE(n, 0u) << "realloc to 0 would release the block";
  std::free(q);
}

TEST_F(Mem, MoremRetriesThenFails) {
  Outcome r = in_child([] {
    fail_from = 3000;
    void *p = moremem(nullptr, 10);
    moremem(p, 3000);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cannot get the memory of 3 K bytes\n");
}

TEST_F(Mem, SetstrAndAddstr) {
  char *s = setstr("ab");
  EXPECT_STREQ(s, "ab");
  s = addstr(s, "cd");
  EXPECT_STREQ(s, "abcd");
  s = addstr(s, "");
  EXPECT_STREQ(s, "abcd");
  std::free(s);
  char *e = setstr("");
  EXPECT_STREQ(e, "");
  std::free(e);
}

TEST_F(Mem, SetstrAndAddstrFailures) {
  Outcome r = in_child([] {
    endfun = mark_end;
    fail_all = true;
    setstr("name");
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cannot get memory\nendfun\n");

  r = in_child([] {
    char *s = setstr("ab");
    fail_all = true;
    addstr(s, "cd");
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "can't get memory\n");
}

TEST_F(Mem, FatalPathSetsTheDiagnosticFlag) {
  Outcome r = in_child([] {
    endfun = [] { std::fprintf(stderr, "flag=%d\n", errmsg_output_flg); };
    fail_all = true;
    getmem(1);
  });
  EXPECT_EQ(r.err, "cannot get the memory of 1 bytes\nflag=1\n");
}

// The real heap, not the seam: an address-space limit in a child makes a
// large request fail for both attempts. AddressSanitizer cannot run under
// such a limit, so those builds skip this.
TEST(MemRealHeap, ExhaustionUnderAnAddressSpaceLimit) {
  if (kAsan) GTEST_SKIP() << "address-space limits and AddressSanitizer do not mix";
  Outcome r = kolvu_test::run_in_child([] {
    out_reset();
    struct rlimit lim = {256u << 20, 256u << 20};
    if (setrlimit(RLIMIT_AS, &lim) != 0) std::exit(9);
    endfun = mark_end;
    void *small = getmem(100);
    if (small == nullptr) std::exit(8);
    terminate_size = 1 << 30;
    if (getmem(1 << 30) != nullptr) std::exit(7);
    moremem(small, 2000000000);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "cannot get the memory of 1073741 K bytes\n"
            "cannot get the memory of 2000000 K bytes\nendfun\n");
}

}  // namespace
}  // namespace kolvu
