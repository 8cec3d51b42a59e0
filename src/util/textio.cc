// Text-mode input and the standard output stream.
#include "kolvu/textio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdio_ext.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "kolvu/mem.h"
#include "out_seam.h"
#include "text_cook.h"

namespace kolvu {

// ---- Text input ---------------------------------------------------------

namespace {
const size_t kReadBlock = 128 * 1024;
const size_t kMaxLine = 1023;  // bytes of one line read (a 1024-byte buffer)
const size_t kSlack = 96;  // readable bytes after the text handed out
}  // namespace

// The block holds the unread tail of the previous read (less than one line)
// moved to its start, the next read after it, and slack: the NUL that ends
// the text handed out, and room for a caller that reads a vector of bytes at
// any place of it without a length check.
struct TextFile {
  int fd;
  bool at_end;     // nothing more will be read from fd
  char *pos;       // next byte to hand out
  char *end;       // end of the bytes read and cooked
  char *patched;   // where a line's NUL stands in place of a byte, or null
  char saved;      // the byte it stands in place of
  off_t unread;    // of a regular file: bytes its size says are left, else -1
  bool borrowed;   // in memory the caller owns (text_open_in)
  int close_rc;    // of a file closed early, once read to its end
  char block[kMaxLine + kReadBlock + 1 + kSlack];
};

namespace {

// Turns n raw bytes at p into text-mode bytes in place: cut at the first
// Ctrl-Z, drop every CR. Returns the new length; sets f->at_end on a Ctrl-Z.
size_t cook(TextFile *f, char *p, size_t n) {
  const size_t text = before_ctrl_z(p, n);
  if (text < n) f->at_end = true;
  return drop_carriage_returns(p, text, p, [](size_t, size_t) { return true; });
}

// One file is open at a time in the tool: the block of the last file closed
// is kept for the next instead of going back to the heap.
struct Spare {
  TextFile *file = nullptr;
  ~Spare() { std::free(file); }
};
Spare spare;

// Moves the unread bytes to the start of the block.
void move_down(TextFile *f) {
  size_t kept = static_cast<size_t>(f->end - f->pos);
  std::memmove(f->block, f->pos, kept);
  f->pos = f->block;
  f->end = f->block + kept;
}

// Reads after the text in the block, a read block at most and no more than
// the block holds, until at least one more byte is there or the file ends.
void read_more(TextFile *f) {
  const size_t room = kMaxLine + kReadBlock - static_cast<size_t>(f->end - f->block);
  const size_t want = room < kReadBlock ? room : kReadBlock;
  while (!f->at_end && want > 0) {
    ssize_t n = ::read(f->fd, f->end, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {  // end of file, or a read error, which ends it the same way
      f->at_end = true;
      break;
    }
    if (f->unread >= 0) {
      // A read that brings the last byte the size promised ends the file;
      // asking again would only hear that.
      f->unread -= n;
      if (f->unread <= 0) f->at_end = true;
    }
    size_t cooked = cook(f, f->end, static_cast<size_t>(n));
    f->end += cooked;
    if (cooked > 0) break;
  }
  // Whatever reads past the text finds known values.
  std::memset(f->end, 0, kSlack + 1);
}

// Moves the unread bytes to the start of the block and reads after them
// until at least one more byte is there; false at end of file.
bool refill(TextFile *f) {
  move_down(f);
  const char *had = f->end;
  read_more(f);
  return f->end > had;
}

// Reads until the unread text holds a whole line or the rest of the file,
// and ends the text with a NUL in the slack.
void fill(TextFile *f) {
  while (static_cast<size_t>(f->end - f->pos) < kMaxLine && !f->at_end) refill(f);
  *f->end = '\0';
}

// Ready to read fd, which is open on the file st describes.
void start(TextFile *f, int fd, const struct stat &st, bool borrowed) {
  f->fd = fd;
  f->at_end = false;
  f->pos = f->end = f->block;
  f->patched = nullptr;
  f->borrowed = borrowed;
  f->close_rc = 0;
  // A size of 0 may belong to a file made as it is read (/proc): no promise.
  f->unread = S_ISREG(st.st_mode) && st.st_size > 0 ? st.st_size : -1;
}

}  // namespace

TextFile *text_open(const char *path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  TextFile *f = spare.file;
  spare.file = nullptr;
  if (f == nullptr) f = static_cast<TextFile *>(moremem(nullptr, sizeof(TextFile)));
  start(f, fd, st, false);
  return f;
}

size_t text_file_bytes() { return sizeof(TextFile); }

TextFile *text_open_in(void *mem, const char *path, const struct stat &expected) {
  // Non-blocking, so that a FIFO put in the file's place meanwhile cannot
  // hold the caller up; reads of a regular file never take note of it.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != expected.st_dev ||
      st.st_ino != expected.st_ino) {
    ::close(fd);
    return nullptr;
  }
  TextFile *f = static_cast<TextFile *>(mem);
  start(f, fd, st, true);
  fill(f);
  if (f->at_end) {  // all of it is here: the descriptor is not needed any more
    f->close_rc = ::close(f->fd) == 0 ? 0 : -1;
    f->fd = -1;
  }
  return f;
}

bool text_whole(const TextFile *f) {
  return f->at_end && f->pos == f->block && f->patched == nullptr;
}

void text_rewind(TextFile *f) {
  if (f->patched != nullptr) {
    *f->patched = f->saved;
    f->patched = nullptr;
  }
  f->pos = f->block;
}

const char *text_line(TextFile *f, int *len) {
  if (f->patched != nullptr) {
    *f->patched = f->saved;
    f->patched = nullptr;
  }
  char *nl;
  for (;;) {
    size_t avail = static_cast<size_t>(f->end - f->pos);
    size_t look = avail < kMaxLine ? avail : kMaxLine;
    nl = static_cast<char *>(std::memchr(f->pos, '\n', look));
    if (nl != nullptr || avail >= kMaxLine) break;
    if (!refill(f)) {
      if (f->pos == f->end) return nullptr;
      break;
    }
  }
  char *line = f->pos;
  size_t n =
      nl != nullptr ? static_cast<size_t>(nl - line) + 1 : static_cast<size_t>(f->end - line);
  if (n > kMaxLine) n = kMaxLine;
  f->pos = line + n;
  f->patched = f->pos;
  f->saved = *f->pos;
  *f->pos = '\0';
  *len = static_cast<int>(n);
  return line;
}

const char *text_window(TextFile *f, int *avail, bool *rest) {
  if (f->patched != nullptr) {
    *f->patched = f->saved;
    f->patched = nullptr;
  }
  fill(f);
  *avail = static_cast<int>(f->end - f->pos);
  *rest = f->at_end;
  return f->pos;
}

void text_consume(TextFile *f, int n) { f->pos += n; }

const char *text_window_more(TextFile *f, int *avail, bool *rest) {
  if (f->patched != nullptr) {
    *f->patched = f->saved;
    f->patched = nullptr;
  }
  move_down(f);
  const size_t full = kMaxLine + kReadBlock;
  while (!f->at_end && static_cast<size_t>(f->end - f->block) < full) read_more(f);
  *f->end = '\0';
  *avail = static_cast<int>(f->end - f->pos);
  *rest = f->at_end;
  return f->pos;
}

int text_gets(char *buf, int size, TextFile *f) {
  size_t room = static_cast<size_t>(size) - 1;
  size_t got = 0;
  while (got < room) {
    int n = 0;
    const char *line = text_line(f, &n);
    if (line == nullptr) break;
    size_t take = static_cast<size_t>(n);
    if (take > room - got) {  // hand the rest back for the next read
      *f->patched = f->saved;
      f->patched = nullptr;
      f->pos -= take - (room - got);
      take = room - got;
    }
    std::memcpy(buf + got, line, take);
    got += take;
    if (buf[got - 1] == '\n') break;
  }
  buf[got] = '\0';
  return static_cast<int>(got);
}

int text_close(TextFile *f) {
  int rc = f->fd >= 0 ? ::close(f->fd) : f->close_rc;
  if (f->patched != nullptr) *f->patched = f->saved;
  if (f->borrowed) return rc == 0 ? 0 : -1;
  if (spare.file == nullptr)
    spare.file = f;
  else
    std::free(f);
  return rc == 0 ? 0 : -1;
}

// ---- Standard output ----------------------------------------------------
//
// Everything goes through C's stdout, so it keeps its order with whatever
// else the program writes there and fflush(stdout) / fflush(NULL) write it.
// The library sets stdout's buffering only when asked (out_tool_buffering,
// or the next write after the test seam's out_reset).

namespace {

const size_t kVisibleBlock = 512;      // what a reader of both streams sees
const size_t kLargeBlock = 64 * 1024;  // when nobody can tell the difference

// stdout's buffer once the tool's buffering is set (setvbuf keeps using it
// until the process ends, so it is static).
char stdout_buf[kLargeBlock];

// While stdout is fully buffered in 512-byte blocks for the tool: 512, the
// block whose rule out_write keeps. 0 otherwise.
size_t exact_block = 0;

bool ready = false;      // the check at exit is registered, the buffering set
bool setup_due = false;  // out_reset: set the tool's buffering at the next write
int out_error = 0;       // errno of the first failed write seen, 0 while none
std::string *sink = nullptr;  // tests: output collected in memory

void note_failure() {
  if (out_error == 0) out_error = errno != 0 ? errno : EIO;
}

// A failed write is reported once, when the process ends, and turns the
// exit status into 1: build scripts must be able to see that output was lost.
void flush_at_exit() {
  if (out_flush() == 0) return;
  errmsg("write error on standard output: %s\n", std::strerror(out_error != 0 ? out_error : EIO));
  ::_exit(kExitFailure);
}

bool same_file(int a, int b) {
  struct stat sa, sb;
  return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void set_tool_buffering() {
  if (::isatty(STDOUT_FILENO)) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    exact_block = 0;
  } else if (same_file(STDOUT_FILENO, STDERR_FILENO)) {
    // Exact 512-byte blocks only matter when the diagnostics land in the same
    // file and their place among the blocks can be seen.
    std::setvbuf(stdout, stdout_buf, _IOFBF, kVisibleBlock);
    exact_block = kVisibleBlock;
  } else {
    std::setvbuf(stdout, stdout_buf, _IOFBF, kLargeBlock);
    exact_block = 0;
  }
}

// Before the first write, and the first after out_reset.
void prepare() {
  if (setup_due) set_tool_buffering();
  setup_due = false;
  static bool registered = false;
  if (!registered) std::atexit(flush_at_exit);
  registered = true;
  ready = true;
}

}  // namespace

void out_tool_buffering() {
  set_tool_buffering();
  setup_due = false;  // the first write still registers the check at exit
}

void out_write(const char *p, size_t n) {
  if (sink != nullptr) {
    sink->append(p, n);
    return;
  }
  if (!ready) prepare();
  if (n == 0) return;
  if (exact_block != 0 && (__fpending(stdout) + n) % exact_block == 0) {
    // The bytes end on a block boundary. glibc writes whole blocks of a
    // request straight away and keeps only the rest; the rule is that a full
    // block waits until one more byte needs room. So the last byte goes in
    // alone, into the room its block still has.
    const char last = p[n - 1];
    --n;
    if (n > 0 && fwrite_unlocked(p, 1, n, stdout) != n) note_failure();
    if (putc_unlocked(last, stdout) == EOF) note_failure();
    return;
  }
  if (fwrite_unlocked(p, 1, n, stdout) != n) note_failure();
}

void out_reset() {
  __fpurge(stdout);
  std::clearerr(stdout);
  exact_block = 0;
  out_error = 0;
  ready = false;
  setup_due = true;
}

void out_set_sink(std::string *s) { sink = s; }

void out_puts(const char *s) { out_write(s, std::strlen(s)); }

void out_putc(int c) {
  if (sink != nullptr) {
    sink->push_back(static_cast<char>(c));
    return;
  }
  if (!ready) prepare();
  // One byte never fills a block but the one it stands in: putc writes the
  // full buffer when the byte needs room, as the block rule says.
  if (putc_unlocked(c, stdout) == EOF) note_failure();
}

int out_flush() {
  if (std::fflush(stdout) != 0) note_failure();
  return out_error == 0 && !std::ferror(stdout) ? 0 : -1;
}

void exit_process(int status) {
  out_flush();
  std::exit(status);
}

}  // namespace kolvu
