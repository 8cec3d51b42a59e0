// The command line of kolvu-index: GNU-style long options (--name=value or
// --name value, any unique abbreviation), -j N, "--" to end the options, and
// paths anywhere among them.
#ifndef KOLVU_INDEX_OPTIONS_H_
#define KOLVU_INDEX_OPTIONS_H_

#include <string>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {

enum class IndexFormat { kJson, kTags };

struct IndexOptions {
  std::vector<std::string> paths;
  std::vector<std::string> exts;  // file name endings taken from directories
  int kinds = 0;                  // KindBits
  NameList names;
  Encoding encoding = Encoding::kAuto;
  IndexFormat format = IndexFormat::kJson;
  int jobs = 1;
  bool help = false;
  bool version = false;
};

/// Reads argv[1..argc-1] into options, which start from the defaults (every
/// kind, the default endings, jobs processors). On a usage error returns
/// false with a one-line message (no program name, no newline) in error.
/// --help and --version are set without further checks of the rest.
bool parse_index_options(int argc, char **argv, int processors, IndexOptions *options,
                         std::string *error);

}  // namespace kolvu

#endif  // KOLVU_INDEX_OPTIONS_H_
