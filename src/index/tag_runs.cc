#include "index/tag_runs.h"

#include <cstdlib>
#include <utility>

#include "index/tags_update.h"

namespace kolvu {

TagRuns::~TagRuns() {
  for (std::FILE *run : runs_) std::fclose(run);
}

void TagRuns::add(TagList *tags, std::string file) {
  tags_.take(tags, static_cast<uint32_t>(files_.size()));
  files_.push_back(std::move(file));
  spill();
}

// The tags held go to a temporary file as one sorted run of lines when
// they pass the budget.
void TagRuns::spill() {
  if (tags_.bytes() < budget_ || failed_) return;
  std::FILE *run = std::tmpfile();
  std::string lines;
  tags_.sort();
  for (size_t i = 0; run != nullptr && i < tags_.size(); ++i) {
    append_tag_line(tags_, i, files_[tags_[i].file], &lines);
    if (lines.size() >= FdWriter::kBuffer || i + 1 == tags_.size()) {
      if (std::fwrite(lines.data(), 1, lines.size(), run) != lines.size()) break;
      lines.clear();
    }
  }
  if (run == nullptr || !lines.empty() || std::fflush(run) != 0) {
    // No room for a run: the tags stay in memory, as they would have.
    if (run != nullptr) std::fclose(run);
    failed_ = true;
    return;
  }
  std::rewind(run);
  runs_.push_back(run);
  tags_ = TagList();
}

namespace {

// One source of the merge and its current line.
struct Source {
  std::FILE *file;  // null for a text in memory
  std::string_view text;
  const TagList *tags;  // or the tags still held, formatted one by one
  const std::vector<std::string> *files;
  size_t at = 0;
  std::string line;
  bool more = false;

  void next() {
    if (tags != nullptr) {
      more = at < tags->size();
      line.clear();
      if (more) append_tag_line(*tags, at, (*files)[(*tags)[at].file], &line);
      ++at;
      return;
    }
    if (file != nullptr) {
      char *buf = nullptr;
      size_t cap = 0;
      ssize_t n = ::getline(&buf, &cap, file);
      more = n > 0;
      if (more) line.assign(buf, static_cast<size_t>(n));
      std::free(buf);
      return;
    }
    size_t nl = text.find('\n');
    more = nl != std::string_view::npos;
    if (more) {
      line.assign(text.substr(0, nl + 1));
      text.remove_prefix(nl + 1);
    }
  }
};

}  // namespace

void TagRuns::write(const std::string &header, std::string_view kept, FdWriter *out) {
  tags_.sort();
  // Sources in order of precedence.
  std::vector<Source> sources;
  sources.push_back({nullptr, kept, nullptr, nullptr, 0, {}, false});
  for (std::FILE *run : runs_) sources.push_back({run, {}, nullptr, nullptr, 0, {}, false});
  sources.push_back({nullptr, {}, &tags_, &files_, 0, {}, false});
  for (Source &src : sources) src.next();
  out->put(header);
  std::string lines;
  for (;;) {
    Source *first = nullptr;
    for (Source &src : sources)
      if (src.more && (first == nullptr || tag_line_name(src.line) < tag_line_name(first->line)))
        first = &src;
    if (first == nullptr) break;
    lines.append(first->line);
    first->next();
    if (lines.size() >= FdWriter::kBuffer / 2) {
      out->put(lines);
      lines.clear();
    }
  }
  out->put(lines);
}

}  // namespace kolvu
