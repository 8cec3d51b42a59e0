// The scanner's engine built for processors with AVX2 (with -mavx2).
#include "scanner/scan_engine.h"
#include "scanner/scan_variants.h"

namespace kolvu {

void scan_file_avx2(TextFile *stream, const char *name, int mask) {
  scan_file_here(stream, name, mask);
}

bool scan_ahead_avx2(TextFile *stream, const char *name, int mask, bool banner, ScanBuffer *out) {
  return scan_ahead_here(stream, name, mask, banner, out);
}

}  // namespace kolvu
