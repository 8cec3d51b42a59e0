// The scanner's entry: the engine built for this processor.
#include "scanner/scanner.h"

#include "scanner/scan_engine.h"
#include "scanner/scan_variants.h"

namespace kolvu {

int pr_fname = 0;

void scan_file_baseline(TextFile *stream, const char *name, int mask) {
  scan_engine(stream, name, mask);
}

void scan_file(TextFile *stream, const char *name, int mask) {
#if defined(KOLVU_AVX2_SCANNER)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    scan_file_avx2(stream, name, mask);
    return;
  }
#endif
  scan_file_baseline(stream, name, mask);
}

}  // namespace kolvu
