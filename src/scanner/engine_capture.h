// The capture: typedef text held back until its name is known, and, for
// records, where each definition held in it starts and ends. One capture
// serves the scans of the tool's thread; each thread that scans ahead has
// its own, of bounded size.
#ifndef KOLVU_SCANNER_ENGINE_CAPTURE_H_
#define KOLVU_SCANNER_ENGINE_CAPTURE_H_

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "kolvu/mem.h"
#include "scanner/record_sink.h"
#include "util/alloc_seam.h"

namespace kolvu {
namespace {

// The capture grows as needed, so a typedef of any length is held whole and
// never overwrites anything.
const size_t kAheadCaptureLimit = 64 * 1024;

struct Capture {
  char *buf = nullptr;
  size_t size = 0;
  size_t idx = 0;
  size_t ready = 0;  // bytes of buf whose pages are known to be in memory
  // Scanning ahead, the capture may not grow past limit, nor end the
  // process when memory runs out: it overflows instead, and what it holds
  // no longer counts. 0: no limit.
  size_t limit = 0;
  bool overflow = false;
  // For records: where each definition held here starts in buf, how it
  // started, and just past its last source byte once it has closed.
  struct Segment {
    RecordStart start;
    size_t from;
    size_t src_end;
  };
  Segment *segs = nullptr;
  int nsegs = 0;
  int segs_cap = 0;

  Capture() = default;
  Capture(const Capture &) = delete;
  Capture &operator=(const Capture &) = delete;
  ~Capture() {
    std::free(buf);
    std::free(segs);
  }

  void restart() {
    idx = 0;
    nsegs = 0;
  }

  void add_segment(const RecordStart &start) {
    if (nsegs == segs_cap) {
      int grown = segs_cap == 0 ? 8 : segs_cap * 2;
      void *moved = realloc_or_null(segs, sizeof(Segment) * static_cast<size_t>(grown));
      if (moved == nullptr) {
        overflow = true;
        return;
      }
      segs = static_cast<Segment *>(moved);
      segs_cap = grown;
    }
    segs[nsegs++] = {start, idx, start.begin};
  }

  void append(const char *p, size_t n) {
    while (size - idx < n) {
      if (limit != 0) {
        grow_within_limit(n);
        if (overflow) return;
      } else {
        grow();
      }
    }
    if (idx + n > ready) prepare(idx + n);
    std::memcpy(buf + idx, p, n);
    idx += n;
  }

  // A long capture has the pages it is about to fill made ready a
  // megabyte at a time, in one call each, rather than one fault per page
  // as they are first written; only a megabyte more than it holds.
  void prepare(size_t need) {
    const size_t kStep = 1 << 20;
    size_t to = need + kStep < size ? need + kStep : size;
#if defined(MADV_POPULATE_WRITE)
    const uintptr_t kPage = 4096;
    uintptr_t lo = (reinterpret_cast<uintptr_t>(buf + ready) + kPage - 1) & ~(kPage - 1);
    uintptr_t hi = reinterpret_cast<uintptr_t>(buf + to) & ~(kPage - 1);
    if (ready >= kStep && hi > lo)
      (void)madvise(reinterpret_cast<void *>(lo), hi - lo, MADV_POPULATE_WRITE);
#endif
    ready = to;
  }

  void grow() {
    const size_t kMax = 0x7fffffff;  // the largest block an int size asks for
    if (size == kMax) {
      errmsg("cannot get memory\n");
      exit_process(kExitFailure);
    }
    size_t grown = size == 0 ? 16 * 1024 : size * 2;
    if (grown > kMax) grown = kMax;
    char *moved = static_cast<char *>(moremem(buf, static_cast<int>(grown)));
    if (moved != buf) ready = idx;  // a copy is in memory up to idx only
    buf = moved;
    size = grown;
  }

  void grow_within_limit(size_t n) {
    size_t grown = size == 0 ? 16 * 1024 : size * 2;
    while (grown - idx < n && grown < limit) grown *= 2;
    if (grown > limit) grown = limit;
    char *moved = grown - idx < n ? nullptr : static_cast<char *>(realloc_or_null(buf, grown));
    if (moved == nullptr) {
      overflow = true;
      return;
    }
    buf = moved;
    size = grown;
    ready = size;  // small enough to fault in as it is written
  }
};

Capture capture_buf;  // of scan_file

// Of scans ahead, one per thread that makes them.
Capture &ahead_capture() {
  thread_local Capture c;
  c.limit = kAheadCaptureLimit;
  c.overflow = false;
  c.restart();
  return c;
}

}  // namespace
}  // namespace kolvu

#endif  // KOLVU_SCANNER_ENGINE_CAPTURE_H_
