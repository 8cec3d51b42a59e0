// What the server indexes and how, from its command line and from the
// client's initialization options alike: the kinds of definition, the
// encoding of the sources, the file name endings taken from directories,
// glob patterns of paths left out, whether links to directories are
// followed, and the number of workers. The command
// line follows the GNU conventions of kolvu-index (--name=value or --name
// value, unique abbreviations, -j N).
#ifndef KOLVU_LSP_OPTIONS_H_
#define KOLVU_LSP_OPTIONS_H_

#include <string>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {

struct LspSettings {
  int kinds = ALL_KINDS;
  Encoding encoding = Encoding::kAuto;
  std::vector<std::string> exts;      // with their dots
  std::vector<std::string> excludes;  // glob patterns
  bool follow = false;                // enter links to directories
  int workers = 1;
  bool watch_by_walking = false;      // watch the disk by walks, not inotify
};

struct LspCommandLine {
  LspSettings settings;
  bool help = false;
  bool version = false;
};

/// Reads argv[1..argc-1]; settings start from the defaults (every kind, the
/// default endings, processors workers). False with a one-line message on a
/// usage error.
bool parse_lsp_command_line(int argc, char **argv, int processors, LspCommandLine *out,
                            std::string *error);

/// Setters shared by both sources; false with a message for a bad value.
bool set_kinds(const std::string &letters, LspSettings *s, std::string *error);
bool set_encoding(const std::string &name, LspSettings *s, std::string *error);
bool set_exts(const std::vector<std::string> &items, LspSettings *s, std::string *error);
bool set_workers(long n, LspSettings *s, std::string *error);

/// True when the path relative to its workspace folder is left out, with
/// the patterns of common/glob.h, as the walk leaves paths out: a pattern
/// with a '/' is matched against the whole relative path (a '*' does not
/// cross a '/'), and against every leading part of it, so "gen/*" leaves
/// out everything below gen; one without is matched against each
/// component, so "build" or "*.gen.h" leave out those names anywhere.
bool is_excluded(const std::string &relative, const std::vector<std::string> &patterns);

}  // namespace kolvu

#endif  // KOLVU_LSP_OPTIONS_H_
