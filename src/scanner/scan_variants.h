// The builds of the scanner's engine, each with the contracts of scanner.h.
// The entries there pick one; the tests run each against the plain model.
#ifndef KOLVU_SCANNER_SCAN_VARIANTS_H_
#define KOLVU_SCANNER_SCAN_VARIANTS_H_

#include "kolvu/textio.h"
#include "scanner/scanner.h"

namespace kolvu {

/// Built for the baseline processor of the target.
void scan_stream_baseline(TextFile *stream, const ScanSetup &setup);
bool scan_ahead_baseline(TextFile *stream, const ScanSetup &setup, ScanBuffer *out);
bool scan_records_baseline(const char *text, int size, const ScanSetup &setup, RecordSink *sink);

#if defined(KOLVU_AVX2_SCANNER)
/// Built with AVX2; call only where the processor has it.
void scan_stream_avx2(TextFile *stream, const ScanSetup &setup);
bool scan_ahead_avx2(TextFile *stream, const ScanSetup &setup, ScanBuffer *out);
bool scan_records_avx2(const char *text, int size, const ScanSetup &setup, RecordSink *sink);
#endif

}  // namespace kolvu

#endif  // KOLVU_SCANNER_SCAN_VARIANTS_H_
