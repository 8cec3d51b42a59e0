// The index of identifier uses: for every file, the names its code uses and
// where (line, byte column), kept compact: each file's names as sorted 64-bit
// hashes (two names of a workspace share one with a chance far below one in
// a million million), and each name's places in the file as variable-length
// deltas, a few bytes a use. A file's entry is its own, with nothing shared
// between files: dropping it frees all it took. Any number of threads may
// read it while others replace or drop the uses of one file at a time; the
// walk of a file's text is done before the lock is taken.
#ifndef KOLVU_LSP_USE_INDEX_H_
#define KOLVU_LSP_USE_INDEX_H_

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {

/// One use of a name.
struct UsePlace {
  uint32_t line;      // from 1
  uint32_t column;    // byte column, from 1
  bool ascii_prefix;  // the line holds only ASCII before the name
};

/// The uses of one name in one file.
struct FileUses {
  std::string path;
  Encoding encoding;  // what the file was read in (kUtf8 for an open document)
  bool open;          // the uses come from the editor's text
  std::vector<UsePlace> places;  // in source order
};

class UseIndex {
 public:
  /// Replaces the uses of path by those in src, read in encoding. From a
  /// file on disk (open false) nothing changes while the path is open.
  void replace_file(const std::string &path, Encoding encoding, std::string_view src, bool open);

  /// Drops the uses of path; open as SymbolIndex::remove_file's.
  void remove_file(const std::string &path, bool open);

  /// Drops the uses of every file below the folder dir not open in the editor.
  void remove_below(const std::string &dir);

  /// The files that use name, by path, each with its places.
  std::vector<FileUses> find(std::string_view name) const;

  /// The places of name in the file path (none when it is not indexed).
  FileUses in_file(const std::string &path, std::string_view name) const;

  /// Bytes held for the files' uses (not the names' table).
  size_t use_bytes() const;

 private:
  struct File {
    std::string path;
    Encoding encoding = Encoding::kAuto;
    bool open = false;
    std::vector<uint64_t> hashes;  // of the names used, sorted
    std::vector<uint32_t> starts;  // where each one's places begin in places, and the end
    std::string places;            // per name: line delta, column * 2 + non-ASCII prefix
  };

  // The places of the name of hash in f; empty when f does not use it.
  static std::vector<UsePlace> places_of(const File &f, uint64_t hash);
  static void clear(File *f);

  mutable std::shared_mutex mutex_;
  std::vector<File> files_;
  std::unordered_map<std::string, uint32_t> ids_;
};

}  // namespace kolvu

#endif  // KOLVU_LSP_USE_INDEX_H_
