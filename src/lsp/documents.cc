#include "lsp/documents.h"

namespace kolvu {

namespace {

// The offset in text of an editor position.
size_t offset_of(const std::string &text, long line, long character, PositionEncoding pe) {
  size_t start = 0;
  std::string_view l = line_of(text, line, &start);
  if (start >= text.size()) return text.size();
  return start + byte_column(nullptr, Encoding::kUtf8, l, character, pe);
}

}  // namespace

bool apply_change(std::string *text, const TextChange &change, PositionEncoding pe) {
  if (change.whole) {
    *text = change.text;
    return true;
  }
  if (change.start_line < 0 || change.start_char < 0 || change.end_line < 0 || change.end_char < 0)
    return false;
  size_t from = offset_of(*text, change.start_line, change.start_char, pe);
  size_t to = offset_of(*text, change.end_line, change.end_char, pe);
  if (to < from) return false;
  text->replace(from, to - from, change.text);
  return true;
}

OpenDocument *Documents::find(const std::string &path) {
  auto it = docs_.find(path);
  return it == docs_.end() ? nullptr : &it->second;
}

const OpenDocument *Documents::find(const std::string &path) const {
  auto it = docs_.find(path);
  return it == docs_.end() ? nullptr : &it->second;
}

std::vector<std::string> Documents::dirty() const {
  std::vector<std::string> paths;
  for (const auto &d : docs_) {
    if (d.second.dirty) paths.push_back(d.first);
  }
  return paths;
}

}  // namespace kolvu
