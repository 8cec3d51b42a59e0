// The server: JSON-RPC over a pair of descriptors, its lifecycle
// (initialize, initialized, shutdown, exit), the open documents and the
// watched files, with the index built in the background. Messages are read
// on a thread of their own into a queue, so that a cancellation reaches a
// request still waiting in it; they are handled in order on the calling
// thread. Nothing but protocol messages is written to out_fd; what goes
// wrong is also written to err_fd.
#ifndef KOLVU_LSP_SERVER_H_
#define KOLVU_LSP_SERVER_H_

#include <string>

#include "lsp/options.h"

namespace kolvu {

/// The largest message body read; a longer one is refused unread.
const size_t kMaxMessageBody = 64u << 20;

/// Serves until exit or the end of input; returns the exit status: 0 after
/// shutdown, 1 without. The thread that reads in_fd is left to end with its
/// input, unless join_reader is true: then serve returns once it has read
/// in_fd to its end, which must come by itself (a file, not a terminal),
/// so the caller may close in_fd and use the number again.
int serve(const LspSettings &settings, const std::string &version, int in_fd, int out_fd,
          int err_fd, bool join_reader = false);

}  // namespace kolvu

#endif  // KOLVU_LSP_SERVER_H_
