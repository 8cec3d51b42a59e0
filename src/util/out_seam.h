// Test hook of the standard output stream. Not part of the public interface.
#ifndef KOLVU_OUT_SEAM_H_
#define KOLVU_OUT_SEAM_H_

#include <string>

namespace kolvu {

/// Forgets what standard output holds and how it is buffered, so the next
/// write looks at file descriptors 1 and 2 afresh (for a forked test child
/// that has just redirected them).
void out_reset();

/// Sends everything written to standard output into *sink instead, until
/// called with null.
void out_set_sink(std::string *sink);

}  // namespace kolvu

#endif  // KOLVU_OUT_SEAM_H_
