#include "lsp/queries.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "lsp/indexer.h"
#include "lsp/name_kinds.h"
#include "lsp/regular_file.h"
#include "lsp/uri.h"
#include "scanner/encoding_guess.h"

namespace kolvu {

using nlohmann::json;

namespace {

// Every definition of name, from files as they are on disk now.
std::vector<NameHit> lookup_fresh(QueryContext &ctx, const std::string &name, const std::string &path) {
  std::vector<NameHit> hits = ctx.index->lookup(name, path);
  if (ctx.refresh && ctx.refresh(hits)) hits = ctx.index->lookup(name, path);
  return hits;
}

}  // namespace

std::string relative_path(const std::vector<std::string> &roots, const std::string &path) {
  for (const std::string &r : roots) {
    if (path.size() > r.size() + 1 && path.compare(0, r.size(), r) == 0 && path[r.size()] == '/')
      return path.substr(r.size() + 1);
  }
  return path;
}

json find_definitions(QueryContext &ctx, const std::string &path, long line, long character,
                      bool declarations) {
  Texts texts(ctx);
  json range;
  std::string name = identifier(ctx, texts, path, line, character, &range);
  if (name.empty()) return nullptr;
  std::vector<NameHit> hits = lookup_fresh(ctx, name, path);
  // Definitions before prototypes and extern declarations, or those before
  // definitions; all of them when none is of the kind preferred.
  auto preferred = [declarations](const NameHit &h) { return is_declaration(h.at.kind) == declarations; };
  const bool any = std::any_of(hits.begin(), hits.end(), preferred);
  json out = json::array();
  for (const NameHit &h : hits) {
    if (!any || preferred(h)) out.push_back(location(ctx, texts, h));
  }
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

}  // namespace kolvu
