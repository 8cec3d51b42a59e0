#include "lsp/references.h"

#include <algorithm>
#include <set>
#include <utility>

#include "lsp/uri.h"

namespace kolvu {

using nlohmann::json;

namespace {

void put_range(std::string *out, const NameSpan &n) {
  const std::string line = std::to_string(n.line);
  *out += "{\"start\":{\"line\":" + line + ",\"character\":" + std::to_string(n.start) +
          "},\"end\":{\"line\":" + line + ",\"character\":" + std::to_string(n.end) + "}}";
}

}  // namespace

std::string find_references(QueryContext &ctx, const std::string &path, long line, long character,
                            bool include_declaration) {
  Texts texts(ctx);
  json range;
  const std::string name = identifier(ctx, texts, path, line, character, &range);
  if (name.empty()) return "null";
  // The places that define or declare the name, by file: left out on asking.
  std::set<std::pair<std::string, std::pair<uint32_t, uint32_t>>> defined;
  if (!include_declaration) {
    for (const NameHit &h : ctx.index->lookup(name, path))
      defined.insert({h.path, {h.at.line, h.at.column}});
  }
  // Written straight as text: a name used in thousands of places makes an
  // answer of megabytes, which as JSON objects would take several times that.
  std::string out = "[";
  for (const FileUses &f : ctx.index->uses().find(name)) {
    const std::string uri = json(path_to_uri(f.path)).dump();
    for (const UsePlace &p : f.places) {
      if (!defined.empty() && defined.count({f.path, {p.line, p.column}})) continue;
      const NameSpan n = span_at(ctx, texts, f.path, f.open, f.encoding, p.line, p.column,
                                 p.ascii_prefix, name.size());
      if (out.size() > 1) out += ',';
      out += "{\"uri\":" + uri + ",\"range\":";
      put_range(&out, n);
      out += "}";
    }
  }
  out += "]";
  return out;
}

std::string document_highlights(QueryContext &ctx, const std::string &path, long line,
                                long character) {
  Texts texts(ctx);
  json range;
  const std::string name = identifier(ctx, texts, path, line, character, &range);
  if (name.empty()) return "null";
  // Of a file not open in the editor, the uses indexed from the disk.
  const FileUses f = ctx.index->uses().in_file(path, name);
  std::string out = "[";
  for (const UsePlace &p : f.places) {
    const NameSpan n =
        span_at(ctx, texts, path, f.open, f.encoding, p.line, p.column, p.ascii_prefix, name.size());
    if (out.size() > 1) out += ',';
    out += "{\"range\":";
    put_range(&out, n);
    out += ",\"kind\":1}";  // Text: a use, read or written
  }
  out += "]";
  return out;
}

}  // namespace kolvu
