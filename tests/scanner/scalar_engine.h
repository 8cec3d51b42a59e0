// The scanner's engine without vector instructions, for the tests on every
// processor: the same contracts as scan_stream_baseline and
// scan_ahead_baseline of scanner/scan_variants.h.
#ifndef KOLVU_TESTS_SCANNER_SCALAR_ENGINE_H_
#define KOLVU_TESTS_SCANNER_SCALAR_ENGINE_H_

#include "kolvu/textio.h"
#include "scanner/scanner.h"

namespace kolvu_test {

void scan_stream_scalar(kolvu::TextFile *stream, const kolvu::ScanSetup &setup);
bool scan_ahead_scalar(kolvu::TextFile *stream, const kolvu::ScanSetup &setup, kolvu::ScanBuffer *out);

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_SCANNER_SCALAR_ENGINE_H_
