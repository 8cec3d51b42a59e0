// The command line of kolvu-index: GNU-style long options (--name=value or
// --name value, any unique abbreviation), the short options -j N, -o FILE,
// -0, -a and -h, "--" to end the options, and paths anywhere among them ("-"
// for standard input).
#ifndef KOLVU_INDEX_OPTIONS_H_
#define KOLVU_INDEX_OPTIONS_H_

#include <string>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {

enum class IndexFormat { kJson, kTags, kEtags };

struct IndexOptions {
  std::vector<std::string> paths;
  std::vector<std::string> files_from;  // lists of paths ("-": standard input)
  bool null_separated = false;          // the lists end their paths with NUL
  std::string stdin_name = "-";         // standard input's name in the output
  std::vector<std::string> exts;  // file name endings taken from directories
  std::vector<std::string> excludes;  // patterns of paths left out
  bool follow = false;                // walk into links to directories
  std::string output;                 // written atomically; empty: standard output
  std::string update;                 // the tags file to update; empty: none
  bool names_from_stdin = false;
  int kinds = 0;                  // KindBits, from the letters of --kinds
  NameList names;
  Encoding encoding = Encoding::kAuto;
  IndexFormat format = IndexFormat::kJson;
  int jobs = 1;
  bool help = false;
  bool version = false;
};

/// Reads argv[1..argc-1] into options, which start from the defaults (the
/// kinds d, t, s and u, the default endings, jobs processors), and reads the files of
/// --names-from and --exclude-from. On a usage error returns false with a
/// one-line message (no program name, no newline) in error: among them a
/// name entry that is empty or has a '*' before its end, an ending without
/// its '.', and standard input wanted twice. --help and --version are set
/// without further checks of the rest.
bool parse_index_options(int argc, char **argv, int processors, IndexOptions *options,
                         std::string *error);

}  // namespace kolvu

#endif  // KOLVU_INDEX_OPTIONS_H_
