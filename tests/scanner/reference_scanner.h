// The plain model of the definition scanner's rules, written from the rules
// alone: it shares no code with the scanner it judges. It reads a source as
// text input does and walks each line read one byte at a time through every
// rule in order, simple over fast, and returns what the tool writes. The
// unit tests compare the fast scanner with it on generated sources, and the
// scanner's fuzz target on arbitrary ones.
#ifndef KOLVU_TESTS_REFERENCE_SCANNER_H_
#define KOLVU_TESTS_REFERENCE_SCANNER_H_

#include <functional>
#include <string>

namespace kolvu {
namespace reference {

/// One scan's settings: the kind mask (the tool's six bits; 0 selects every
/// #define), the banner and the file name it carries, and the name list:
/// has_list says the list is not empty, and wants(pos) answers 1 when the
/// name that starts at pos (in a NUL-terminated line) is wanted. Without
/// wants every name is wanted.
struct ModelSetup {
  int mask = 0;
  bool banner = false;
  std::string name;
  bool has_list = false;
  std::function<int(const char *)> wants;
};

/// What the tool does with one file: the bytes it writes, and whether the
/// run ends at a line read of 1023 bytes or more (long_read holds that
/// read's text, for the message; the output written before it stands).
struct ModelRun {
  std::string out;
  bool too_long = false;
  std::string long_read;
};

/// Scans the bytes of one file as the tool does.
ModelRun scan_source(const std::string &bytes, const ModelSetup &setup);

}  // namespace reference
}  // namespace kolvu

#endif  // KOLVU_TESTS_REFERENCE_SCANNER_H_
