// The one seam every allocation of the memory module goes through, so tests
// can make the heap fail on demand. Not part of the public interface.
#ifndef KOLVU_ALLOC_SEAM_H_
#define KOLVU_ALLOC_SEAM_H_

#include <cstddef>

namespace kolvu {

struct AllocHooks {
  void *(*malloc_fn)(size_t);
  void *(*realloc_fn)(void *, size_t);
  char *(*strdup_fn)(const char *);
};

/// The standard heap's malloc, realloc and strdup.
AllocHooks default_alloc_hooks();

/// Installs hooks and returns the ones they replace.
AllocHooks set_alloc_hooks(AllocHooks hooks);

/// A block of size bytes from the hooks' malloc, or null: for memory that
/// only makes things faster, whose absence is no failure. Released with
/// std::free(). Does nothing else: no retry, no message, no exit.
void *alloc_or_null(size_t size);

/// block (or null) resized to size bytes by the hooks' realloc, or null
/// with block unchanged; as alloc_or_null, nothing else.
void *realloc_or_null(void *block, size_t size);

}  // namespace kolvu

#endif  // KOLVU_ALLOC_SEAM_H_
