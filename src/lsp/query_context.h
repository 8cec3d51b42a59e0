// What a request reads from: the index, the open documents, the position
// encoding, and the texts of files read back during the request, each once;
// and the conversions every answer shares, from the index's lines and byte
// columns to the editor's positions, and from the editor's position to the
// identifier under it.
#ifndef KOLVU_LSP_QUERY_CONTEXT_H_
#define KOLVU_LSP_QUERY_CONTEXT_H_

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/utf8.h"
#include "lsp/columns.h"
#include "lsp/documents.h"
#include "lsp/symbol_index.h"

namespace kolvu {

struct QueryContext {
  const SymbolIndex *index;
  const Documents *docs;
  PositionEncoding pe = PositionEncoding::kUtf16;
  std::vector<std::string> roots;  // workspace folders, absolute, no trailing '/'
  Encoding encoding = Encoding::kAuto;  // for a file not in the index
  Utf8Converter *conv;
  std::function<void(const std::string &)> log;       // a file that cannot be read
  std::function<void(const std::string &)> forget;    // drops a vanished file
  // Brings the files of hits up to date with the disk; true when any was not.
  std::function<bool(const std::vector<NameHit> &)> refresh;
};

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

// Texts read during one request, each once.
class Texts {
 public:
  explicit Texts(QueryContext &ctx) : ctx_(ctx) {}

  /// The text of path: the open document's, else the file's on disk read
  /// in indexed (kAuto: the setting, else guessed). A file that cannot be
  /// read is logged, dropped from the index unless open, and not ok.
  const Text &get(const std::string &path, bool open, Encoding indexed);


 private:
  QueryContext &ctx_;
  std::map<std::string, Text> cache_;
};

/// {"line": line, "character": character}.
nlohmann::json position(long line, long character);

struct EditorPosition {
  long line, character;
};

/// The editor's position of byte offset in text.
EditorPosition position_at(QueryContext &ctx, const Text &t, size_t offset);

/// Where a name stands: its line (from 0), the column of its first
/// character and the column just after it, in the editor's units.
struct NameSpan {
  long line, start, end;
};

/// The span of a name of length bytes at line and byte column (both from
/// 1) of the file path; its text is read only when the line holds more
/// than ASCII before the name.
NameSpan span_at(QueryContext &ctx, Texts &texts, const std::string &path, bool open,
                 Encoding encoding, uint32_t line, uint32_t column, bool ascii_prefix,
                 size_t length);

/// The span, range and location of a definition's name.
NameSpan name_span(QueryContext &ctx, Texts &texts, const NameHit &h);
nlohmann::json name_range(QueryContext &ctx, Texts &texts, const NameHit &h);
nlohmann::json location(QueryContext &ctx, Texts &texts, const NameHit &h);

/// The identifier under the cursor, with its range; empty when none.
/// *before, when given, is how many of its bytes stand before the cursor.
std::string identifier(QueryContext &ctx, Texts &texts, const std::string &path, long line,
                       long character, nlohmann::json *range, size_t *before = nullptr);

}  // namespace kolvu

#endif  // KOLVU_LSP_QUERY_CONTEXT_H_
