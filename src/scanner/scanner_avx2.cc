// The scanner's engine built for processors with AVX2 (with -mavx2).
#include "scanner/scan_engine.h"
#include "scanner/scan_variants.h"

namespace kolvu {

void scan_stream_avx2(TextFile *stream, const ScanSetup &setup) {
  scan_stream_here(stream, setup, &capture_buf, nullptr);
}

bool scan_ahead_avx2(TextFile *stream, const ScanSetup &setup, ScanBuffer *out) {
  return scan_stream_here(stream, setup, &ahead_capture(), out);
}

bool scan_records_avx2(const char *text, int size, const ScanSetup &setup, RecordSink *sink) {
  return scan_records_here(text, size, setup, sink);
}

}  // namespace kolvu
