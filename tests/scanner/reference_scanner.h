// The plain per-byte definition scanner, kept as the model that the fast
// scanner must match byte for byte.
#ifndef KOLVU_TESTS_REFERENCE_SCANNER_H_
#define KOLVU_TESTS_REFERENCE_SCANNER_H_

#include "kolvu/textio.h"

namespace kolvu {
namespace reference {

/// Same contract as kolvu::scan_file.
void scan_file(TextFile *stream, const char *name, int mask);

}  // namespace reference
}  // namespace kolvu

#endif  // KOLVU_TESTS_REFERENCE_SCANNER_H_
