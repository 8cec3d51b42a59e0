// Memory: allocation routines that never hand a failure back to an ordinary
// caller. Each retries once where it can; when memory is really exhausted it
// reports through errmsg, calls endfun once if it is set, and ends the
// process with exit status 1. Blocks come from the standard heap and are
// released with the standard free().
#ifndef KOLVU_MEM_H_
#define KOLVU_MEM_H_

namespace kolvu {

/// A getmem request of at least this many bytes that cannot be met returns
/// null (after its message) instead of ending the process. Initially the
/// largest int.
extern int terminate_size;

/// Called once on every fatal path of this module, after the message and
/// before the exit. Initially null.
extern void (*endfun)();

/// A zero-filled block of size bytes. Tries size, then size + 1000. On
/// failure writes "cannot get the memory of %d K bytes\n" (size / 1000) when
/// size > 1000, else "cannot get the memory of %d bytes\n"; then returns null
/// if size >= terminate_size, else ends the process with status 1.
/// A size of 0 gives a usable, non-null block.
void *getmem(int size);

/// Resizes block (null: a fresh block) to size bytes; contents are kept up to
/// the smaller size, added bytes are not cleared. Tries size, then
/// size + 1000; on failure the getmem message, endfun, exit status 1.
/// A size of 0 never releases the block: it is resized to the smallest
/// allocation and returned, still valid and non-null.
void *moremem(void *block, int size);

/// A heap copy of text; on failure "cannot get memory\n", endfun, status 1.
char *setstr(const char *text);

/// Appends text to the heap text in base and returns the (possibly moved)
/// block; use the result from then on. On failure "can't get memory\n",
/// endfun, status 1.
char *addstr(char *base, const char *text);

}  // namespace kolvu

#endif  // KOLVU_MEM_H_
