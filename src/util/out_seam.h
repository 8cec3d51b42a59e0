// Test hook of the standard output stream. Not part of the public interface.
#ifndef KOLVU_OUT_SEAM_H_
#define KOLVU_OUT_SEAM_H_

#include <string>

namespace kolvu {

/// Drops what stdout holds and any failure seen, and makes the next write
/// set stdout's buffering as out_tool_buffering does, looking at file
/// descriptors 1 and 2 afresh (for a forked test child that redirects them).
void out_reset();

/// Sends everything written to standard output into *sink instead, until
/// called with null.
void out_set_sink(std::string *sink);

}  // namespace kolvu

#endif  // KOLVU_OUT_SEAM_H_
