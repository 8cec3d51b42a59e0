// The server's index: for every name, where each of its definitions stands
// (file, line, byte column, the definition's extent), and beside it the
// index of the names' uses, which follows each file as its names do. It
// holds no texts; a
// text is read back from its file or open document when it is asked for.
// Any number of threads may read it while others replace or drop the names
// of one file at a time.
#ifndef KOLVU_LSP_SYMBOL_INDEX_H_
#define KOLVU_LSP_SYMBOL_INDEX_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kolvu/scan.h"
#include "lsp/def_list.h"
#include "lsp/regular_file.h"
#include "lsp/source_names.h"
#include "lsp/use_index.h"

namespace kolvu {

/// A definition handed out by a look-up, with its name and file.
struct NameHit {
  std::string name;
  std::string path;
  Encoding encoding;  // what the file was read in (kUtf8 for an open document)
  bool open;          // the names come from the editor's text
  IndexedName at;
};

class SymbolIndex {
 public:
  /// Replaces the names of path by names, found in its bytes src read in
  /// encoding. From a file on disk (open false) nothing changes while the
  /// path is open in the editor.
  /// stamp is the file's on disk when its bytes were read.
  void replace_file(const std::string &path, Encoding encoding, std::string_view src,
                    const std::vector<SourceName> &names, bool open, FileStamp stamp = {});

  /// The stamp path had when its names were taken from disk; false when
  /// they were not (no names, or the editor's text).
  bool disk_stamp(const std::string &path, FileStamp *stamp) const;

  /// Drops every name of path; when open is true also the mark that it is
  /// open, so that a scan of the file on disk counts again.
  void remove_file(const std::string &path, bool open);

  /// Drops the names of every file below the folder dir that is not open
  /// in the editor.
  void remove_below(const std::string &dir);

  /// Every definition of name; those in first_path first, then by path,
  /// then in source order.
  std::vector<NameHit> lookup(std::string_view name, const std::string &first_path) const;

  /// The definitions of one file in source order.
  std::vector<NameHit> in_file(const std::string &path) const;

  /// Definitions whose names are query itself, then begin with it, then
  /// hold its characters in order ignoring case: at most limit.
  std::vector<NameHit> search(std::string_view query, size_t limit) const;

  size_t file_count() const;
  size_t definition_count() const;

  /// The uses of names in the same files.
  const UseIndex &uses() const { return uses_; }

  /// The names whose text begins with prefix, in name order, each with its
  /// definitions: at most limit names; *more set when others follow.
  std::vector<std::vector<NameHit>> with_prefix(std::string_view prefix, size_t limit,
                                                bool *more) const;

 private:
  using Map = std::map<std::string, DefList, std::less<>>;
  struct File {
    std::string path;
    Encoding encoding = Encoding::kAuto;
    bool open = false;
    bool on_disk = false;  // names taken from the file on disk, with this stamp
    FileStamp stamp;
    std::vector<Map::iterator> names;  // each once
  };

  // Takes the names of file id out, with the lock held; keep_empty leaves
  // the nodes of names left without a definition, and the file's list of
  // them, for the caller to fill again or erase.
  void drop_names(uint32_t id, bool keep_empty = false);
  NameHit hit(const Map::value_type &entry, const IndexedName &at) const;
  // A name's definitions in path order, then offset order.
  std::vector<NameHit> hits_of(const Map::value_type &entry) const;
  // Makes the flat list below whole again when it has to be; with the lock
  // held shared and flat_mutex_ held.
  void refresh_flat() const;

  UseIndex uses_;
  mutable std::shared_mutex mutex_;
  Map names_;
  std::vector<File> files_;
  std::unordered_map<std::string, uint32_t> ids_;
  size_t definitions_ = 0;

  // For the subsequence search, the names in order, lower-cased, one after
  // the other with a 0 byte after each: one pass over them costs far less
  // than a walk of the tree. Made whole again on the first search after a
  // name went away; names added since it was made are listed beside it
  // (flat_added_, filled by replace_file) and searched too, until they are
  // as many as it holds: so a search while files are indexed costs about
  // what it costs after, and the list is made whole a few times in all.
  mutable std::mutex flat_mutex_;
  mutable bool flat_whole_ = false;  // false: to be made again before use
  mutable std::string flat_lower_;
  mutable std::vector<const Map::value_type *> flat_nodes_;
  mutable std::vector<uint64_t> flat_masks_;  // the characters each name holds
  mutable std::vector<const Map::value_type *> flat_added_;
};

}  // namespace kolvu

#endif  // KOLVU_LSP_SYMBOL_INDEX_H_
