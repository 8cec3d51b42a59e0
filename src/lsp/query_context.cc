#include "lsp/query_context.h"

#include <algorithm>

#include "lsp/regular_file.h"
#include "lsp/uri.h"
#include "scanner/encoding_guess.h"

namespace kolvu {

using nlohmann::json;

namespace {

Encoding resolve(Encoding setting, std::string_view bytes) {
  if (setting != Encoding::kAuto) return setting;
  return guess_encoding(bytes.data(), bytes.size());
}

}  // namespace

const Text &Texts::get(const std::string &path, bool open, Encoding indexed) {
  auto it = cache_.find(path);
  if (it != cache_.end()) return it->second;
  Text &t = cache_[path];
  const OpenDocument *doc = ctx_.docs->find(path);
  if (doc != nullptr) {
    t.bytes = doc->text;
    t.encoding = Encoding::kUtf8;
    t.ok = true;
    return t;
  }
  std::string error;
  if (!read_regular_file(path, kMaxFileBytes, &t.owned, &error)) {
    if (ctx_.log) ctx_.log(path + ": " + error + " (dropped from the index)");
    if (ctx_.forget && !open) ctx_.forget(path);
    return t;
  }
  t.bytes = t.owned;
  t.encoding = indexed == Encoding::kAuto ? resolve(ctx_.encoding, t.bytes) : indexed;
  t.ok = true;
  return t;
}
json position(long line, long character) { return {{"line", line}, {"character", character}}; }

EditorPosition position_at(QueryContext &ctx, const Text &t, size_t offset) {
  if (offset > t.bytes.size()) offset = t.bytes.size();
  const std::vector<size_t> &starts = t.line_starts();
  long line = static_cast<long>(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
  size_t line_start = 0;
  std::string_view l = t.line(line, &line_start);
  return {line, editor_column(ctx.conv, t.encoding, l, offset - line_start, ctx.pe)};
}

NameSpan span_at(QueryContext &ctx, Texts &texts, const std::string &path, bool open,
                 Encoding encoding, uint32_t line_number, uint32_t column, bool ascii_prefix,
                 size_t length) {
  long line = static_cast<long>(line_number) - 1;
  long character = static_cast<long>(column) - 1;
  if (!ascii_prefix) {
    const Text &t = texts.get(path, open, encoding);
    if (t.ok) {
      size_t start = 0;
      std::string_view l = t.line(line, &start);
      character = editor_column(ctx.conv, t.encoding, l, column - 1, ctx.pe);
    }
  }
  long len = static_cast<long>(length);  // names are ASCII: one unit a byte
  return {line, character, character + len};
}

NameSpan name_span(QueryContext &ctx, Texts &texts, const NameHit &h) {
  return span_at(ctx, texts, h.path, h.open, h.encoding, h.at.line, h.at.column, h.at.ascii_prefix,
                 h.name.size());
}

json name_range(QueryContext &ctx, Texts &texts, const NameHit &h) {
  NameSpan n = name_span(ctx, texts, h);
  return {{"start", position(n.line, n.start)}, {"end", position(n.line, n.end)}};
}

json location(QueryContext &ctx, Texts &texts, const NameHit &h) {
  return {{"uri", path_to_uri(h.path)}, {"range", name_range(ctx, texts, h)}};
}

std::string identifier(QueryContext &ctx, Texts &texts, const std::string &path, long line,
                       long character, json *range, size_t *before) {
  const Text &t = texts.get(path, ctx.docs->find(path) != nullptr, Encoding::kAuto);
  if (!t.ok) return {};
  size_t start_of_line = 0;
  std::string_view l = t.line(line, &start_of_line);
  size_t at = byte_column(ctx.conv, t.encoding, l, character, ctx.pe);
  std::string_view id = identifier_at(t.encoding, l, at);
  if (id.empty()) return {};
  size_t start = static_cast<size_t>(id.data() - l.data());
  if (before != nullptr) *before = at > start ? at - start : 0;
  long c0 = editor_column(ctx.conv, t.encoding, l, start, ctx.pe);
  *range = {{"start", position(line, c0)},
            {"end", position(line, c0 + static_cast<long>(id.size()))}};
  return std::string(id);
}


}  // namespace kolvu
