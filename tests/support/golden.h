// Golden end-to-end cases: input files as bytes, the command line, and the
// expected standard output, standard error and exit status.
#ifndef KOLVU_TESTS_GOLDEN_H_
#define KOLVU_TESTS_GOLDEN_H_

#include <string>
#include <utility>
#include <vector>

#include "support/run_binary.h"

namespace kolvu_test {

using Files = std::vector<std::pair<std::string, std::string>>;

struct Expect {
  std::string out;
  std::string err;
  int status = 0;
};

/// Writes files into a fresh directory, runs kolvu there with args, and
/// checks all three results byte for byte.
void expect_run(const Files &files, const std::vector<std::string> &args, const Expect &want);

/// Runs kolvu with opts and one file a.h holding text; expects out on
/// standard output, nothing on standard error and status 0.
void expect_scan(const std::vector<std::string> &opts, const std::string &text,
                 const std::string &out);

/// Checks two byte strings are equal; for large ones says where they part.
void expect_same_bytes(const std::string &actual, const std::string &expected);

/// The code page 932 bytes of a UTF-8 text.
std::string sjis(const std::string &utf8);

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_GOLDEN_H_
