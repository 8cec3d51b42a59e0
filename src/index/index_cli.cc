#include "index/index_cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "common/cli.h"
#include "common/walk.h"
#include "index/atomic_file.h"
#include "index/options.h"
#include "index/path_feed.h"
#include "index/runner.h"
#include "util/processors.h"

#ifndef KOLVU_VERSION
#define KOLVU_VERSION "unknown"
#endif

namespace kolvu {

namespace {

const char kHelp[] =
    "Usage: kolvu-index [OPTION]... PATH...\n"
    "Write the definitions of C sources (by default #define, typedef, struct\n"
    "and union) as JSON Lines (one object per definition, its text in\n"
    "UTF-8), a tags file or an Emacs TAGS file. Directories are walked\n"
    "recursively, in sorted order; a PATH of - is standard input.\n"
    "\n"
    "Input:\n"
    "  --files-from=FILE  also the paths listed in FILE (- for standard\n"
    "                     input), one a line\n"
    "  -0, --null         the paths of --files-from end with NUL bytes\n"
    "  --stdin-name=NAME  the name of standard input in the output (default -)\n"
    "  --ext=LIST         file name endings taken from directories, ASCII\n"
    "                     case aside, separated by commas; default\n"
    "                     .c,.h,.cc,.cpp,.cxx,.hh,.hpp,.hxx\n"
    "  --exclude=GLOB     leave out paths whose base name or path matches\n"
    "                     GLOB (*, ?, [...]); may be repeated\n"
    "  --exclude-from=FILE  the patterns of FILE, one a line\n"
    "  --follow           walk into symbolic links to directories\n"
    "  --encoding=ENC     auto (default: UTF-8 when a file is valid UTF-8\n"
    "                     with a byte of 0x80 or above, else Shift_JIS),\n"
    "                     sjis (cp932), utf-8 or euc-jp\n"
    "\n"
    "Selection:\n"
    "  --kinds=LETTERS    kinds to write, any of d (define), t (typedef),\n"
    "                     s (struct), u (union), f (function), p (prototype),\n"
    "                     g (enum), e (enumerator), m (member), v (variable),\n"
    "                     x (extern), or all; default dtsu\n"
    "  --names=LIST       only these names; entries separated by commas, an\n"
    "                     entry X* takes every longer name beginning with X\n"
    "  --names-from=FILE  only the names listed in FILE (- for standard\n"
    "                     input), one entry a line\n"
    "\n"
    "Output:\n"
    "  --format=FORMAT    json (default), tags or etags\n"
    "  -o, --output=FILE  write FILE, replacing it only when the run succeeds\n"
    "                     (- is standard output)\n"
    "  --update=TAGS      replace in the tags file TAGS the lines of the files\n"
    "                     indexed, keeping the others\n"
    "  -a                 --update on the file of -o (default tags)\n"
    "  -j, --jobs=N       scan with N workers (default: the processors)\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 when every path was read, 1 when some path could not be\n"
    "read or the output could not be written, 2 on a usage error.\n";

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
  auto usage = [err_fd](const std::string &message) {
    write_all(err_fd, "kolvu-index: " + message +
                          "\nTry 'kolvu-index --help' for more information.\n");
    return kIndexUsage;
  };
  if (!parse_index_options(argc, argv, usable_processors(), &options, &error)) return usage(error);
  if (options.help || options.version) {
    std::string text = options.help ? kHelp : "kolvu-index " KOLVU_VERSION "\n";
    return write_all(out_fd, text) ? kIndexOk : write_error(err_fd, errno);
  }
  PathFeed feed(std::move(options.paths), std::move(options.files_from), options.null_separated);
  if (!feed.open(&error)) return usage(error);
  AtomicFile output;
  // "-o -" names standard output.
  if (options.output == "-") options.output.clear();
  if (!options.output.empty()) {
    if (!output.open(options.output, &error)) {
      write_all(err_fd, "kolvu-index: cannot write " + error + "\n");
      return kIndexIncomplete;
    }
    out_fd = output.fd();
  }

  IndexJob job;
  job.scan.kinds = options.kinds;
  job.scan.names = &options.names;
  job.scan.encoding = options.encoding;
  job.scan.complete = true;
  job.format = options.format;
  job.jobs = options.jobs;
  job.version = KOLVU_VERSION;
  job.update_from = options.update;
  WalkOptions walk;
  walk.exts = std::move(options.exts);
  walk.excludes = std::move(options.excludes);
  walk.follow = options.follow;
  Walker walker({}, std::move(walk));
  std::string list_error;
  const std::string &stdin_name = options.stdin_name;
  bool updating = !options.update.empty();
  RunOutcome r = run_index_jobs(
      job,
      [&](SourceItem *item) {
        for (;;) {
          if (walker.next(item)) {
            // A file given to an update that no longer exists loses its
            // lines: that is the update asked for, not a failure.
            if (updating && !item->error.empty() && !item->in_walk &&
                ::access(item->path.c_str(), F_OK) != 0 && errno == ENOENT)
              item->warning = true;
            return true;
          }
          std::string path;
          if (!feed.next(&path, &list_error)) return false;
          if (path == "-") {
            item->path = stdin_name;
            item->standard_input = true;
            return true;
          }
          walker.add(std::move(path));
        }
      },
      out_fd, err_fd);
  if (r.write_error != 0) return write_error(err_fd, r.write_error);
  bool ok = r.all_read;
  if (!list_error.empty()) {
    write_all(err_fd, "kolvu-index: " + list_error + "\n");
    ok = false;
  }
  if (!r.update_error.empty()) {
    write_all(err_fd, "kolvu-index: cannot update '" + options.update + "': " + r.update_error + "\n");
    ok = false;
  }
  if (!options.output.empty()) {
    // A file written in part would pass for a whole one: it takes the
    // name only when every path was read.
    if (!ok) {
      if (output.replaces())
        write_all(err_fd, "kolvu-index: " + options.output + " left as it was\n");
      return kIndexIncomplete;
    }
    if (!output.commit(&error)) {
      write_all(err_fd, "kolvu-index: cannot write " + error + "\n");
      return kIndexIncomplete;
    }
  }
  return ok ? kIndexOk : kIndexIncomplete;
}

}  // namespace kolvu
