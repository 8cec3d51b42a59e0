// kolvu-lsp as a whole, without its main(): the command line, help and
// version, then the server on the given descriptors; the exit status is
// decided here alone.
#ifndef KOLVU_LSP_LSP_CLI_H_
#define KOLVU_LSP_LSP_CLI_H_

namespace kolvu {

enum LspExit {
  kLspOk = 0,      // exit after shutdown, or --help / --version
  kLspNoShutdown = 1,  // exit or the end of input without shutdown
  kLspUsage = 2,   // a usage error: nothing was served
};

/// Runs kolvu-lsp over argv[1..argc-1]: protocol messages are read from
/// in_fd and written to out_fd, diagnostics to err_fd.
int lsp_main(int argc, char **argv, int in_fd, int out_fd, int err_fd);

}  // namespace kolvu

#endif  // KOLVU_LSP_LSP_CLI_H_
