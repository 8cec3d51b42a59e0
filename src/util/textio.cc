// Text-mode input and the standard output stream.
#include "kolvu/textio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "kolvu/mem.h"
#include "out_seam.h"

namespace kolvu {

// ---- Text input ---------------------------------------------------------

namespace {
const size_t kReadBlock = 128 * 1024;
const char kCtrlZ = 0x1A;
}  // namespace

struct TextFile {
  int fd;
  bool at_end;  // nothing more will be read from fd
  char *pos;    // next byte to hand out
  char *end;    // end of the bytes read and cooked
  char block[kReadBlock];
};

namespace {

// Turns raw bytes into text-mode bytes in place: cut at the first Ctrl-Z,
// drop every CR. Returns the new length; sets f->at_end on a Ctrl-Z.
size_t cook(TextFile *f, size_t n) {
  char *p = f->block;
  if (char *z = static_cast<char *>(std::memchr(p, kCtrlZ, n))) {
    n = static_cast<size_t>(z - p);
    f->at_end = true;
  }
  char *cr = static_cast<char *>(std::memchr(p, '\r', n));
  if (cr == nullptr) return n;
  char *out = cr;
  for (char *in = cr; in < p + n; ++in)
    if (*in != '\r') *out++ = *in;
  return static_cast<size_t>(out - p);
}

// Makes at least one byte available; false at end of file.
bool refill(TextFile *f) {
  while (!f->at_end) {
    ssize_t n = ::read(f->fd, f->block, kReadBlock);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {  // end of file, or a read error, which ends it the same way
      f->at_end = true;
      break;
    }
    size_t cooked = cook(f, static_cast<size_t>(n));
    f->pos = f->block;
    f->end = f->block + cooked;
    if (cooked > 0) return true;
  }
  return false;
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
  TextFile *f = static_cast<TextFile *>(moremem(nullptr, sizeof(TextFile)));
  f->fd = fd;
  f->at_end = false;
  f->pos = f->end = f->block;
  return f;
}

int text_gets(char *buf, int size, TextFile *f) {
  size_t room = static_cast<size_t>(size) - 1;
  size_t got = 0;
  while (got < room) {
    if (f->pos == f->end && !refill(f)) break;
    size_t avail = static_cast<size_t>(f->end - f->pos);
    if (avail > room - got) avail = room - got;
    char *nl = static_cast<char *>(std::memchr(f->pos, '\n', avail));
    size_t take = nl != nullptr ? static_cast<size_t>(nl - f->pos) + 1 : avail;
    std::memcpy(buf + got, f->pos, take);
    f->pos += take;
    got += take;
    if (nl != nullptr) break;
  }
  buf[got] = '\0';
  return static_cast<int>(got);
}

int text_close(TextFile *f) {
  int rc = ::close(f->fd);
  std::free(f);
  return rc == 0 ? 0 : -1;
}

// ---- Standard output ----------------------------------------------------

namespace {

enum class Mode { kUnset, kUnbuffered, kBlocks };

const size_t kVisibleBlock = 512;        // what a reader of both streams sees
const size_t kLargeBlock = 64 * 1024;    // when nobody can tell the difference

struct Out {
  Mode mode = Mode::kUnset;
  size_t block = kVisibleBlock;
  size_t len = 0;
  int error = 0;  // errno of the first failed write, 0 while all went well
  char buf[kLargeBlock];
};

Out out;

void write_all(const char *p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(STDOUT_FILENO, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (out.error == 0) out.error = w < 0 ? errno : EIO;
      return;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

// A failed write is reported once, when the process ends, and turns the
// exit status into 1: build scripts must be able to see that output was lost.
void flush_at_exit() {
  if (out_flush() == 0) return;
  errmsg("write error on standard output: %s\n", std::strerror(out.error));
  ::_exit(kExitFailure);
}

bool same_file(int a, int b) {
  struct stat sa, sb;
  return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void init() {
  if (::isatty(STDOUT_FILENO)) {
    out.mode = Mode::kUnbuffered;
  } else {
    out.mode = Mode::kBlocks;
    // Exact 512-byte blocks only matter when the diagnostics land in the same
    // file and their place among the blocks can be seen.
    out.block = same_file(STDOUT_FILENO, STDERR_FILENO) ? kVisibleBlock : kLargeBlock;
  }
  static bool registered = false;
  if (!registered) std::atexit(flush_at_exit);
  registered = true;
}

}  // namespace

void out_write(const char *p, size_t n) {
  if (out.mode == Mode::kUnset) init();
  if (out.mode == Mode::kUnbuffered) {
    write_all(p, n);
    return;
  }
  while (n > 0) {
    if (out.len == out.block) {  // a full block goes out when one more byte needs room
      write_all(out.buf, out.len);
      out.len = 0;
    }
    size_t take = out.block - out.len;
    if (take > n) take = n;
    std::memcpy(out.buf + out.len, p, take);
    out.len += take;
    p += take;
    n -= take;
  }
}

void out_reset() {
  out.mode = Mode::kUnset;
  out.block = kVisibleBlock;
  out.len = 0;
  out.error = 0;
}

void out_puts(const char *s) { out_write(s, std::strlen(s)); }

void out_putc(int c) {
  char b = static_cast<char>(c);
  out_write(&b, 1);
}

int out_flush() {
  if (out.len > 0) {
    write_all(out.buf, out.len);
    out.len = 0;
  }
  return out.error == 0 ? 0 : -1;
}

void exit_process(int status) {
  out_flush();
  std::exit(status);
}

}  // namespace kolvu
