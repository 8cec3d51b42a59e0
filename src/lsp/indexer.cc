#include "lsp/indexer.h"

#include "common/walk.h"
#include "lsp/regular_file.h"
#include "util/placed_thread.h"

namespace kolvu {

bool index_one_file(SymbolIndex *index, const LspSettings &settings, const std::string &path,
                    std::string *error) {
  std::string text, why;
  FileStamp stamp;
  if (!read_regular_file(path, kMaxFileBytes, &text, &why, &stamp)) {
    index->remove_file(path, false);
    *error = path + ": " + why;
    return false;
  }
  SourceScan scan = scan_source_names(text.data(), text.size(), settings.kinds, settings.encoding);
  if (scan.result.status != ScanStatus::kOk) {
    index->remove_file(path, false);
    *error = path + ": " + scan_status_text(scan.result.status);
    return false;
  }
  Encoding enc = scan.result.encoding == Encoding::kAuto ? Encoding::kShiftJis : scan.result.encoding;
  index->replace_file(path, enc, text, scan.names, false, stamp);
  return true;
}

Indexer::Indexer(SymbolIndex *index, LspSettings settings, Log log)
    : index_(index), settings_(std::move(settings)), log_(std::move(log)) {}

Indexer::~Indexer() {
  stop_ = true;
  wait();
}

void Indexer::wait() {
  if (thread_.joinable()) thread_.join();
}

void Indexer::start(std::vector<std::string> roots, Progress progress) {
  thread_ = std::thread([this, roots = std::move(roots), progress = std::move(progress)]() mutable {
    run(std::move(roots), std::move(progress));
  });
}

void Indexer::run(std::vector<std::string> roots, Progress progress) {
  // The walk first: it is quick, and the total makes the progress.
  std::vector<std::string> paths;
  for (const std::string &root : roots) {
    WalkOptions walk;
    walk.exts = settings_.exts;
    walk.excludes = settings_.excludes;  // excluded folders are not even entered
    walk.follow = settings_.follow;
    Walker walker({root}, walk);
    WalkItem item;
    while (!stop_ && walker.next(&item)) {
      if (!item.error.empty()) {
        log_(item.error);
        continue;
      }
      std::string relative = item.path.size() > root.size() + 1 && item.path.compare(0, root.size(), root) == 0
                                 ? item.path.substr(root.size() + 1)
                                 : item.path;
      if (!is_excluded(relative, settings_.excludes)) paths.push_back(std::move(item.path));
    }
  }
  const size_t total = paths.size();
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  auto work = [&]() {
    for (;;) {
      if (stop_) return;
      size_t i = next++;
      if (i >= total) return;
      std::string error;
      if (!index_one_file(index_, settings_, paths[i], &error)) log_(error);
      size_t d = ++done;
      if (d < total) progress(d, total);
    }
  };
  // The other workers start on the other processors, at work at once.
  std::vector<PlacedThread> workers;
  int n = settings_.workers < 1 ? 1 : settings_.workers;
  workers.reserve(static_cast<size_t>(n));
  for (int w = 1; w < n; ++w) workers.emplace_back(w - 1, work);
  work();
  for (PlacedThread &t : workers) t.join();
  finished_ = true;
  progress(total, total);
}

}  // namespace kolvu
