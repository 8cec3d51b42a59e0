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
  // The uses grouped by name in linear time: each name's group found in an
  // open-addressed table of hashes, the uses then laid out group by group
  // in source order; only the distinct names are sorted.
  std::vector<uint32_t> group_of(uses.size());
  std::vector<uint64_t> group_hash;
  {
    size_t slots = 64;
    while (slots < uses.size() * 2) slots *= 2;
    std::vector<std::pair<uint64_t, uint32_t>> table(slots);  // (hash, group + 1)
    for (size_t u = 0; u < uses.size(); ++u) {
      const uint64_t h = hash_of(src.substr(uses[u].offset, uses[u].length));
      size_t k = static_cast<size_t>(h) & (slots - 1);
      while (table[k].second != 0 && table[k].first != h) k = (k + 1) & (slots - 1);
      if (table[k].second == 0) {
        group_hash.push_back(h);
        table[k] = {h, static_cast<uint32_t>(group_hash.size())};
      }
      group_of[u] = table[k].second - 1;
    }
  }
  std::vector<uint32_t> first(group_hash.size() + 1, 0);  // where each group's uses begin
  for (uint32_t g : group_of) ++first[g + 1];
  for (size_t g = 0; g < group_hash.size(); ++g) first[g + 1] += first[g];
  std::vector<uint32_t> by_group(uses.size());
  {
    std::vector<uint32_t> next(first.begin(), first.end() - 1);
    for (uint32_t u = 0; u < uses.size(); ++u) by_group[next[group_of[u]]++] = u;
  }
  std::vector<uint32_t> groups(group_hash.size());
  for (uint32_t g = 0; g < groups.size(); ++g) groups[g] = g;
  std::sort(groups.begin(), groups.end(),
            [&group_hash](uint32_t a, uint32_t b) { return group_hash[a] < group_hash[b]; });
  File made;
  made.hashes.reserve(groups.size());
  made.starts.reserve(groups.size() + 1);
  made.places.reserve(uses.size() * 3);
  for (uint32_t g : groups) {
    made.hashes.push_back(group_hash[g]);
    made.starts.push_back(static_cast<uint32_t>(made.places.size()));
    uint32_t previous_line = 0;
    for (uint32_t k = first[g]; k < first[g + 1]; ++k) {
      const IdentifierUse &use = uses[by_group[k]];
      put_number(&made.places, use.line - previous_line);
      put_number(&made.places, use.column * 2 + (use.ascii_prefix ? 0 : 1));
      previous_line = use.line;
    }
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
