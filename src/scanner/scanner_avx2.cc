// The scanner's engine built for processors with AVX2 (with -mavx2).
#include "scanner/scan_engine.h"
#include "scanner/scan_variants.h"

namespace kolvu {

void scan_file_avx2(TextFile *stream, const char *name, int mask) {
  scan_engine(stream, name, mask);
}

}  // namespace kolvu
