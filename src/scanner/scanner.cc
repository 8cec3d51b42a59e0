// The scanner's entry: the engine built for this processor.
#include "scanner/scanner.h"

#include "scanner/scan_engine.h"
#include "scanner/scan_variants.h"

namespace kolvu {

int pr_fname = 0;

void scan_file_baseline(TextFile *stream, const char *name, int mask) {
  scan_file_here(stream, name, mask);
}

bool scan_ahead_baseline(TextFile *stream, const char *name, int mask, bool banner,
                         ScanBuffer *out) {
  return scan_ahead_here(stream, name, mask, banner, out);
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

void scan_file(TextFile *stream, const char *name, int mask) {
#if defined(KOLVU_AVX2_SCANNER)
  if (has_avx2()) {
    scan_file_avx2(stream, name, mask);
    return;
  }
#endif
  scan_file_baseline(stream, name, mask);
}

bool scan_file_ahead(TextFile *stream, const char *name, int mask, bool banner, ScanBuffer *out) {
#if defined(KOLVU_AVX2_SCANNER)
  if (has_avx2()) return scan_ahead_avx2(stream, name, mask, banner, out);
#endif
  return scan_ahead_baseline(stream, name, mask, banner, out);
}

}  // namespace kolvu
