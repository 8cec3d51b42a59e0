// The scanner's entries: the engine built for this processor.
#include "scanner/scanner.h"

#include "scanner/scan_engine.h"
#include "scanner/scan_variants.h"

namespace kolvu {

void scan_stream_baseline(TextFile *stream, const ScanSetup &setup) {
  scan_stream_here(stream, setup, &capture_buf, nullptr);
}

bool scan_ahead_baseline(TextFile *stream, const ScanSetup &setup, ScanBuffer *out) {
  return scan_stream_here(stream, setup, &ahead_capture(), out);
}

bool scan_records_baseline(const char *text, int size, const ScanSetup &setup, RecordSink *sink) {
  return scan_records_here(text, size, setup, sink);
}

namespace {

#if defined(KOLVU_AVX2_SCANNER)
bool has_avx2() {
  static const bool avx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return avx2;
}
#endif

}  // namespace

void scan_stream(TextFile *stream, const ScanSetup &setup) {
#if defined(KOLVU_AVX2_SCANNER)
  if (has_avx2()) {
    scan_stream_avx2(stream, setup);
    return;
  }
#endif
  scan_stream_baseline(stream, setup);
}

bool scan_stream_ahead(TextFile *stream, const ScanSetup &setup, ScanBuffer *out) {
#if defined(KOLVU_AVX2_SCANNER)
  if (has_avx2()) return scan_ahead_avx2(stream, setup, out);
#endif
  return scan_ahead_baseline(stream, setup, out);
}

bool scan_records(const char *text, int size, const ScanSetup &setup, RecordSink *sink) {
#if defined(KOLVU_AVX2_SCANNER)
  if (has_avx2()) return scan_records_avx2(text, size, setup, sink);
#endif
  return scan_records_baseline(text, size, setup, sink);
}

}  // namespace kolvu
