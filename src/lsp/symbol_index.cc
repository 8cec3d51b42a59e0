#include "lsp/symbol_index.h"

#include <algorithm>
#include <mutex>

namespace kolvu {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool subsequence_nocase(std::string_view query, std::string_view name) {
  size_t q = 0;
  for (size_t i = 0; i < name.size() && q < query.size(); ++i) {
    if (lower(name[i]) == lower(query[q])) ++q;
  }
  return q == query.size();
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

void SymbolIndex::drop_names(uint32_t id) {
  File &f = files_[id];
  for (Map::iterator it : f.names) {
    std::vector<IndexedName> &v = it->second;
    size_t before = v.size();
    v.erase(std::remove_if(v.begin(), v.end(), [id](const IndexedName &n) { return n.file == id; }),
            v.end());
    definitions_ -= before - v.size();
    if (v.empty()) names_.erase(it);
  }
  f.names.clear();
  f.names.shrink_to_fit();
}

void SymbolIndex::replace_file(const std::string &path, Encoding encoding, std::string_view src,
                               const std::vector<SourceName> &names, bool open) {
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
    files_.push_back(File{path, encoding, false, {}});
    ids_.emplace(path, id);
  } else {
    id = found->second;
    if (files_[id].open && !open) return;
    drop_names(id);
  }
  File &f = files_[id];
  f.encoding = encoding;
  f.open = open;
  for (size_t i = 0; i < names.size(); ++i) {
    made[i].file = id;
    auto it = names_.find(names[i].name);
    if (it == names_.end()) it = names_.emplace(names[i].name, std::vector<IndexedName>()).first;
    it->second.push_back(made[i]);
    f.names.push_back(it);
  }
  auto by_node = [](Map::iterator a, Map::iterator b) { return &*a < &*b; };
  std::sort(f.names.begin(), f.names.end(), by_node);
  f.names.erase(std::unique(f.names.begin(), f.names.end()), f.names.end());
  f.names.shrink_to_fit();
  definitions_ += names.size();
}

void SymbolIndex::remove_file(const std::string &path, bool open) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  auto found = ids_.find(path);
  if (found == ids_.end()) return;
  File &f = files_[found->second];
  if (f.open && !open) return;
  drop_names(found->second);
  f.open = false;
}

NameHit SymbolIndex::hit(const Map::value_type &entry, const IndexedName &at) const {
  const File &f = files_[at.file];
  return NameHit{entry.first, f.path, f.encoding, f.open, at};
}

std::vector<NameHit> SymbolIndex::lookup(std::string_view name,
                                         const std::string &first_path) const {
  std::vector<NameHit> hits;
  {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto it = names_.find(name);
    if (it == names_.end()) return hits;
    for (const IndexedName &at : it->second) hits.push_back(hit(*it, at));
  }
  std::sort(hits.begin(), hits.end(), [&first_path](const NameHit &a, const NameHit &b) {
    bool fa = a.path == first_path, fb = b.path == first_path;
    if (fa != fb) return fa;
    if (a.path != b.path) return a.path < b.path;
    return a.at.offset < b.at.offset;
  });
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
    for (const IndexedName &at : entry.second) {
      if (hits.size() >= limit) return false;
      hits.push_back(hit(entry, at));
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
  for (const auto &entry : names_) {
    if (entry.first.compare(0, query.size(), query) == 0) continue;  // taken above
    if (subsequence_nocase(query, entry.first) && !take(entry)) return hits;
  }
  return hits;
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
