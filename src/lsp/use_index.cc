#include "lsp/use_index.h"

#include <algorithm>
#include <functional>

#include "lsp/identifier_uses.h"

namespace kolvu {

namespace {

void put_number(std::string *out, uint32_t v) {
  while (v >= 0x80) {
    out->push_back(static_cast<char>((v & 0x7f) | 0x80));
    v >>= 7;
  }
  out->push_back(static_cast<char>(v));
}

uint32_t get_number(const char **p) {
  uint32_t v = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char b = static_cast<unsigned char>(*(*p)++);
    v |= static_cast<uint32_t>(b & 0x7f) << shift;
    if (b < 0x80) return v;
  }
}

uint64_t hash_of(std::string_view name) { return std::hash<std::string_view>()(name); }

}  // namespace

void UseIndex::clear(File *f) {
  std::vector<uint64_t>().swap(f->hashes);
  std::vector<uint32_t>().swap(f->starts);
  std::string().swap(f->places);
}

void UseIndex::replace_file(const std::string &path, Encoding encoding, std::string_view src,
                            bool open) {
  std::vector<IdentifierUse> uses = identifier_uses(src, encoding);
  std::vector<std::pair<uint64_t, uint32_t>> by_name;  // (hash, use)
  by_name.reserve(uses.size());
  for (uint32_t u = 0; u < uses.size(); ++u)
    by_name.emplace_back(hash_of(src.substr(uses[u].offset, uses[u].length)), u);
  std::sort(by_name.begin(), by_name.end());
  File made;
  for (size_t k = 0; k < by_name.size(); ++k) {
    const IdentifierUse &use = uses[by_name[k].second];
    uint32_t previous_line = 0;
    if (k == 0 || by_name[k - 1].first != by_name[k].first) {
      made.hashes.push_back(by_name[k].first);
      made.starts.push_back(static_cast<uint32_t>(made.places.size()));
    } else {
      previous_line = uses[by_name[k - 1].second].line;
    }
    put_number(&made.places, use.line - previous_line);
    put_number(&made.places, use.column * 2 + (use.ascii_prefix ? 0 : 1));
  }
  made.starts.push_back(static_cast<uint32_t>(made.places.size()));
  made.hashes.shrink_to_fit();
  made.starts.shrink_to_fit();
  made.places.shrink_to_fit();
  made.path = path;
  made.encoding = encoding;
  made.open = open;

  std::unique_lock<std::shared_mutex> lock(mutex_);
  auto found = ids_.find(path);
  if (found == ids_.end()) {
    ids_.emplace(path, static_cast<uint32_t>(files_.size()));
    files_.push_back(std::move(made));
    return;
  }
  File &f = files_[found->second];
  if (f.open && !open) return;
  f = std::move(made);
}

void UseIndex::remove_file(const std::string &path, bool open) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  auto found = ids_.find(path);
  if (found == ids_.end()) return;
  File &f = files_[found->second];
  if (f.open && !open) return;
  clear(&f);
  f.open = false;
}

void UseIndex::remove_below(const std::string &dir) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  for (File &f : files_) {
    const std::string &p = f.path;
    if (!f.open && p.size() > dir.size() + 1 && p.compare(0, dir.size(), dir) == 0 &&
        p[dir.size()] == '/')
      clear(&f);
  }
}

std::vector<UsePlace> UseIndex::places_of(const File &f, uint64_t hash) {
  std::vector<UsePlace> places;
  auto it = std::lower_bound(f.hashes.begin(), f.hashes.end(), hash);
  if (it == f.hashes.end() || *it != hash) return places;
  const size_t k = static_cast<size_t>(it - f.hashes.begin());
  const char *p = f.places.data() + f.starts[k];
  const char *end = f.places.data() + f.starts[k + 1];
  uint32_t line = 0;
  while (p < end) {
    line += get_number(&p);
    const uint32_t c = get_number(&p);
    places.push_back({line, c / 2, (c & 1) == 0});
  }
  return places;
}

std::vector<FileUses> UseIndex::find(std::string_view name) const {
  const uint64_t id = hash_of(name);
  std::vector<FileUses> out;
  {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    for (const File &f : files_) {
      std::vector<UsePlace> places = places_of(f, id);
      if (!places.empty()) out.push_back({f.path, f.encoding, f.open, std::move(places)});
    }
  }
  std::sort(out.begin(), out.end(), [](const FileUses &a, const FileUses &b) { return a.path < b.path; });
  return out;
}

FileUses UseIndex::in_file(const std::string &path, std::string_view name) const {
  const uint64_t id = hash_of(name);
  FileUses out{path, Encoding::kAuto, false, {}};
  std::shared_lock<std::shared_mutex> lock(mutex_);
  auto found = ids_.find(path);
  if (found == ids_.end()) return out;
  const File &f = files_[found->second];
  out.encoding = f.encoding;
  out.open = f.open;
  out.places = places_of(f, id);
  return out;
}

size_t UseIndex::use_bytes() const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  size_t bytes = 0;
  for (const File &f : files_) bytes += f.hashes.capacity() * 8 + f.starts.capacity() * 4 + f.places.capacity();
  return bytes;
}

}  // namespace kolvu
