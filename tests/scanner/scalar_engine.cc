// The scanner's engine built as for a processor without SSE2 or AVX2 (the
// build compiles this file with both undefined), where it finds the bytes
// that matter with tables alone: what arm64 and other targets run. The
// tests compare it with the plain model beside the vector builds.
#if defined(__SSE2__) || defined(__AVX2__)
#error "scalar_engine.cc must be compiled with -U__SSE2__ -U__AVX2__"
#endif

#include "scanner/scalar_engine.h"

// Only the stream entries are compared with the model here; the records
// entry of the engine stays unused in this file.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include "scanner/scan_engine.h"
#pragma GCC diagnostic pop

namespace kolvu_test {

void scan_stream_scalar(kolvu::TextFile *stream, const kolvu::ScanSetup &setup) {
  kolvu::scan_stream_here(stream, setup, &kolvu::capture_buf, nullptr);
}

bool scan_ahead_scalar(kolvu::TextFile *stream, const kolvu::ScanSetup &setup, kolvu::ScanBuffer *out) {
  return kolvu::scan_stream_here(stream, setup, &kolvu::ahead_capture(), out);
}

}  // namespace kolvu_test
