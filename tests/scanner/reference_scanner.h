// The plain per-byte model of the definition scanner's rules, which the
// fast scanner must match byte for byte. The unit tests compare the two on
// generated sources, and the scanner's fuzz target on arbitrary ones; both
// use this one model, so a rule is written once here and once in the engine.
#ifndef KOLVU_TESTS_REFERENCE_SCANNER_H_
#define KOLVU_TESTS_REFERENCE_SCANNER_H_

#include <functional>
#include <string>
#include <vector>

#include "kolvu/textio.h"

namespace kolvu {
namespace reference {

/// What one scan of the model needs: the kind mask, the banner and the file
/// name it carries, and the name list: wants(pos) answers for the name that
/// starts at pos (1: wanted), and has_list says that the list is not empty.
struct ModelSetup {
  int mask = 0;
  bool banner = false;
  std::string name;
  bool has_list = false;
  std::function<int(const char *)> wants;
};

/// The tool's output for one file, given as its line reads in order (each
/// up to its first NUL; a read is at most 1023 bytes and ends after its
/// first '\n').
std::string scan_reads(const std::vector<std::string> &reads, const ModelSetup &setup);

/// Same contract as kolvu::scan_file, with the tool's name list.
void scan_file(TextFile *stream, const char *name, int mask);

}  // namespace reference
}  // namespace kolvu

#endif  // KOLVU_TESTS_REFERENCE_SCANNER_H_
