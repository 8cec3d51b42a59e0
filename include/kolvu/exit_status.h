// The process's exit statuses, and the one way the library and the tool end
// the process early.
#ifndef KOLVU_EXIT_STATUS_H_
#define KOLVU_EXIT_STATUS_H_

namespace kolvu {

enum ExitStatus {
  kExitSuccess = 0,  // every argument handled
  kExitFailure = 1,  // help, usage, an over-long line, memory exhausted
};

/// Ends the process with status after flushing stdout (kolvu/textio.h).
[[noreturn]] void exit_process(int status);

}  // namespace kolvu

#endif  // KOLVU_EXIT_STATUS_H_
