// Helpers shared by the tests: temporary files and forked children whose
// standard output, standard error and exit status are collected.
#ifndef KOLVU_TESTS_TEST_UTIL_H_
#define KOLVU_TESTS_TEST_UTIL_H_

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kolvu_test {

/// A fresh directory, removed with its files when it goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::string &path() const { return path_; }
  /// Writes bytes to the file name inside the directory; returns its path.
  std::string write(const std::string &name, const std::string &bytes) const;

 private:
  std::string path_;
};

std::string read_file(const std::string &path);

/// A pipe a thread of its own writes bytes into, then closes; fd() is its
/// read end, to be read to the end. Both ends are closed when it goes out of
/// scope.
class FedPipe {
 public:
  explicit FedPipe(const std::string &bytes);
  ~FedPipe();
  FedPipe(const FedPipe &) = delete;
  FedPipe &operator=(const FedPipe &) = delete;

  int fd() const { return read_end_; }

 private:
  std::string bytes_;
  int read_end_ = -1;
  std::thread writer_;
};

// Every regular file below dir whose name ends in ".h", links not
// followed, in the order of the directories' listings.
void headers_below(const std::string &dir, std::vector<std::string> *out);

struct Outcome {
  std::string out;    // standard output (both streams when merged)
  std::string err;    // standard error (empty when merged)
  int status = -1;    // exit status, or 128 + signal number
};

/// Runs fn in a forked child whose standard output and standard error go to
/// files (one file when merged, as with ">f 2>&1"); the child then ends with
/// exit(0) unless fn ends it first.
Outcome run_in_child(const std::function<void()> &fn, bool merged = false);

/// Bytes from a list of values, for byte strings with NULs and high bytes.
std::string bytes(std::initializer_list<int> values);

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_TEST_UTIL_H_
