#include "lsp/disk_watcher.h"

#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/walk.h"

namespace kolvu {

namespace {

const uint32_t kDirEvents = IN_CREATE | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                            IN_ONLYDIR | IN_DONT_FOLLOW;
// The disk is taken as quiet after this long without an event.
const int kQuietMs = 100;
// Between two walks, where there are no events.
const int kWalkEveryMs = 2000;

std::string relative_to(const std::string &path, const std::string &root) {
  if (path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/')
    return path.substr(root.size() + 1);
  return {};
}

}  // namespace

DiskWatcher::DiskWatcher(LspSettings settings, Report report, Log log, bool force_walk)
    : settings_(std::move(settings)), report_(std::move(report)), log_(std::move(log)) {
  if (!force_walk) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) log_(std::string("inotify: ") + std::strerror(errno) + "; the folders are walked every 2 s");
  }
  walks_ = fd_ < 0;
}

DiskWatcher::~DiskWatcher() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
}

void DiskWatcher::add_root(const std::string &root) {
  // The folder's watches (or its first walk) are in place before this
  // returns, so nothing that changes after it, while it is indexed, is missed.
  std::lock_guard<std::mutex> lock(mutex_);
  roots_.push_back(root);
  if (walks_) walk_and_compare(nullptr, root);
  else watch_tree(root, root, nullptr);
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

bool DiskWatcher::excluded_dir(const std::string &dir, const std::string &root) const {
  std::string rel = relative_to(dir, root);
  return !rel.empty() && is_excluded(rel, settings_.excludes);
}

bool DiskWatcher::wanted_file(const std::string &path) const {
  size_t slash = path.rfind('/');
  return has_source_ext(path.substr(slash == std::string::npos ? 0 : slash + 1), settings_.exts);
}

void DiskWatcher::fall_back(const std::string &why) {
  log_(why + "; the folders are walked every 2 s instead");
  walks_ = true;
  dirs_.clear();
  for (const std::string &r : roots_) walk_and_compare(nullptr, r);
}

void DiskWatcher::watch_tree(const std::string &dir, const std::string &root, std::vector<Change> *found) {
  if (walks_ || excluded_dir(dir, root)) return;
  int wd = ::inotify_add_watch(fd_, dir.c_str(), kDirEvents);
  if (wd < 0) {
    if (errno == ENOSPC || errno == ENOMEM) fall_back(dir + ": inotify watches ran out");
    return;  // gone already, or not a folder
  }
  dirs_[wd] = Dir{dir, root};
  DIR *d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::string> subdirs;
  while (struct dirent *e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string path = dir + "/" + name;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::lstat(path.c_str(), &st) != 0) continue;
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) subdirs.push_back(path);
    else if (found != nullptr && wanted_file(path)) found->push_back({path, 1});
  }
  ::closedir(d);
  for (const std::string &sub : subdirs) watch_tree(sub, root, found);
}

void DiskWatcher::read_events(std::map<std::string, int> *pending) {
  alignas(struct inotify_event) char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) return;
    for (char *p = buf; p < buf + n;) {
      const struct inotify_event *ev = reinterpret_cast<const struct inotify_event *>(p);
      p += sizeof(struct inotify_event) + ev->len;
      if (ev->mask & IN_Q_OVERFLOW) {
        log_("inotify: events lost, some files may be out of date until they change again");
        continue;
      }
      auto dir = dirs_.find(ev->wd);
      if (dir == dirs_.end()) continue;
      if (ev->mask & IN_IGNORED) {
        dirs_.erase(dir);
        continue;
      }
      if (ev->len == 0) continue;
      const std::string root = dir->second.root;
      std::string path = dir->second.path + "/" + ev->name;
      if (ev->mask & IN_ISDIR) {
        if (ev->mask & (IN_CREATE | IN_MOVED_TO)) {
          std::vector<Change> found;
          watch_tree(path, root, &found);
          if (walks_) return;  // the walks take over
          for (const Change &c : found) (*pending)[c.path] = 1;
        } else if (ev->mask & (IN_DELETE | IN_MOVED_FROM)) {
          (*pending)[path] = 3;
        }
        continue;
      }
      if (!wanted_file(path)) continue;
      if (ev->mask & (IN_DELETE | IN_MOVED_FROM)) (*pending)[path] = 3;
      else if (ev->mask & IN_CREATE) (*pending)[path] = 1;
      else if (pending->count(path) == 0 || (*pending)[path] == 3) (*pending)[path] = 2;
    }
  }
}

void DiskWatcher::walk_and_compare(std::map<std::string, int> *pending, const std::string &only) {
  // A walk of one root (only) takes its files' stamps; of all of them,
  // compares them too.
  std::map<std::string, FileStamp> now;
  for (const std::string &root : roots_) {
    if (!only.empty() && root != only) continue;
    WalkOptions walk;
    walk.exts = settings_.exts;
    walk.excludes = settings_.excludes;
    walk.follow = settings_.follow;
    Walker walker({root}, walk);
    WalkItem item;
    while (!stop_ && walker.next(&item)) {
      if (item.error.empty()) now[item.path] = stamp_of(item.path);
    }
  }
  if (!only.empty()) {
    for (auto &f : now) stamps_[f.first] = f.second;
    return;
  }
  for (const auto &f : now) {
    auto was = stamps_.find(f.first);
    if (was == stamps_.end()) (*pending)[f.first] = 1;
    else if (was->second != f.second) (*pending)[f.first] = 2;
  }
  for (const auto &f : stamps_) {
    if (now.count(f.first) == 0) (*pending)[f.first] = 3;
  }
  stamps_.swap(now);
}

void DiskWatcher::run() {
  std::map<std::string, int> pending;
  int since_walk = 0;
  while (!stop_) {
    bool walks;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      walks = walks_;
    }
    if (walks) {
      ::usleep(kQuietMs * 1000);
      since_walk += kQuietMs;
      if (since_walk < kWalkEveryMs) continue;
      since_walk = 0;
      std::lock_guard<std::mutex> lock(mutex_);
      walk_and_compare(&pending, std::string());
    } else {
      struct pollfd p = {fd_, POLLIN, 0};
      if (::poll(&p, 1, kQuietMs) > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        read_events(&pending);
        continue;  // until the disk is quiet
      }
    }
    if (!pending.empty()) {
      std::vector<Change> changes;
      for (const auto &c : pending) changes.push_back({c.first, c.second});
      pending.clear();
      report_(std::move(changes));
    }
  }
}

}  // namespace kolvu
