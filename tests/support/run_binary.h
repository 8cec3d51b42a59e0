// Runs the built kolvu binary with given arguments in a given directory.
#ifndef KOLVU_TESTS_RUN_BINARY_H_
#define KOLVU_TESTS_RUN_BINARY_H_

#include <string>
#include <vector>

#include "support/test_util.h"

namespace kolvu_test {

/// Runs the program at binary with args (argv[1] on), in directory cwd,
/// standard input from /dev/null; merged as for run_kolvu.
Outcome run_program(const std::string &binary, const std::vector<std::string> &args,
                    const std::string &cwd, bool merged = false);

/// Runs "'binary' <rest>" through bash in directory cwd, as run_kolvu_shell.
Outcome run_program_shell(const std::string &binary, const std::string &cwd,
                          const std::string &rest);

/// Runs kolvu with args (argv[1] on), in directory cwd, standard input from
/// /dev/null; merged sends both streams to one file, as ">f 2>&1".
Outcome run_kolvu(const std::vector<std::string> &args, const std::string &cwd,
                  bool merged = false);

/// Runs "kolvu <redirections and pipes>" through bash in directory cwd, as
/// in "kolvu a.h >/dev/full" or "kolvu a.h | head -1"; the status is
/// kolvu's own (128 + the signal's number when a signal ended it).
Outcome run_kolvu_shell(const std::string &cwd, const std::string &rest);

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_RUN_BINARY_H_
