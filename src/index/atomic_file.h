// A file written whole or not at all: the bytes go to a new file beside it
// in the same directory, which takes its name by rename(2) only when the
// writer commits; otherwise the file named is left as it was. A symbolic
// link is followed, so the link stays and its target is replaced. What
// cannot be replaced by a rename (a device such as /dev/null, a FIFO) is
// written to directly: it keeps what was written even when the run fails.
// A hangup, interrupt, quit or termination signal that ends the process
// removes the new file first.
#ifndef KOLVU_INDEX_ATOMIC_FILE_H_
#define KOLVU_INDEX_ATOMIC_FILE_H_

#include <string>

namespace kolvu {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // discards what was not committed
  AtomicFile(const AtomicFile &) = delete;
  AtomicFile &operator=(const AtomicFile &) = delete;

  /// Makes the new file for path, or opens path itself where it is no
  /// regular file. False with "PATH: reason" in error.
  bool open(const std::string &path, std::string *error);
  int fd() const { return fd_; }
  /// False where path is written to directly, so a discard keeps the bytes.
  bool replaces() const { return !temp_.empty(); }

  /// Flushes the new file to disk and renames it to the path; it takes the
  /// mode of the file it replaces (or 0666 less the umask), and its owner
  /// where it may; written directly, only closes. False with "PATH:
  /// reason" in error, the new file removed.
  bool commit(std::string *error);

  /// Removes the new file.
  void discard();

 private:
  std::string name_;  // as given, for messages
  void release_temp();

  std::string path_, temp_;
  int fd_ = -1;
  bool removed_on_signal_ = false;  // temp_ is the one a signal removes
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_ATOMIC_FILE_H_
