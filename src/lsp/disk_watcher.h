// The workspace folders watched on disk, for a client that does not watch
// them itself: files created, changed and deleted below them are reported
// in batches, from a thread of the watcher's own, a moment after the disk
// goes quiet. inotify where the system has it, one watch a folder (folders
// created later are watched as they come, and the files already in them
// reported); where it is missing or its watches run out, a walk every two
// seconds that compares each file's size and time with the last walk's.
// Excluded folders are not entered.
#ifndef KOLVU_LSP_DISK_WATCHER_H_
#define KOLVU_LSP_DISK_WATCHER_H_

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lsp/options.h"
#include "lsp/regular_file.h"

namespace kolvu {

class DiskWatcher {
 public:
  /// type as the protocol numbers file events: 1 created, 2 changed,
  /// 3 deleted (for a folder moved away too: its path is given).
  struct Change {
    std::string path;
    int type;
  };
  using Report = std::function<void(std::vector<Change>)>;
  using Log = std::function<void(const std::string &)>;

  /// force_walk: the periodic walk even where inotify works.
  DiskWatcher(LspSettings settings, Report report, Log log, bool force_walk = false);
  ~DiskWatcher();  // stops the thread
  DiskWatcher(const DiskWatcher &) = delete;
  DiskWatcher &operator=(const DiskWatcher &) = delete;

  /// Watches root (absolute, no trailing '/') from now on; the thread
  /// starts with the first.
  void add_root(const std::string &root);

 private:
  struct Dir {
    std::string path;
    std::string root;
  };
  // With mutex_ held, but run() itself.
  void run();
  void watch_tree(const std::string &dir, const std::string &root, std::vector<Change> *found);
  bool excluded_dir(const std::string &dir, const std::string &root) const;
  bool wanted_file(const std::string &path) const;
  void read_events(std::map<std::string, int> *pending);
  void walk_and_compare(std::map<std::string, int> *pending, const std::string &only);
  void fall_back(const std::string &why);

  LspSettings settings_;
  Report report_;
  Log log_;
  std::mutex mutex_;
  std::vector<std::string> roots_;
  int fd_ = -1;                          // inotify's, or -1
  bool walks_ = false;                   // watching by walks

  std::map<int, Dir> dirs_;              // by watch descriptor
  std::map<std::string, FileStamp> stamps_;  // of the last walk
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace kolvu

#endif  // KOLVU_LSP_DISK_WATCHER_H_
