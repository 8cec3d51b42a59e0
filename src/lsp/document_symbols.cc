#include "lsp/document_symbols.h"

#include <algorithm>

#include "lsp/name_kinds.h"
#include "lsp/uri.h"

namespace kolvu {

namespace {

// A definition that holds others in its body.
bool container(NameKind kind) {
  return kind == NameKind::kStruct || kind == NameKind::kUnion || kind == NameKind::kEnum ||
         kind == NameKind::kTypedef;
}

// Tags first among the names of one record, then typedefs, then the rest.
int rank(NameKind kind) {
  return kind == NameKind::kTypedef ? 1 : container(kind) ? 0 : 2;
}

// The parent of each hit (hits in source order): the tag (else the typedef)
// of the record that holds its own most closely, not counting its own
// record (the struct and the typedef of `typedef struct T {...} T;` are side
// by side), but for a member or enumerator, a name of its container's
// record, which goes under that record's tag, else its typedef; -1 for none.
// Records nest: the walk in their order keeps the open ones on a stack.
std::vector<long> parents(const std::vector<NameHit> &hits) {
  std::vector<size_t> order(hits.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&hits](size_t x, size_t y) {
    const IndexedName &a = hits[x].at, &b = hits[y].at;
    if (a.begin != b.begin) return a.begin < b.begin;
    if (a.end != b.end) return a.end > b.end;
    if (rank(a.kind) != rank(b.kind)) return rank(a.kind) < rank(b.kind);
    return x < y;
  });
  std::vector<long> parent(hits.size(), -1);
  std::vector<size_t> open;  // containers whose records hold the one reached
  for (size_t i : order) {
    const IndexedName &at = hits[i].at;
    while (!open.empty() && hits[open.back()].at.end <= at.begin) open.pop_back();
    size_t k = open.size();
    auto same_record = [&](size_t j) { return hits[j].at.begin == at.begin && hits[j].at.end == at.end; };
    while (k > 0 && same_record(open[k - 1])) --k;  // open[k..] share the record
    if (is_inner(at.kind) && k < open.size()) {
      parent[i] = static_cast<long>(open[k]);  // its record's tag, else typedef
    } else if (k > 0) {
      // The innermost record that holds it: its tag, else typedef.
      const IndexedName &r = hits[open[k - 1]].at;
      size_t g = k - 1;
      while (g > 0 && hits[open[g - 1]].at.begin == r.begin && hits[open[g - 1]].at.end == r.end) --g;
      parent[i] = static_cast<long>(open[g]);
    }
    if (container(at.kind) && !is_inner(at.kind)) open.push_back(i);
  }
  return parent;
}

class Writer {
 public:
  Writer(QueryContext &ctx, Texts &texts, const Text &t, const std::vector<NameHit> &hits)
      : ctx_(ctx), texts_(texts), t_(t), hits_(hits), parent_(parents(hits)) {
    // Room for more than any symbol takes, so the text is never copied as
    // it grows: pages reserved and not written cost no memory.
    out_.reserve(hits.size() * 320);
  }

  std::string tree() {
    std::vector<std::vector<size_t>> children(hits_.size());
    std::vector<size_t> roots;
    for (size_t i = 0; i < hits_.size(); ++i) {
      if (parent_[i] < 0) roots.push_back(i);
      else children[static_cast<size_t>(parent_[i])].push_back(i);
    }
    out_ = "[";
    put_list(roots, children);
    out_ += "]";
    return std::move(out_);
  }

  std::string flat(const std::string &path) {
    const std::string uri = json(path_to_uri(path)).dump();
    out_ = "[";
    for (size_t i = 0; i < hits_.size(); ++i) {
      const NameHit &h = hits_[i];
      if (i > 0) out_ += ',';
      // Names are letters, digits and '_': nothing in them needs escaping.
      out_ += "{\"name\":\"" + h.name + "\",\"kind\":" + std::to_string(symbol_kind(h.at.kind));
      if (parent_[i] >= 0) out_ += ",\"containerName\":\"" + hits_[static_cast<size_t>(parent_[i])].name + "\"";
      out_ += ",\"location\":{\"uri\":" + uri + ",\"range\":";
      put_range(h);
      out_ += "}}";
    }
    out_ += "]";
    return std::move(out_);
  }

 private:
  using json = nlohmann::json;

  void put_position(long line, long character) {
    out_ += "{\"line\":" + std::to_string(line) + ",\"character\":" + std::to_string(character) + "}";
  }

  void put_position_at(size_t offset) {
    EditorPosition p = position_at(ctx_, t_, offset);
    put_position(p.line, p.character);
  }

  // The whole definition; a member's or enumerator's name alone (its record
  // is its container's).
  void put_range(const NameHit &h) {
    if (is_inner(h.at.kind)) {
      NameSpan n = name_span(ctx_, texts_, h);
      out_ += "{\"start\":";
      put_position(n.line, n.start);
      out_ += ",\"end\":";
      put_position(n.line, n.end);
      out_ += "}";
      return;
    }
    size_t end = h.at.end;
    while (end > h.at.begin && (t_.bytes[end - 1] == '\n' || t_.bytes[end - 1] == '\r')) --end;
    out_ += "{\"start\":";
    put_position_at(h.at.begin);
    out_ += ",\"end\":";
    put_position_at(end);
    out_ += "}";
  }

  void put_list(const std::vector<size_t> &list, const std::vector<std::vector<size_t>> &children) {
    for (size_t k = 0; k < list.size(); ++k) {
      const NameHit &h = hits_[list[k]];
      NameSpan n = name_span(ctx_, texts_, h);
      if (k > 0) out_ += ',';
      out_ += "{\"name\":\"" + h.name + "\",\"detail\":\"" + kind_word(h.at.kind) +
              "\",\"kind\":" + std::to_string(symbol_kind(h.at.kind)) + ",\"range\":";
      put_range(h);
      out_ += ",\"selectionRange\":{\"start\":";
      put_position(n.line, n.start);
      out_ += ",\"end\":";
      put_position(n.line, n.end);
      out_ += "}";
      if (!children[list[k]].empty()) {
        out_ += ",\"children\":[";
        put_list(children[list[k]], children);
        out_ += "]";
      }
      out_ += "}";
    }
  }

  QueryContext &ctx_;
  Texts &texts_;
  const Text &t_;
  const std::vector<NameHit> &hits_;
  std::vector<long> parent_;
  std::string out_;
};

}  // namespace

std::string document_symbols(QueryContext &ctx, const std::string &path, bool hierarchical) {
  // Written straight as text, as the workspace's symbols are: the memory it
  // takes is the answer's own, not several times that in JSON objects.
  Texts texts(ctx);
  std::vector<NameHit> hits = ctx.index->in_file(path);
  if (hits.empty()) return "[]";
  const Text &t = texts.get(path, hits[0].open, hits[0].encoding);
  if (!t.ok) return "[]";
  Writer w(ctx, texts, t, hits);
  return hierarchical ? w.tree() : w.flat(path);
}

}  // namespace kolvu
