#include "index/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kolvu {

namespace {

std::string reason(const std::string &path, int error_number) {
  return path + ": " + std::strerror(error_number);
}

// The new file of the run, removed when a signal ends the run before it is
// committed, so that an interrupted run leaves nothing beside the file. One
// at a time: a second AtomicFile is left to its owner.
char g_temp[PATH_MAX];
volatile sig_atomic_t g_temp_set = 0;
const int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

extern "C" void remove_temp_and_die(int sig) {
  if (g_temp_set != 0) ::unlink(g_temp);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// Signals ignored when the run began (nohup's SIGHUP) stay ignored.
void catch_ending_signals() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  for (int sig : kEndingSignals) {
    struct sigaction old;
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
    struct sigaction sa {};
    sa.sa_handler = remove_temp_and_die;
    ::sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
  }
}

bool claim_temp(const std::string &temp) {
  if (g_temp_set != 0 || temp.size() >= sizeof g_temp) return false;
  std::memcpy(g_temp, temp.c_str(), temp.size() + 1);
  catch_ending_signals();
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the name is whole first
  g_temp_set = 1;
  return true;
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const std::string &named, std::string *error) {
  std::string path = named;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // The link's final target is replaced; a dangling link is replaced by
    // the file, as a missing name would be.
    char *target = ::realpath(path.c_str(), nullptr);
    if (target != nullptr) {
      path = target;
      std::free(target);
    }
  }
  name_ = named;
  path_ = path;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    // A device or FIFO cannot be swapped for a file, and a rename over a
    // device node would destroy it.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) {
      *error = reason(named, errno);
      return false;
    }
    return true;
  }
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string pattern = dir + "." + base + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) {
    *error = reason(named, errno);
    return false;
  }
  temp_ = name.data();
  removed_on_signal_ = claim_temp(temp_);
  return true;
}

bool AtomicFile::commit(std::string *error) {
  if (temp_.empty()) {
    int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0) {
      *error = reason(name_, errno);
      return false;
    }
    return true;
  }
  struct stat st;
  mode_t mode;
  if (::stat(path_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    // The owner too, where that is allowed (a run as root over another
    // user's file); where not, the file is the runner's, as a new one is.
    const int owned = ::fchown(fd_, st.st_uid, st.st_gid);
    (void)owned;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  int e = 0;
  if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) e = errno;
  if (::close(fd_) != 0 && e == 0) e = errno;
  fd_ = -1;
  if (e == 0 && ::rename(temp_.c_str(), path_.c_str()) != 0) e = errno;
  if (e != 0) {
    *error = reason(name_, e);
    discard();
    return false;
  }
  temp_.clear();
  release_temp();
  return true;
}

void AtomicFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  release_temp();
}

void AtomicFile::release_temp() {
  if (removed_on_signal_) g_temp_set = 0;
  removed_on_signal_ = false;
}

}  // namespace kolvu
