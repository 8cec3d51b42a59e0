// Allocation with one retry, a report and a fatal exit.
#include "kolvu/mem.h"

#include <cstdlib>
#include <cstring>

#include "alloc_seam.h"
#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"

namespace kolvu {

int terminate_size = 2147483647;
void (*endfun)() = nullptr;

namespace {

const int kRetryMargin = 1000;

char *heap_strdup(const char *s) { return ::strdup(s); }

constexpr AllocHooks kHeap = {std::malloc, std::realloc, heap_strdup};
AllocHooks hooks = kHeap;

// The retry asks for size + 1000; an int request near the top of the range
// must not wrap, so the sum is made in size_t.
size_t with_margin(int size) { return static_cast<size_t>(size) + kRetryMargin; }

void report_exhausted(int size) {
  if (size > 1000)
    errmsg("cannot get the memory of %d K bytes\n", size / 1000);
  else
    errmsg("cannot get the memory of %d bytes\n", size);
}

[[noreturn]] void give_up() {
  if (endfun != nullptr) endfun();
  exit_process(kExitFailure);
}

}  // namespace

AllocHooks default_alloc_hooks() { return kHeap; }

AllocHooks set_alloc_hooks(AllocHooks h) {
  AllocHooks old = hooks;
  hooks = h;
  return old;
}

void *alloc_or_null(size_t size) { return hooks.malloc_fn(size); }

void *realloc_or_null(void *block, size_t size) { return hooks.realloc_fn(block, size); }

void *getmem(int size) {
  void *p = hooks.malloc_fn(static_cast<size_t>(size));
  if (p == nullptr) p = hooks.malloc_fn(with_margin(size));
  if (p != nullptr) {
    std::memset(p, 0, static_cast<size_t>(size));
    return p;
  }
  report_exhausted(size);
  if (size >= terminate_size) return nullptr;
  give_up();
}

void *moremem(void *block, int size) {
  // realloc with a size of 0 may release the block and return null, after
  // which the retry would resize a released block: ask for one byte instead.
  size_t want = size > 0 ? static_cast<size_t>(size) : 1;
  void *p = hooks.realloc_fn(block, want);
  if (p == nullptr) p = hooks.realloc_fn(block, with_margin(size));
  if (p != nullptr) return p;
  report_exhausted(size);
  give_up();
}

char *setstr(const char *text) {
  char *copy = hooks.strdup_fn(text);
  if (copy != nullptr) return copy;
  errmsg("cannot get memory\n");
  give_up();
}

char *addstr(char *base, const char *text) {
  size_t n = std::strlen(base) + std::strlen(text) + 1;
  char *grown = static_cast<char *>(hooks.realloc_fn(base, n));
  if (grown == nullptr) {
    errmsg("can't get memory\n");
    give_up();
  }
  return std::strcat(grown, text);
}

}  // namespace kolvu
