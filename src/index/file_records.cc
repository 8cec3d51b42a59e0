#include "index/file_records.h"

#include "index/etags.h"
#include "index/file_name_json.h"
#include "common/kinds.h"

namespace kolvu {

namespace {

const size_t kKeep = 1 << 20;  // buffer bytes kept from one file to the next
// A record whose bound (its text six times over) is within this is written
// at once, its text as it is when it is plain ASCII, as most are, found
// while writing it; a larger one, or another, has its bound made closer.
const size_t kAtOnce = 64 * 1024;

}  // namespace

FileRecords::FileRecords(IndexFormat format, int kinds, const NameList *names)
    : format_(format),
      kinds_(kinds != 0 ? kinds : DEF_SINGLE | DEF_CONT),  // 0 scans every #define
      names_(names != nullptr && names->size() > 0 ? names : nullptr) {}

void FileRecords::start(const std::string &path) {
  if (utf8_.capacity() > kKeep) std::string().swap(utf8_);
  piece_.clear_keeping(kKeep);
  tags_ = TagList();
  file_json_.clear();
  if (format_ == IndexFormat::kJson) append_file_name_json(path, &conv_, &file_json_);
}

bool FileRecords::add(const Definition &d) {
  if (format_ == IndexFormat::kJson) {
    json_names_.clear();
    for (size_t i = 0; i < d.name_count; ++i) {
      const DefinitionName &n = d.names[i];
      if (kind_asked(n.kind, kinds_))
        json_names_.push_back({n.name, n.kind, n.line, n.column, n.scope, n.scope_kind});
    }
    JsonRecord r{file_json_, d.first_line, d.last_line, d.kind, d.name, json_names_.data(),
                 json_names_.size(), d.begin, d.end, d.parent, d.text, false};
    const size_t bound = json_record_bound(r);
    if (bound <= kAtOnce) {
      char *p = piece_.room(bound);
      if (p == nullptr) return false;
      if (char *end = put_json_record<true>(r, p)) {
        piece_.commit(end);
        return true;
      }
    }
    bool clean = true;
    r.text = conv_.view(d.encoding, d.text, &utf8_, &clean);
    r.lossy = !clean;
    const size_t again = json_record_bound(r);
    char *p = piece_.room(again <= kAtOnce ? again : json_record_room(r));
    if (p == nullptr) return false;
    piece_.commit(put_json_record<false>(r, p));
    return true;
  }
  // A line for every name wanted; an anonymous struct or union has none.
  for (size_t i = 0; i < d.name_count; ++i) {
    const DefinitionName &n = d.names[i];
    if (!kind_asked(n.kind, kinds_)) continue;
    if (names_ != nullptr && !names_->wants(n.name.data())) continue;
    if (format_ == IndexFormat::kEtags) {
      std::string_view line = d.text;  // the name's line of the text
      for (long k = d.first_line; k < n.line; ++k) line.remove_prefix(line.find('\n') + 1);
      entry_.clear();
      append_etags_entry(etags_pattern(line, n.name), n.name, n.line,
                         n.offset - static_cast<size_t>(n.column - 1), &entry_);
      if (!piece_.append(entry_.data(), entry_.size())) return false;
      continue;
    }
    tags_.add(n.name, 0, n.line, kind_letter(n.kind), n.scope, n.scope_kind);
  }
  return true;
}

}  // namespace kolvu
