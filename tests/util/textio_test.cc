#include "kolvu/textio.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "out_seam.h"
#include "support/test_util.h"
#include "support/text_file.h"

namespace kolvu {
namespace {

using kolvu_test::Outcome;
using kolvu_test::TempDir;

// Every line of a file as text_gets hands them out, with a 1024-byte buffer.
std::vector<std::string> lines_of(const std::string &data, int size = 1024) {
  TempDir dir;
  std::string path = dir.write("f", data);
  TextFile *f = text_open(path.c_str());
  EXPECT_NE(f, nullptr);
  std::vector<std::string> lines;
  std::vector<char> buf(static_cast<size_t>(size));
  int n;
  while ((n = text_gets(buf.data(), size, f)) > 0) {
    EXPECT_EQ(buf[static_cast<size_t>(n)], '\0');
    lines.emplace_back(buf.data(), static_cast<size_t>(n));
  }
  EXPECT_EQ(text_close(f), 0);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TextInput, LinesKeepTheirNewlineAndTheLastMayLackIt) {
  EXPECT_EQ(lines_of("a\nbc\n\nd"), (Lines{"a\n", "bc\n", "\n", "d"}));
  EXPECT_EQ(lines_of(""), Lines{});
  EXPECT_EQ(lines_of("\n"), Lines{"\n"});
}

TEST(TextInput, CarriageReturnsAreDroppedWhereverTheyStand) {
  EXPECT_EQ(lines_of("a\r\nb\r\n"), (Lines{"a\n", "b\n"}));
  EXPECT_EQ(lines_of("a\rb\nc\r"), (Lines{"ab\n", "c"}));
  EXPECT_EQ(lines_of("\r\r\r"), Lines{});
}

TEST(TextInput, CtrlZEndsTheFile) {
  EXPECT_EQ(lines_of("a\nb\x1A" "c\nd\n"), (Lines{"a\n", "b"}));
  EXPECT_EQ(lines_of("\x1A" "abc"), Lines{});
}

TEST(TextInput, NulBytesAreHandedOutWithTheLine) {
  std::string data("a\0b\nc", 5);
  Lines got = lines_of(data);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::string("a\0b\n", 4));
  EXPECT_EQ(got[1], "c");
}

TEST(TextInput, ReadsStopAfter1023Bytes) {
  std::string long_line(2000, 'x');
  Lines got = lines_of(long_line + "\nnext\n");
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], std::string(1023, 'x'));
  EXPECT_EQ(got[1], std::string(977, 'x') + "\n");
  EXPECT_EQ(got[2], "next\n");
  // 1022 bytes and the '\n' fill the buffer exactly.
  EXPECT_EQ(lines_of(std::string(1022, 'y') + "\n"), Lines{std::string(1022, 'y') + "\n"});
}

TEST(TextInput, SmallBuffersTakeALineInPieces) {
  EXPECT_EQ(lines_of("abcdefgh\nij", 5), (Lines{"abcd", "efgh", "\n", "ij"}));
  EXPECT_EQ(lines_of("ab\ncd\n", 2), (Lines{"a", "b", "\n", "c", "d", "\n"}));
  // A buffer larger than one read joins the reads of a long line.
  std::string long_line(3000, 'L');
  EXPECT_EQ(lines_of(long_line + "\nx", 4000), (Lines{long_line + "\n", "x"}));
}

TEST(TextInput, LinesInPlaceEndWithANulThatIsUndoneOnTheNextRead) {
  TempDir dir;
  std::string path = dir.write("f", "ab\ncd\nef");
  TextFile *f = text_open(path.c_str());
  ASSERT_NE(f, nullptr);
  int n = 0;
  const char *l = text_line(f, &n);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(std::string(l, n + 1), std::string("ab\n\0", 4));
  l = text_line(f, &n);
  EXPECT_EQ(std::string(l, n + 1), std::string("cd\n\0", 4));
  l = text_line(f, &n);
  EXPECT_EQ(std::string(l, n + 1), std::string("ef\0", 3));
  EXPECT_EQ(text_line(f, &n), nullptr);
  EXPECT_EQ(text_close(f), 0);
}

TEST(TextInput, LinesAcrossReadBlocksAreWhole) {
  // Large enough to span several internal reads, with CR LF ends and a CR
  // at every position relative to the block edges.
  std::string data, expect_all;
  for (int i = 0; i < 40000; ++i) {
    std::string body = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 13), 'z');
    data += body + (i % 3 == 0 ? "\r\n" : "\n");
    expect_all += body + "\n";
  }
  Lines got = lines_of(data);
  std::string joined;
  for (const std::string &l : got) {
    ASSERT_FALSE(l.empty());
    ASSERT_EQ(l.back(), '\n');
    joined += l;
  }
  EXPECT_EQ(got.size(), 40000u);
  EXPECT_EQ(joined, expect_all);
}

TEST(TextInput, WindowHasReadableSlackEvenWhenFullest) {
  // Keep the longest partial line unread each time, so the next read fills
  // the block to its very end; the 80 bytes after the window's NUL must
  // still be readable (AddressSanitizer checks the reads below).
  TempDir dir;
  std::string data(600 * 1024, 'x');
  for (size_t i = 1000; i < data.size(); i += 1000) data[i] = '\n';
  std::string path = dir.write("f", data);
  TextFile *f = text_open(path.c_str());
  ASSERT_NE(f, nullptr);
  size_t seen = 0;
  unsigned sum = 0;
  for (;;) {
    int avail = 0;
    bool rest = false;
    const char *w = text_window(f, &avail, &rest);
    if (avail == 0) break;
    EXPECT_EQ(w[avail], '\0');
    for (int i = 1; i <= 80; ++i) sum += static_cast<unsigned char>(w[avail + i]);
    int take = rest || avail < 1023 ? avail : avail - 1022;
    seen += static_cast<size_t>(take);
    text_consume(f, take);
  }
  EXPECT_EQ(seen, data.size());
  EXPECT_EQ(text_close(f), 0);
  (void)sum;
}

TEST(TextInput, AWindowGrownHoldsTheTextNotConsumedAndAsMuchMoreAsFits) {
  // Consuming a little at a time and growing the window each time: the
  // window always starts at the first byte not consumed, holds a block and
  // more once the file has that much left, ends in a NUL with readable
  // slack, and the text handed out is the file's, CRs dropped.
  TempDir dir;
  std::string data, cooked;
  for (int i = 0; cooked.size() < 700 * 1024; ++i) {
    std::string line = "row " + std::to_string(i) + std::string(static_cast<size_t>(i % 50), 'g');
    data += line + (i % 4 == 0 ? "\r\n" : "\n");
    cooked += line + "\n";
  }
  std::string path = dir.write("f", data);
  TextFile *f = text_open(path.c_str());
  ASSERT_NE(f, nullptr);
  size_t at = 0;
  unsigned sum = 0;
  int grown = 0;
  for (bool more = false;; more = !more) {
    int avail = 0;
    bool rest = false;
    const char *w = more ? text_window_more(f, &avail, &rest) : text_window(f, &avail, &rest);
    if (avail == 0) break;
    ASSERT_LE(at + static_cast<size_t>(avail), cooked.size());
    ASSERT_EQ(std::string(w, static_cast<size_t>(avail)), cooked.substr(at, static_cast<size_t>(avail)));
    EXPECT_EQ(rest, at + static_cast<size_t>(avail) == cooked.size());
    if (more && !rest) {
      EXPECT_GE(avail, 128 * 1024);
      ++grown;
    }
    EXPECT_EQ(w[avail], '\0');
    for (int i = 1; i <= 80; ++i) sum += static_cast<unsigned char>(w[avail + i]);
    int take = rest ? avail : avail / 3;
    at += static_cast<size_t>(take);
    text_consume(f, take);
  }
  EXPECT_EQ(at, cooked.size());
  EXPECT_GT(grown, 3);
  EXPECT_EQ(text_close(f), 0);
  (void)sum;
}

TEST(TextInput, OpenFailsForMissingFilesAndDirectories) {
  TempDir dir;
  EXPECT_EQ(text_open((dir.path() + "/missing").c_str()), nullptr);
  EXPECT_EQ(text_open(dir.path().c_str()), nullptr);
  EXPECT_EQ(text_open(""), nullptr);
  if (::geteuid() != 0) {  // root reads every file
    std::string p = dir.write("secret", "x\n");
    ::chmod(p.c_str(), 0);
    EXPECT_EQ(text_open(p.c_str()), nullptr);
  }
}

TEST(TextInput, DevNullIsAnEmptyFile) {
  TextFile *f = text_open("/dev/null");
  ASSERT_NE(f, nullptr);
  char buf[16];
  EXPECT_EQ(text_gets(buf, sizeof buf, f), 0);
  EXPECT_EQ(text_close(f), 0);
}

Outcome in_child(const std::function<void()> &fn, bool merged) {
  return kolvu_test::run_in_child(
      [&] {
        out_reset();
        fn();
      },
      merged);
}

TEST(StandardOutput, BlocksOf512WhenBothStreamsShareAFile) {
  Outcome r = in_child(
      [] {
        out_write(std::string(700, 'a').c_str(), 700);
        errmsg("diag\n");
      },
      true);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(512, 'a') + "diag\n" + std::string(188, 'a'));
}

TEST(StandardOutput, AFullBlockWaitsForOneMoreByte) {
  Outcome r = in_child(
      [] {
        for (int i = 0; i < 512; ++i) out_putc('b');
        errmsg("first\n");
        out_putc('c');
        errmsg("second\n");
      },
      true);
  EXPECT_EQ(r.out, "first\n" + std::string(512, 'b') + "second\nc");
}

// Whatever the sizes of the writes, the file holds at every moment all the
// bytes but the last block begun: a full block waits for one more byte. The
// library writes through stdio, whose own rule for large requests differs,
// so every other write here ends exactly on a block boundary.
struct BlockRuleSteps {
  std::vector<size_t> sizes;
  std::string bytes;
  BlockRuleSteps() {
    const size_t plain[] = {1, 2, 100, 511, 512, 513, 1023, 1024, 1025, 1536, 3000};
    unsigned seed = 12345;
    size_t held = 0;
    for (int step = 0; step < 600; ++step) {
      seed = seed * 1103515245u + 12345u;
      unsigned pick = seed >> 16;
      size_t n = step % 2 == 0 ? plain[pick % (sizeof plain / sizeof plain[0])]
                               : (512 - held) % 512 + 512 * (pick % 4);
      if (n == 0) n = 512;  // a whole block onto a full one
      sizes.push_back(n);
      bytes += std::string(n, static_cast<char>('a' + step % 26));
      held = (held + n - 1) % 512 + 1;
    }
  }
};

TEST(StandardOutput, EveryWriteSizeKeepsTheBlockRule) {
  BlockRuleSteps steps;
  Outcome r = in_child(
      [&] {
        size_t written = 0, held = 0, at = 0;
        for (size_t step = 0; step < steps.sizes.size(); ++step) {
          size_t n = steps.sizes[step];
          if (n == 1 && step % 4 == 0)
            out_putc(steps.bytes[at]);
          else
            out_write(steps.bytes.data() + at, n);
          at += n;
          held = (held + n - 1) % 512 + 1;
          written += n;
          struct stat st;
          if (::fstat(1, &st) != 0 || static_cast<size_t>(st.st_size) != written - held) {
            std::string msg = "\nstep " + std::to_string(step) + ": file has " +
                              std::to_string(st.st_size) + " bytes, expected " +
                              std::to_string(written - held) + "\n";
            (void)!::write(2, msg.data(), msg.size());
            ::_exit(3);
          }
        }
      },
      true);
  size_t report = r.out.rfind("\nstep ");
  EXPECT_EQ(r.status, 0) << (report == std::string::npos ? "" : r.out.substr(report));
  EXPECT_TRUE(r.out == steps.bytes) << r.out.size() << " bytes, expected " << steps.bytes.size();
}

TEST(StandardOutput, LibraryWritesAndStdioShareOneStream) {
  Outcome r = in_child(
      [] {
        out_puts("lib ");
        std::fputs("stdio ", stdout);
        errfp = KOLVU_ERRFP_STDOUT;
        errmsg("%s: not found\n", "a.h");
        std::printf("printf\n");
        std::fflush(stdout);
        struct stat st;
        if (::fstat(1, &st) != 0 || st.st_size != 32) ::_exit(3);  // all of it, at once
        ::_exit(0);
      },
      false);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "lib stdio a.h: not found\nprintf\n");
}

TEST(StandardOutput, FatalExitWritesWhatIsHeld) {
  Outcome r = in_child(
      [] {
        out_puts("held\n");
        errmsg("fatal\n");
        exit_process(kExitFailure);
      },
      true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "fatal\nheld\n");
}

TEST(StandardOutput, SeparateFilesGetEveryByte) {
  std::string big;
  for (int i = 0; i < 300000; ++i) big.push_back(static_cast<char>('a' + i % 26));
  Outcome r = in_child(
      [&] {
        out_write(big.data(), 1000);
        out_write(big.data() + 1000, big.size() - 1000);
        errmsg("e\n");
      },
      false);
  EXPECT_EQ(r.out, big);
  EXPECT_EQ(r.err, "e\n");
}

TEST(StandardOutput, NewlinesAreWrittenUnchanged) {
  Outcome r = in_child([] { out_puts("a\nb\r\n"); }, false);
  EXPECT_EQ(r.out, "a\nb\r\n");
}

TEST(StandardOutput, UnbufferedOnATerminal) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
    GTEST_SKIP() << "no pseudo-terminal here";
  std::string slave = ::ptsname(master);
  Outcome r = in_child(
      [&] {
        int s = ::open(slave.c_str(), O_WRONLY | O_NOCTTY);
        ::dup2(s, 1);
        out_puts("tty");
        ::_exit(0);  // no flush at exit: only what was written already counts
      },
      false);
  EXPECT_EQ(r.status, 0);
  char buf[16] = {};
  ssize_t n = ::read(master, buf, sizeof buf);
  ::close(master);
  EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), "tty");
}

TEST(StandardOutput, AFailedWriteIsReportedAndFailsTheRun) {
  Outcome r = in_child(
      [] {
        int full = ::open("/dev/full", O_WRONLY);
        ::dup2(full, 1);
        out_puts("lost\n");
      },
      false);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "write error on standard output: No space left on device\n");
}

TEST(StandardOutput, AFailureIsRememberedAndReportedOnce) {
  Outcome r = in_child(
      [] {
        int saved = ::dup(1);
        int full = ::open("/dev/full", O_WRONLY);
        ::dup2(full, 1);
        out_puts("lost\n");
        if (out_flush() != -1) ::_exit(3);
        ::dup2(saved, 1);
        out_puts("kept\n");
        if (out_flush() != -1) ::_exit(4);  // -1 once any write has failed
      },
      false);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "kept\n");
  EXPECT_EQ(r.err, "write error on standard output: No space left on device\n");
}

using kolvu_test::drain;

struct Borrowed {
  void *mem = std::malloc(text_file_bytes());
  ~Borrowed() { std::free(mem); }
};

struct stat stat_of(const std::string &path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st;
}

TEST(TextOpenIn, ReadsARegularFileAsTextOpenDoesInTheCallersMemory) {
  TempDir dir;
  std::string small = dir.write("small", "a\r\nb\x1A" "c\n");
  std::string big_data;
  for (int i = 0; big_data.size() < 700 * 1024; ++i)
    big_data += "line " + std::to_string(i) + "\r\n";
  std::string big = dir.write("big", big_data);
  std::string empty = dir.write("empty", "");
  for (const std::string &path : {small, big, empty}) {
    SCOPED_TRACE(path);
    TextFile *plain = text_open(path.c_str());
    ASSERT_NE(plain, nullptr);
    std::string want = drain(plain);
    EXPECT_EQ(text_close(plain), 0);
    Borrowed b;
    TextFile *f = text_open_in(b.mem, path.c_str(), stat_of(path));
    ASSERT_EQ(static_cast<void *>(f), b.mem);
    EXPECT_EQ(drain(f), want);
    EXPECT_EQ(text_close(f), 0);  // the memory stays ours: freed once, by Borrowed
  }
  EXPECT_EQ(drain(text_open_in(Borrowed().mem, small.c_str(), stat_of(small))), "a\nb");
}

TEST(TextOpenIn, OpensOnlyTheRegularFileExpected) {
  TempDir dir;
  std::string a = dir.write("a", "a\n");
  std::string b = dir.write("b", "b\n");
  std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Borrowed m;
  // Another file than the one expected: a file replaced since it was seen.
  EXPECT_EQ(text_open_in(m.mem, a.c_str(), stat_of(b)), nullptr);
  EXPECT_EQ(text_open_in(m.mem, dir.path().c_str(), stat_of(dir.path())), nullptr);
  EXPECT_EQ(text_open_in(m.mem, "/dev/null", stat_of("/dev/null")), nullptr);
  // A FIFO without a writer neither blocks nor is opened.
  EXPECT_EQ(text_open_in(m.mem, fifo.c_str(), stat_of(fifo)), nullptr);
  EXPECT_EQ(text_open_in(m.mem, (dir.path() + "/missing").c_str(), stat_of(a)), nullptr);
}

}  // namespace
}  // namespace kolvu
