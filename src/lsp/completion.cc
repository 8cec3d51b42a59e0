#include "lsp/completion.h"

#include <algorithm>

#include "lsp/name_kinds.h"
#include "lsp/regular_file.h"

namespace kolvu {

using nlohmann::json;

namespace {

// The line that holds offset in bytes, cut at its end or at a character's
// end before kDetailBytes, carriage returns and blanks at its ends dropped.
std::string cut_line(std::string_view bytes, Encoding encoding) {
  size_t end = 0;
  while (end < bytes.size() && bytes[end] != '\n') {
    const size_t len = encoded_char_length(encoding, bytes.data() + end, bytes.size() - end);
    if (end + len > kDetailBytes) break;
    end += len;
  }
  std::string line(bytes.substr(0, end));
  line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
  size_t start = line.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : line.substr(start);
}

// The detail of a definition: where its first line (a member's or
// enumerator's own) starts, read from the open document or a few bytes of
// the file; converted to UTF-8.
std::string detail(QueryContext &ctx, const NameHit &h) {
  const size_t from = is_inner(h.at.kind) ? h.at.offset - (h.at.column - 1) : h.at.begin;
  std::string raw;
  Encoding encoding = h.encoding;
  if (const OpenDocument *doc = ctx.docs->find(h.path)) {
    if (from > doc->text.size()) return {};
    raw = cut_line(std::string_view(doc->text).substr(from), Encoding::kUtf8);
    encoding = Encoding::kUtf8;
  } else {
    std::string bytes;
    if (!read_regular_range(h.path, from, kDetailBytes + 8, &bytes)) return {};
    raw = cut_line(bytes, encoding);
  }
  std::string utf8;
  ctx.conv->append(encoding, raw, &utf8);
  return utf8;
}

}  // namespace

json complete(QueryContext &ctx, const std::string &path, long line, long character) {
  Texts texts(ctx);
  json range;
  size_t before = 0;
  std::string name = identifier(ctx, texts, path, line, character, &range, &before);
  const std::string prefix = name.substr(0, before);
  bool more = false;
  json items = json::array();
  for (const std::vector<NameHit> &defs : ctx.index->with_prefix(prefix, kCompletionLimit, &more)) {
    // A definition before a declaration, one in this file first.
    const NameHit *best = &defs[0];
    auto score = [&path](const NameHit &h) { return (is_declaration(h.at.kind) ? 2 : 0) + (h.path == path ? 0 : 1); };
    for (const NameHit &h : defs) {
      if (score(h) < score(*best)) best = &h;
    }
    items.push_back({{"label", best->name},
                     {"kind", completion_kind(best->at.kind)},
                     {"detail", detail(ctx, *best)}});
  }
  return {{"isIncomplete", more}, {"items", std::move(items)}};
}

}  // namespace kolvu
