#include "index/file_records.h"

#include "index/etags.h"
#include "index/file_name_json.h"
#include "common/kinds.h"

namespace kolvu {

namespace {

const size_t kKeep = 1 << 20;  // buffer bytes kept from one file to the next
const size_t kScratch = 64 * 1024;  // room for a record written at once

}  // namespace

FileRecords::FileRecords(IndexFormat format, int kinds, const NameList *names)
    : format_(format),
      kinds_(kinds != 0 ? kinds : DEF_SINGLE | DEF_CONT),  // 0 scans every #define
      names_(names != nullptr && names->size() > 0 ? names : nullptr) {}

void FileRecords::start(const std::string &path) {
  if (utf8_.capacity() > kKeep) std::string().swap(utf8_);
  if (piece_.capacity() > kKeep) std::string().swap(piece_);
  piece_.clear();
  tags_ = TagList();
  file_json_.clear();
  if (format_ == IndexFormat::kJson) append_file_name_json(path, &conv_, &file_json_);
}

void FileRecords::add(const Definition &d) {
  if (format_ == IndexFormat::kJson) {
    json_names_.clear();
    for (size_t i = 0; i < d.name_count; ++i) {
      const DefinitionName &n = d.names[i];
      if (kind_asked(n.kind, kinds_))
        json_names_.push_back({n.name, n.kind, n.line, n.column, n.scope, n.scope_kind});
    }
    JsonRecord r{file_json_, d.first_line, d.last_line, d.kind, d.name, json_names_.data(),
                 json_names_.size(), d.begin, d.end, d.parent, d.text, false};
    // A record is written to the scratch buffer and appended in one piece;
    // its text as it is when it is plain ASCII, as most are, found while
    // writing it. Others are converted first.
    if (json_record_bound(r) <= kScratch) {
      if (scratch_ == nullptr) scratch_.reset(new char[kScratch]);
      if (char *end = put_json_record<true>(r, scratch_.get())) {
        piece_.append(scratch_.get(), static_cast<size_t>(end - scratch_.get()));
        return;
      }
    }
    bool clean = true;
    r.text = conv_.view(d.encoding, d.text, &utf8_, &clean);
    r.lossy = !clean;
    if (json_record_bound(r) <= kScratch) {
      char *end = put_json_record<false>(r, scratch_.get());
      piece_.append(scratch_.get(), static_cast<size_t>(end - scratch_.get()));
      return;
    }
    append_json_record(r, &piece_);
    return;
  }
  // A line for every name wanted; an anonymous struct or union has none.
  for (size_t i = 0; i < d.name_count; ++i) {
    const DefinitionName &n = d.names[i];
    if (!kind_asked(n.kind, kinds_)) continue;
    if (names_ != nullptr && !names_->wants(n.name.data())) continue;
    if (format_ == IndexFormat::kEtags) {
      std::string_view line = d.text;  // the name's line of the text
      for (long k = d.first_line; k < n.line; ++k) line.remove_prefix(line.find('\n') + 1);
      append_etags_entry(etags_pattern(line, n.name), n.name, n.line,
                         n.offset - static_cast<size_t>(n.column - 1), &piece_);
      continue;
    }
    tags_.add(n.name, 0, n.line, kind_letter(n.kind), n.scope, n.scope_kind);
  }
}

}  // namespace kolvu
