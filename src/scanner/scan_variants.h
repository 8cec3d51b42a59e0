// The builds of the scanner's engine, each with scan_file's contract.
// scan_file picks one; the tests run each against the plain model.
#ifndef KOLVU_SCANNER_SCAN_VARIANTS_H_
#define KOLVU_SCANNER_SCAN_VARIANTS_H_

#include "kolvu/textio.h"
#include "scanner/scanner.h"

namespace kolvu {

/// Built for the baseline processor of the target.
void scan_file_baseline(TextFile *stream, const char *name, int mask);
bool scan_ahead_baseline(TextFile *stream, const char *name, int mask, bool banner,
                         ScanBuffer *out);

#if defined(KOLVU_AVX2_SCANNER)
/// Built with AVX2; call only where the processor has it.
void scan_file_avx2(TextFile *stream, const char *name, int mask);
bool scan_ahead_avx2(TextFile *stream, const char *name, int mask, bool banner, ScanBuffer *out);
#endif

}  // namespace kolvu

#endif  // KOLVU_SCANNER_SCAN_VARIANTS_H_
