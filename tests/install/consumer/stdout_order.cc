// A program of another project that writes with printf and with the
// installed library, as any C program would: it captures descriptor 1 in a
// file, flushes with fflush(NULL), and reads the file back. It checks that
// the library's output to standard output is C's stdout: in call order with
// printf, written by fflush(NULL), not written again by children forked after
// that flush, and that the fatal message of exp_tab follows earlier printf
// output. It prints one line per check and "stdout order: ok" when all hold;
// the install test compares that text.
#include <kolvu/util.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int failures = 0;
int saved_stdout = -1;
std::string capture_path;

std::string read_file(const std::string &path) {
  std::string text;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return text;
}

// Descriptor 1 goes to a fresh, empty capture file.
void capture() {
  std::fflush(nullptr);
  int fd = ::open(capture_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ::dup2(fd, 1) < 0) {
    std::perror("capture");
    std::exit(2);
  }
  ::close(fd);
}

// Descriptor 1 back where it was; returns what the capture file holds.
std::string captured() {
  std::fflush(nullptr);
  ::dup2(saved_stdout, 1);
  return read_file(capture_path);
}

void check(const char *what, const std::string &got, const std::string &want) {
  if (got == want) {
    std::printf("%s: ok\n", what);
  } else {
    std::printf("%s: got [%s], expected [%s]\n", what, got.c_str(), want.c_str());
    ++failures;
  }
}

}  // namespace

int main() {
  char dir_template[] = "/tmp/kolvu_stdout_order.XXXXXX";
  const char *dir = ::mkdtemp(dir_template);
  if (dir == nullptr) return 2;
  capture_path = std::string(dir) + "/out";
  saved_stdout = ::dup(1);

  // printf and the library's writes, in the order of the calls.
  capture();
  std::printf("one ");
  kolvu::out_puts("two ");
  std::fputs("three ", stdout);
  kolvu::out_putc('4');
  kolvu::out_write(" five\n", 6);
  kolvu::errfp = KOLVU_ERRFP_STDOUT;
  kolvu::errmsg("%s: not found\n", "a.h");
  std::printf("six\n");
  check("printf and library in call order", captured(),
        "one two three 4 five\na.h: not found\nsix\n");

  // fflush(NULL) writes what the library wrote: nothing else flushes here.
  capture();
  kolvu::errmsg("%s: not found\n", "b.h");
  std::fflush(nullptr);
  std::string after_flush = read_file(capture_path);
  kolvu::out_puts("more\n");
  std::fflush(stdout);
  std::string after_fflush_stdout = read_file(capture_path);
  captured();
  check("fflush(NULL) writes errmsg's message", after_flush, "b.h: not found\n");
  check("fflush(stdout) writes out_puts", after_fflush_stdout, "b.h: not found\nmore\n");

  // fflush(NULL) before fork(): each child writes only its own output.
  capture();
  kolvu::errmsg("%s: not found\n", "a.h");
  kolvu::out_puts("parent\n");
  std::fflush(nullptr);
  for (int i = 1; i <= 3; ++i) {
    pid_t pid = ::fork();
    if (pid < 0) return 2;
    if (pid == 0) {
      std::printf("out-%d ", i);
      kolvu::out_puts("lib\n");
      std::exit(0);  // exit flushes stdout, as a C program's end does
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  check("fflush(NULL) before fork", captured(),
        "a.h: not found\nparent\nout-1 lib\nout-2 lib\nout-3 lib\n");

  // The fatal message of exp_tab comes after what printf wrote before it.
  capture();
  pid_t pid = ::fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    std::printf("earlier output, ");
    std::string over_long(2100, 'x');
    kolvu::exp_tab(8, over_long.c_str());
    std::printf("not reached\n");
    std::exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::string fatal = captured();
  check("exp_tab's fatal message after printf", fatal,
        "earlier output, " + std::string(2100, 'x') + " ... too long\n");
  check("exp_tab's exit status", std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1),
        "1");

  ::unlink(capture_path.c_str());
  ::rmdir(dir);
  if (failures == 0) std::printf("stdout order: ok\n");
  return failures == 0 ? 0 : 1;
}
