// The documents open in the editor: their text as the editor holds it
// (UTF-8), their version, and whether changes came in since their names were
// last taken. Changes replace the whole text or a range of it, the range in
// the negotiated position encoding.
#ifndef KOLVU_LSP_DOCUMENTS_H_
#define KOLVU_LSP_DOCUMENTS_H_

#include <map>
#include <string>
#include <vector>

#include "lsp/columns.h"

namespace kolvu {

struct TextChange {
  bool whole = true;  // replaces the whole text; else the range below
  long start_line = 0, start_char = 0, end_line = 0, end_char = 0;
  std::string text;
};

/// Applies one change to text; false when its range is out of order.
/// Positions past the end of a line or of the text are taken as its end.
bool apply_change(std::string *text, const TextChange &change, PositionEncoding pe);

struct OpenDocument {
  std::string uri;  // as the client gave it
  std::string text;
  long version = 0;
  bool dirty = false;  // changed since its names were last taken
};

class Documents {
 public:
  void open(const std::string &path, OpenDocument doc) { docs_[path] = std::move(doc); }
  void close(const std::string &path) { docs_.erase(path); }
  OpenDocument *find(const std::string &path);
  const OpenDocument *find(const std::string &path) const;
  /// The paths with changes not yet scanned.
  std::vector<std::string> dirty() const;

 private:
  std::map<std::string, OpenDocument> docs_;
};

}  // namespace kolvu

#endif  // KOLVU_LSP_DOCUMENTS_H_
