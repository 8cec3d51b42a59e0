#include "lsp/queries.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "lsp/indexer.h"
#include "lsp/regular_file.h"
#include "lsp/uri.h"
#include "scanner/encoding_guess.h"

namespace kolvu {

using nlohmann::json;

namespace {

// The bytes of a file as the server reads them back, with the encoding they
// are in: the open document's text, or the file on disk.
struct Text {
  std::string owned;
  std::string_view bytes;
  Encoding encoding = Encoding::kShiftJis;
  bool ok = false;
  mutable std::vector<size_t> starts;  // of the lines, found as far as needed
  mutable bool all_starts = false;

  // Finds the starts of the lines up to line n (all of them for -1).
  void find_starts(long n) const {
    if (starts.empty()) starts.push_back(0);
    while (!all_starts && (n < 0 || starts.size() <= static_cast<size_t>(n))) {
      size_t from = starts.back();
      const void *nl = std::memchr(bytes.data() + from, '\n', bytes.size() - from);
      if (nl == nullptr) {
        all_starts = true;
        break;
      }
      starts.push_back(static_cast<size_t>(static_cast<const char *>(nl) - bytes.data()) + 1);
    }
  }

  const std::vector<size_t> &line_starts() const {
    find_starts(-1);
    return starts;
  }

  // Line number line (from 0), without its line end; *start is its offset.
  std::string_view line(long n, size_t *start) const {
    if (n >= 0) find_starts(n);
    if (n < 0 || static_cast<size_t>(n) >= starts.size()) {
      *start = bytes.size();
      return {};
    }
    *start = starts[static_cast<size_t>(n)];
    return line_of(bytes.substr(*start), 0);
  }
};

Encoding resolve(Encoding setting, std::string_view bytes) {
  if (setting != Encoding::kAuto) return setting;
  return guess_encoding(bytes.data(), bytes.size());
}

// Texts read during one request, each once.
class Texts {
 public:
  explicit Texts(QueryContext &ctx) : ctx_(ctx) {}

  const Text &get(const std::string &path, bool open, Encoding indexed) {
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

 private:
  QueryContext &ctx_;
  std::map<std::string, Text> cache_;
};

json position(long line, long character) { return {{"line", line}, {"character", character}}; }

struct EditorPosition {
  long line, character;
};

// The editor's position of byte offset in text.
EditorPosition position_at(QueryContext &ctx, const Text &t, size_t offset) {
  if (offset > t.bytes.size()) offset = t.bytes.size();
  const std::vector<size_t> &starts = t.line_starts();
  long line = static_cast<long>(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
  size_t line_start = 0;
  std::string_view l = t.line(line, &line_start);
  return {line, editor_column(ctx.conv, t.encoding, l, offset - line_start, ctx.pe)};
}

// Where a hit's name stands: its line, the column of its first character
// and the column just after it, in the editor's units.
struct NameSpan {
  long line, start, end;
};

NameSpan name_span(QueryContext &ctx, Texts &texts, const NameHit &h) {
  long line = static_cast<long>(h.at.line) - 1;
  long character = static_cast<long>(h.at.column) - 1;
  if (!h.at.ascii_prefix) {
    const Text &t = texts.get(h.path, h.open, h.encoding);
    if (t.ok) {
      size_t start = 0;
      std::string_view l = t.line(line, &start);
      character = editor_column(ctx.conv, t.encoding, l, h.at.column - 1, ctx.pe);
    }
  }
  long len = static_cast<long>(h.name.size());  // names are ASCII: one unit a byte
  return {line, character, character + len};
}

// The range of a hit's name.
json name_range(QueryContext &ctx, Texts &texts, const NameHit &h) {
  NameSpan n = name_span(ctx, texts, h);
  return {{"start", position(n.line, n.start)}, {"end", position(n.line, n.end)}};
}

json location(QueryContext &ctx, Texts &texts, const NameHit &h) {
  return {{"uri", path_to_uri(h.path)}, {"range", name_range(ctx, texts, h)}};
}

// The identifier under the cursor, with its range; empty when none.
std::string identifier(QueryContext &ctx, Texts &texts, const std::string &path, long line,
                       long character, json *range) {
  const Text &t = texts.get(path, ctx.docs->find(path) != nullptr, Encoding::kAuto);
  if (!t.ok) return {};
  size_t start_of_line = 0;
  std::string_view l = t.line(line, &start_of_line);
  size_t at = byte_column(ctx.conv, t.encoding, l, character, ctx.pe);
  std::string_view id = identifier_at(t.encoding, l, at);
  if (id.empty()) return {};
  size_t start = static_cast<size_t>(id.data() - l.data());
  long c0 = editor_column(ctx.conv, t.encoding, l, start, ctx.pe);
  *range = {{"start", position(line, c0)},
            {"end", position(line, c0 + static_cast<long>(id.size()))}};
  return std::string(id);
}

// Every definition of name, from files as they are on disk now.
std::vector<NameHit> lookup_fresh(QueryContext &ctx, const std::string &name, const std::string &path) {
  std::vector<NameHit> hits = ctx.index->lookup(name, path);
  if (ctx.refresh && ctx.refresh(hits)) hits = ctx.index->lookup(name, path);
  return hits;
}

}  // namespace

int symbol_kind(NameKind kind) {
  switch (kind) {
    case NameKind::kFunctionMacro: return 12;  // Function
    case NameKind::kMacro: return 14;          // Constant
    case NameKind::kTypedef: return 5;         // Class
    case NameKind::kStruct:
    case NameKind::kUnion: return 23;          // Struct
  }
  return 14;
}

const char *kind_word(NameKind kind) {
  switch (kind) {
    case NameKind::kUnion: return "union";
    case NameKind::kStruct: return "struct";
    case NameKind::kTypedef: return "typedef";
    case NameKind::kFunctionMacro:
    case NameKind::kMacro: return "#define";
  }
  return "#define";
}

std::string relative_path(const std::vector<std::string> &roots, const std::string &path) {
  for (const std::string &r : roots) {
    if (path.size() > r.size() + 1 && path.compare(0, r.size(), r) == 0 && path[r.size()] == '/')
      return path.substr(r.size() + 1);
  }
  return path;
}

json find_definitions(QueryContext &ctx, const std::string &path, long line, long character) {
  Texts texts(ctx);
  json range;
  std::string name = identifier(ctx, texts, path, line, character, &range);
  if (name.empty()) return nullptr;
  json out = json::array();
  for (const NameHit &h : lookup_fresh(ctx, name, path)) out.push_back(location(ctx, texts, h));
  return out;
}

json hover(QueryContext &ctx, const std::string &path, long line, long character) {
  Texts texts(ctx);
  json range;
  std::string name = identifier(ctx, texts, path, line, character, &range);
  if (name.empty()) return nullptr;
  std::vector<NameHit> hits = lookup_fresh(ctx, name, path);
  // One text at one place is shown once, whatever names it gives
  // (typedef struct X {...} X; is the struct X and the typedef X): the
  // definitions grouped by file and extent, in the order met.
  struct Shown {
    const NameHit *hit;
    std::vector<NameKind> kinds;
  };
  std::vector<Shown> groups;
  for (const NameHit &h : hits) {
    auto same = std::find_if(groups.begin(), groups.end(), [&h](const Shown &g) {
      return g.hit->path == h.path && g.hit->at.begin == h.at.begin && g.hit->at.end == h.at.end;
    });
    if (same == groups.end()) groups.push_back({&h, {h.at.kind}});
    else if (std::find(same->kinds.begin(), same->kinds.end(), h.at.kind) == same->kinds.end())
      same->kinds.push_back(h.at.kind);
  }
  std::string md;
  int shown = 0;
  for (const Shown &g : groups) {
    if (shown == kHoverLimit) break;
    const NameHit &h = *g.hit;
    const Text &t = texts.get(h.path, h.open, h.encoding);
    if (!t.ok || h.at.end > t.bytes.size() || h.at.begin > h.at.end) continue;
    std::string raw;
    for (char c : t.bytes.substr(h.at.begin, h.at.end - h.at.begin)) {
      if (c != '\r') raw += c;
    }
    while (!raw.empty() && raw.back() == '\n') raw.pop_back();
    std::string utf8;
    bool clean = ctx.conv->append(t.encoding, raw, &utf8);
    if (shown > 0) md += "\n\n---\n\n";
    // The line where the definition begins, which is the name's own line
    // but for a typedef of a body.
    long first = static_cast<long>(h.at.line) -
                 static_cast<long>(std::count(t.bytes.begin() + h.at.begin,
                                              t.bytes.begin() + h.at.offset, '\n'));
    md += "```c\n" + utf8 + "\n```\n\n`" + relative_path(ctx.roots, h.path) + "` line " +
          std::to_string(first);
    if (g.kinds.size() > 1) {
      md += " (";
      for (size_t k = 0; k < g.kinds.size(); ++k)
        md += (k ? ", " : "") + std::string(kind_word(g.kinds[k])) + " " + name;
      md += ")";
    }
    if (!clean) md += " (some bytes did not convert to UTF-8 and are shown as \xEF\xBF\xBD)";
    ++shown;
  }
  if (shown == 0) return nullptr;
  if (groups.size() > static_cast<size_t>(shown)) {
    md += "\n\nand " + std::to_string(groups.size() - static_cast<size_t>(shown)) + " more";
  }
  return {{"contents", {{"kind", "markdown"}, {"value", md}}}, {"range", range}};
}

std::string workspace_symbols(QueryContext &ctx, const std::string &query) {
  // Up to a thousand symbols: written straight as text, which costs a
  // fraction of building the same JSON as objects first. No container
  // name: the location already names the file, which editors show.
  Texts texts(ctx);
  std::map<std::string, std::string> uris;  // each file's, quoted, made once
  std::string out = "[";
  for (const NameHit &h : ctx.index->search(query, kSymbolLimit)) {
    auto uri = uris.find(h.path);
    if (uri == uris.end()) uri = uris.emplace(h.path, json(path_to_uri(h.path)).dump()).first;
    NameSpan n = name_span(ctx, texts, h);
    const std::string line = std::to_string(n.line);
    if (out.size() > 1) out += ',';
    // Names are letters, digits and '_': nothing in them needs escaping.
    out += "{\"name\":\"" + h.name + "\",\"kind\":" + std::to_string(symbol_kind(h.at.kind)) +
           ",\"location\":{\"uri\":" + uri->second + ",\"range\":{\"start\":{\"line\":" + line +
           ",\"character\":" + std::to_string(n.start) + "},\"end\":{\"line\":" + line +
           ",\"character\":" + std::to_string(n.end) + "}}}}";
  }
  out += "]";
  return out;
}

std::string document_symbols(QueryContext &ctx, const std::string &path) {
  // Written straight as text, as the workspace's symbols are: the memory it
  // takes is the answer's own, not several times that in JSON objects.
  Texts texts(ctx);
  std::string out = "[";
  std::vector<NameHit> hits = ctx.index->in_file(path);
  if (hits.empty()) return "[]";
  const Text &t = texts.get(path, hits[0].open, hits[0].encoding);
  if (!t.ok) return "[]";
  // Room for more than any symbol takes, so the text is never copied as it
  // grows: pages reserved and not written cost no memory.
  out.reserve(hits.size() * 320);
  auto put_position = [&out](long line, long character) {
    out += "{\"line\":" + std::to_string(line) + ",\"character\":" + std::to_string(character) + "}";
  };
  auto put_position_at = [&](size_t offset) {
    EditorPosition p = position_at(ctx, t, offset);
    put_position(p.line, p.character);
  };
  for (const NameHit &h : hits) {
    size_t end = h.at.end;
    while (end > h.at.begin && (t.bytes[end - 1] == '\n' || t.bytes[end - 1] == '\r')) --end;
    NameSpan n = name_span(ctx, texts, h);
    if (out.size() > 1) out += ',';
    // Names are letters, digits and '_': nothing in them needs escaping.
    out += "{\"name\":\"" + h.name + "\",\"detail\":\"" + kind_word(h.at.kind) +
           "\",\"kind\":" + std::to_string(symbol_kind(h.at.kind)) + ",\"range\":{\"start\":";
    put_position_at(h.at.begin);
    out += ",\"end\":";
    put_position_at(end);
    out += "},\"selectionRange\":{\"start\":";
    put_position(n.line, n.start);
    out += ",\"end\":";
    put_position(n.line, n.end);
    out += "}}";
  }
  out += "]";
  return out;
}

}  // namespace kolvu
