// Helpers shared by the fuzz targets: input files kept in memory, the
// line-length rule of text input, standard output caught for inspection,
// and a check that stops the run with a message the fuzzer reports.
#ifndef KOLVU_FUZZ_FUZZ_COMMON_H_
#define KOLVU_FUZZ_FUZZ_COMMON_H_

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kolvu/textio.h"

namespace fuzz {

// Stops the run when cond is false; the fuzzer takes the abort as a crash
// and saves the input.
#define FUZZ_CHECK(cond, ...)                                                  \
  do {                                                                         \
    if (!(cond)) {                                                             \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, \
                   #cond);                                                     \
      std::fprintf(stderr, __VA_ARGS__);                                       \
      std::fputc('\n', stderr);                                                \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

// The bytes as text-mode reading hands them out: nothing from the first
// Ctrl-Z (0x1A) on, and no carriage return (0x0D) anywhere.
inline std::string cooked(const uint8_t *data, size_t size) {
  std::string s;
  s.reserve(size);
  for (size_t i = 0; i < size && data[i] != 0x1A; ++i)
    if (data[i] != 0x0D) s.push_back(static_cast<char>(data[i]));
  return s;
}

// One line read of text input: at most 1023 bytes, stopping after the first
// '\n'. Calls fn(start, length) for each read of the cooked text in turn.
template <typename Fn>
void for_each_read(const std::string &text, Fn fn) {
  const size_t kMaxRead = 1023;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t take = text.size() - pos;
    if (take > kMaxRead) take = kMaxRead;
    const void *nl = std::memchr(text.data() + pos, '\n', take);
    if (nl != nullptr) take = static_cast<size_t>(static_cast<const char *>(nl) - (text.data() + pos)) + 1;
    fn(pos, take);
    pos += take;
  }
}

// The length a reader sees of one read: up to its first NUL.
inline size_t read_strlen(const std::string &text, size_t pos, size_t len) {
  const void *nul = std::memchr(text.data() + pos, '\0', len);
  return nul != nullptr ? static_cast<size_t>(static_cast<const char *>(nul) - (text.data() + pos)) : len;
}

// True when some line read of the cooked text is 1023 bytes or longer up to
// its first NUL: the scanner and the list-file loader end the process there.
inline bool has_overlong_read(const std::string &text) {
  bool too_long = false;
  for_each_read(text, [&](size_t pos, size_t len) {
    if (read_strlen(text, pos, len) >= 1023) too_long = true;
  });
  return too_long;
}

// Whether a name list with these entries wants the name at pos: the name is
// the run of ASCII letters, digits and '_' there, cut after 32 bytes; an
// entry equal to it wants it, and so does an entry whose first '*' follows a
// part that begins the name and is shorter than it. An empty list wants all.
inline int list_wants(const std::vector<std::string> &entries, const char *pos) {
  if (entries.empty()) return 1;
  std::string name;
  for (;;) {
    char c = pos[name.size()];
    bool name_byte = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!name_byte || name.size() == 32) break;
    name.push_back(c);
  }
  for (const std::string &e : entries) {
    if (e == name) return 1;
    size_t star = e.find('*');
    if (star != std::string::npos && star < name.size() && e.compare(0, star, name, 0, star) == 0) return 1;
  }
  return 0;
}

// A file that lives in memory and has a path the library can open.
class MemFile {
 public:
  MemFile() {
    fd_ = memfd_create("kolvu-fuzz", 0);
    if (fd_ < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    std::snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
  }
  MemFile(const MemFile &) = delete;
  MemFile &operator=(const MemFile &) = delete;

  // Replaces the file's contents.
  void set(const void *data, size_t size) {
    if (ftruncate(fd_, 0) != 0) std::abort();
    const char *p = static_cast<const char *>(data);
    off_t at = 0;
    while (size > 0) {
      ssize_t w = pwrite(fd_, p, size, at);
      if (w <= 0) std::abort();
      p += w;
      at += w;
      size -= static_cast<size_t>(w);
    }
  }
  const char *path() const { return path_; }

 private:
  int fd_;
  char path_[64];
};

// Standard output (file descriptor 1) pointed at /dev/null, so the library's
// output does not flood the fuzzer's log. Standard error stays.
inline void quiet_stdout() {
  int fd = open("/dev/null", O_WRONLY);
  if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) std::abort();
  close(fd);
}

// Standard output pointed at an in-memory file, so a run can look at what
// the library wrote. take() flushes the library's stream, returns what it
// wrote since the last take() and empties the file.
class CapturedStdout {
 public:
  CapturedStdout() {
    int fd = memfd_create("kolvu-fuzz-out", 0);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) std::abort();
    close(fd);
  }
  std::string take() {
    kolvu::out_flush();
    struct stat st;
    if (fstat(STDOUT_FILENO, &st) != 0) std::abort();
    std::string s(static_cast<size_t>(st.st_size), '\0');
    if (!s.empty() && pread(STDOUT_FILENO, &s[0], s.size(), 0) != static_cast<ssize_t>(s.size()))
      std::abort();
    if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) std::abort();
    return s;
  }
};

}  // namespace fuzz

#endif  // KOLVU_FUZZ_FUZZ_COMMON_H_
