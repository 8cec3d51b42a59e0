#include "index/index_cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "index/options.h"
#include "index/runner.h"
#include "common/walk.h"

#ifndef KOLVU_VERSION
#define KOLVU_VERSION "unknown"
#endif

namespace kolvu {

namespace {

const char kHelp[] =
    "Usage: kolvu-index [OPTION]... PATH...\n"
    "Write the #define, typedef, struct and union definitions of C sources\n"
    "as JSON Lines (one object per definition, its text in UTF-8) or as a\n"
    "tags file. Directories are walked recursively, in sorted order.\n"
    "\n"
    "  --kinds=LETTERS    kinds to write, any of d (define), t (typedef),\n"
    "                     s (struct), u (union); default dtsu\n"
    "  --names=LIST       only these names; entries separated by commas, an\n"
    "                     entry X* takes every longer name beginning with X\n"
    "  --names-from=FILE  only the names listed in FILE, one entry a line\n"
    "  --encoding=ENC     auto (default: UTF-8 when a file is valid UTF-8\n"
    "                     with a byte of 0x80 or above, else Shift_JIS),\n"
    "                     sjis, utf-8 or euc-jp\n"
    "  --format=FORMAT    json (default) or tags\n"
    "  --ext=LIST         file name endings taken from directories, separated\n"
    "                     by commas; default .c,.h,.cc,.cpp,.cxx,.hh,.hpp,.hxx\n"
    "  -j, --jobs=N       scan with N workers (default: the processors)\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 when every path was read, 1 when some path could not be\n"
    "read or the output could not be written, 2 on a usage error.\n";

bool write_all(int fd, const std::string &s) {
  size_t done = 0;
  while (done < s.size()) {
    ssize_t w = ::write(fd, s.data() + done, s.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    done += static_cast<size_t>(w);
  }
  return true;
}

int processors() {
  long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n < 1 ? 1 : static_cast<int>(n);
}

int write_error(int err_fd, int error_number) {
  char buf[256];
  write_all(err_fd, std::string("kolvu-index: write error: ") +
                        strerror_r(error_number, buf, sizeof buf) + "\n");
  return kIndexIncomplete;
}

}  // namespace

int index_main(int argc, char **argv, int out_fd, int err_fd) {
  IndexOptions options;
  std::string error;
  if (!parse_index_options(argc, argv, processors(), &options, &error)) {
    write_all(err_fd, "kolvu-index: " + error +
                          "\nTry 'kolvu-index --help' for more information.\n");
    return kIndexUsage;
  }
  if (options.help || options.version) {
    std::string text = options.help ? kHelp : "kolvu-index " KOLVU_VERSION "\n";
    return write_all(out_fd, text) ? kIndexOk : write_error(err_fd, errno);
  }
  IndexJob job;
  job.scan.kinds = options.kinds;
  job.scan.names = &options.names;
  job.scan.encoding = options.encoding;
  job.scan.complete = true;
  job.format = options.format;
  job.jobs = options.jobs;
  job.version = KOLVU_VERSION;
  Walker walker(std::move(options.paths), std::move(options.exts));
  RunOutcome r = run_index_jobs(
      job, [&walker](WalkItem *item) { return walker.next(item); }, out_fd, err_fd);
  if (r.write_error != 0) return write_error(err_fd, r.write_error);
  return r.all_read ? kIndexOk : kIndexIncomplete;
}

}  // namespace kolvu
