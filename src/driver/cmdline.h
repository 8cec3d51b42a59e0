// The command line: help and usage, the left-to-right walk of the arguments,
// and the file loop.
#ifndef KOLVU_DRIVER_CMDLINE_H_
#define KOLVU_DRIVER_CMDLINE_H_

namespace kolvu {

/// Runs the tool over argv[1..argc-1]. Help and usage end the process with
/// status 1; otherwise returns 0 once every argument has been handled (or a
/// "-l" without its value has been reported). argv's strings may be changed
/// (a comma list is split in place).
int run(int argc, char **argv);

}  // namespace kolvu

#endif  // KOLVU_DRIVER_CMDLINE_H_
