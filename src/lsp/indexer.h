// Indexing in the background: the workspace folders are walked (the walk of
// kolvu-index, less the excluded paths), then workers scan the files and put
// their names into the index, while the server goes on answering from what
// is there. A file that cannot be read is dropped from the index and
// reported through the log callback.
#ifndef KOLVU_LSP_INDEXER_H_
#define KOLVU_LSP_INDEXER_H_

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "lsp/options.h"
#include "lsp/symbol_index.h"

namespace kolvu {

/// Scans the file at path and replaces its names in index; on failure drops
/// them and returns false with a message "PATH: reason".
bool index_one_file(SymbolIndex *index, const LspSettings &settings, const std::string &path,
                    std::string *error);

class Indexer {
 public:
  using Progress = std::function<void(size_t done, size_t total)>;
  using Log = std::function<void(const std::string &message)>;

  Indexer(SymbolIndex *index, LspSettings settings, Log log);
  ~Indexer();  // stops the workers after their current file
  Indexer(const Indexer &) = delete;
  Indexer &operator=(const Indexer &) = delete;

  /// Starts indexing roots (absolute paths of folders). progress is called
  /// from the workers with every file done and once with done == total at
  /// the end, after which finished() is true.
  void start(std::vector<std::string> roots, Progress progress);

  bool finished() const { return finished_; }
  void wait();

 private:
  void run(std::vector<std::string> roots, Progress progress);

  SymbolIndex *index_;
  LspSettings settings_;
  Log log_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
};

}  // namespace kolvu

#endif  // KOLVU_LSP_INDEXER_H_
