// One file of a run, from the walk to its output: what the walk said of it,
// and what its scan made, held until its turn to be written.
#ifndef KOLVU_INDEX_FILE_SLOT_H_
#define KOLVU_INDEX_FILE_SLOT_H_

#include <string>
#include <vector>

#include "index/tag_runs.h"

namespace kolvu {

struct FileSlot {
  std::string path;
  bool to_scan = false;
  bool standard_input = false;
  bool in_walk = false;
  bool done = false;
  bool failed = false;
  bool warning = false;   // failed, but only passed over
  std::vector<std::string> out;  // output held until the file's turn, in pieces
  TagList tags;           // their file index is set when written
  std::string err;        // a diagnostic line
};

/// "kolvu-index: MESSAGE\n", and the same as a warning.
inline std::string error_line(const std::string &message) {
  return "kolvu-index: " + message + "\n";
}
inline std::string warning_line(const std::string &message) {
  return "kolvu-index: warning: " + message + "\n";
}

}  // namespace kolvu

#endif  // KOLVU_INDEX_FILE_SLOT_H_
