#include "lsp/symbol_index.h"

#include <algorithm>
#include <mutex>

namespace kolvu {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// One bit for each character a lower-cased name may hold (letters, digits,
// '_'), one for the rest: a name lacking a bit of the query's cannot hold
// the query.
struct MaskTable {
  uint64_t bit[256] = {};
  MaskTable() {
    for (int c = 0; c < 256; ++c) bit[c] = uint64_t{1} << 63;
    for (int c = 'a'; c <= 'z'; ++c) bit[c] = uint64_t{1} << (c - 'a');
    for (int c = '0'; c <= '9'; ++c) bit[c] = uint64_t{1} << (26 + c - '0');
    bit[static_cast<unsigned char>('_')] = uint64_t{1} << 36;
  }
};
const MaskTable kMask;

uint64_t mask_of(std::string_view lower_text) {
  uint64_t m = 0;
  for (char c : lower_text) m |= kMask.bit[static_cast<unsigned char>(c)];
  return m;
}

// True when the lower-cased query's characters stand in order in the
// lower-cased name.
bool subsequence(std::string_view lower_query, const char *name, size_t size) {
  size_t q = 0;
  for (size_t i = 0; i < size && q < lower_query.size(); ++i) {
    if (name[i] == lower_query[q]) ++q;
  }
  return q == lower_query.size();
}

bool ascii_before(std::string_view src, size_t offset) {
  size_t i = offset;
  while (i > 0 && src[i - 1] != '\n') {
    if (static_cast<unsigned char>(src[i - 1]) >= 0x80) return false;
    --i;
  }
  return true;
}

}  // namespace

void SymbolIndex::drop_names(uint32_t id, bool keep_empty) {
  File &f = files_[id];
  for (Map::iterator it : f.names) {
    DefList &v = it->second;
    definitions_ -= v.remove_file(id);
    if (v.empty() && !keep_empty) {
      names_.erase(it);
      flat_whole_ = false;
    }
  }
  if (!keep_empty) {
    f.names.clear();
    f.names.shrink_to_fit();
  }
}

void SymbolIndex::replace_file(const std::string &path, Encoding encoding, std::string_view src,
                               const std::vector<SourceName> &names, bool open,
                               FileStamp stamp) {
  uses_.replace_file(path, encoding, src, open);
  // The entries are made before the lock is taken.
  std::vector<IndexedName> made;
  made.reserve(names.size());
  for (const SourceName &n : names) {
    IndexedName e;
    e.file = 0;
    e.kind = n.kind;
    e.ascii_prefix = ascii_before(src, n.offset);
    e.line = static_cast<uint32_t>(n.line);
    e.column = static_cast<uint32_t>(n.column);
    e.offset = static_cast<uint32_t>(n.offset);
    e.begin = static_cast<uint32_t>(n.begin);
    e.end = static_cast<uint32_t>(n.end);
    made.push_back(e);
  }
  std::unique_lock<std::shared_mutex> lock(mutex_);
  uint32_t id;
  auto found = ids_.find(path);
  if (found == ids_.end()) {
    id = static_cast<uint32_t>(files_.size());
    files_.push_back(File{path, encoding, false, false, FileStamp(), {}});
    ids_.emplace(path, id);
  } else {
    id = found->second;
    if (files_[id].open && !open) return;
    // The names the file keeps keep their nodes: emptied now, filled again
    // below, and only those still empty then are erased.
    drop_names(id, true);
  }
  File &f = files_[id];
  std::vector<Map::iterator> old_names;
  old_names.swap(f.names);
  f.encoding = encoding;
  f.open = open;
  f.on_disk = !open;
  f.stamp = stamp;
  for (size_t i = 0; i < names.size(); ++i) {
    made[i].file = id;
    auto it = names_.find(names[i].name);
    if (it == names_.end()) {
      it = names_.emplace(names[i].name, DefList()).first;
      if (flat_whole_) flat_added_.push_back(&*it);  // else the list is made anew
    }
    it->second.push_back(made[i]);
    f.names.push_back(it);
  }
  auto by_node = [](Map::iterator a, Map::iterator b) { return &*a < &*b; };
  std::sort(f.names.begin(), f.names.end(), by_node);
  f.names.erase(std::unique(f.names.begin(), f.names.end()), f.names.end());
  f.names.shrink_to_fit();
  for (Map::iterator it : old_names) {
    if (it->second.empty()) {
      names_.erase(it);
      flat_whole_ = false;
    }
  }
  definitions_ += names.size();
}

void SymbolIndex::remove_file(const std::string &path, bool open) {
  uses_.remove_file(path, open);
  std::unique_lock<std::shared_mutex> lock(mutex_);
  auto found = ids_.find(path);
  if (found == ids_.end()) return;
  File &f = files_[found->second];
  if (f.open && !open) return;
  drop_names(found->second);
  f.open = false;
  f.on_disk = false;
}

bool SymbolIndex::disk_stamp(const std::string &path, FileStamp *stamp) const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  auto found = ids_.find(path);
  if (found == ids_.end()) return false;
  const File &f = files_[found->second];
  if (!f.on_disk) return false;
  *stamp = f.stamp;
  return true;
}

void SymbolIndex::remove_below(const std::string &dir) {
  uses_.remove_below(dir);
  std::unique_lock<std::shared_mutex> lock(mutex_);
  for (uint32_t id = 0; id < files_.size(); ++id) {
    const std::string &p = files_[id].path;
    if (!files_[id].open && p.size() > dir.size() + 1 && p.compare(0, dir.size(), dir) == 0 &&
        p[dir.size()] == '/')
      drop_names(id);
  }
}

NameHit SymbolIndex::hit(const Map::value_type &entry, const IndexedName &at) const {
  const File &f = files_[at.file];
  return NameHit{entry.first, f.path, f.encoding, f.open, at};
}

std::vector<NameHit> SymbolIndex::hits_of(const Map::value_type &entry) const {
  std::vector<NameHit> hits;
  hits.reserve(entry.second.size());
  for (const IndexedName &at : entry.second) hits.push_back(hit(entry, at));
  // Files are indexed in parallel, so the list's order is the order they
  // ended in: every answer puts a name's definitions in path order instead.
  std::sort(hits.begin(), hits.end(), [](const NameHit &a, const NameHit &b) {
    if (a.path != b.path) return a.path < b.path;
    return a.at.offset < b.at.offset;
  });
  return hits;
}

std::vector<NameHit> SymbolIndex::lookup(std::string_view name,
                                         const std::string &first_path) const {
  std::vector<NameHit> hits;
  {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto it = names_.find(name);
    if (it == names_.end()) return hits;
    hits = hits_of(*it);
  }
  std::stable_partition(hits.begin(), hits.end(),
                        [&first_path](const NameHit &h) { return h.path == first_path; });
  return hits;
}

std::vector<NameHit> SymbolIndex::in_file(const std::string &path) const {
  std::vector<NameHit> hits;
  {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto found = ids_.find(path);
    if (found == ids_.end()) return hits;
    uint32_t id = found->second;
    for (Map::iterator it : files_[id].names) {
      for (const IndexedName &at : it->second) {
        if (at.file == id) hits.push_back(hit(*it, at));
      }
    }
  }
  std::sort(hits.begin(), hits.end(),
            [](const NameHit &a, const NameHit &b) { return a.at.offset < b.at.offset; });
  return hits;
}

std::vector<NameHit> SymbolIndex::search(std::string_view query, size_t limit) const {
  std::vector<NameHit> hits;
  std::shared_lock<std::shared_mutex> lock(mutex_);
  auto take = [&](const Map::value_type &entry) {
    for (NameHit &h : hits_of(entry)) {
      if (hits.size() >= limit) return false;
      hits.push_back(std::move(h));
    }
    return hits.size() < limit;
  };
  auto exact = names_.find(query);
  if (exact != names_.end() && !take(*exact)) return hits;
  for (auto it = names_.lower_bound(query);
       it != names_.end() && it->first.compare(0, query.size(), query) == 0; ++it) {
    if (it->first.size() == query.size()) continue;
    if (!take(*it)) return hits;
  }
  std::string lower_query;
  for (char c : query) lower_query += lower(c);
  std::lock_guard<std::mutex> flat_lock(flat_mutex_);
  refresh_flat();
  const uint64_t want = mask_of(lower_query);
  auto matches = [&](const Map::value_type *node) {  // and was not taken above
    return node->first.compare(0, query.size(), query) != 0;
  };
  // The added names that match, in name order, as many as may be taken.
  std::vector<const Map::value_type *> added;
  std::string lowered;
  for (const Map::value_type *node : flat_added_) {
    lowered.clear();
    for (char c : node->first) lowered += lower(c);
    if (subsequence(lower_query, lowered.data(), lowered.size()) && matches(node)) added.push_back(node);
  }
  auto by_name = [](const Map::value_type *a, const Map::value_type *b) { return a->first < b->first; };
  size_t room = limit - hits.size();
  if (added.size() > room) {
    std::nth_element(added.begin(), added.begin() + static_cast<std::ptrdiff_t>(room), added.end(), by_name);
    added.resize(room);
  }
  std::sort(added.begin(), added.end(), by_name);
  size_t next_added = 0;
  auto take_added_before = [&](const Map::value_type *node) {
    for (; next_added < added.size() && (node == nullptr || by_name(added[next_added], node)); ++next_added) {
      if (!take(*added[next_added])) return false;
    }
    return true;
  };
  const char *p = flat_lower_.data();
  for (size_t i = 0; i < flat_nodes_.size(); ++i) {
    const Map::value_type *node = flat_nodes_[i];
    size_t size = node->first.size();
    if ((flat_masks_[i] & want) == want && subsequence(lower_query, p, size) && matches(node) &&
        (!take_added_before(node) || !take(*node)))
      return hits;
    p += size + 1;
  }
  take_added_before(nullptr);
  return hits;
}

std::vector<std::vector<NameHit>> SymbolIndex::with_prefix(std::string_view prefix, size_t limit,
                                                          bool *more) const {
  std::vector<std::vector<NameHit>> out;
  *more = false;
  std::shared_lock<std::shared_mutex> lock(mutex_);
  for (auto it = names_.lower_bound(prefix);
       it != names_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (out.size() == limit) {
      *more = true;
      break;
    }
    out.push_back(hits_of(*it));
  }
  return out;
}

void SymbolIndex::refresh_flat() const {
  if (flat_whole_ && flat_added_.size() <= std::max<size_t>(4096, flat_nodes_.size())) return;
  size_t bytes = 0;
  for (const auto &entry : names_) bytes += entry.first.size() + 1;
  flat_lower_.clear();
  flat_lower_.reserve(bytes);  // exactly: doubling would leave up to half unused
  flat_nodes_.clear();
  flat_masks_.clear();
  flat_nodes_.reserve(names_.size());
  flat_masks_.reserve(names_.size());
  for (const auto &entry : names_) {
    size_t start = flat_lower_.size();
    for (char c : entry.first) flat_lower_ += lower(c);
    flat_masks_.push_back(mask_of(std::string_view(flat_lower_).substr(start)));
    flat_lower_ += '\0';
    flat_nodes_.push_back(&entry);
  }
  flat_added_.clear();
  flat_whole_ = true;
}

size_t SymbolIndex::file_count() const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  return ids_.size();
}

size_t SymbolIndex::definition_count() const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  return definitions_;
}

}  // namespace kolvu
