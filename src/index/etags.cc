#include "index/etags.h"

namespace kolvu {

namespace {

// Letters, digits and '_': the bytes of a C name.
struct WordTable {
  bool word[256];
  WordTable() {
    for (int c = 0; c < 256; ++c)
      word[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
};
const WordTable kWord;

bool is_word(char c) { return kWord.word[static_cast<unsigned char>(c)]; }

}  // namespace

std::string etags_pattern(std::string_view text, std::string_view name) {
  std::string_view line = text.substr(0, text.find('\n'));
  if (!name.empty()) {
    for (size_t at = line.find(name); at != std::string_view::npos; at = line.find(name, at + 1)) {
      size_t end = at + name.size();
      if ((at == 0 || !is_word(line[at - 1])) && (end == line.size() || !is_word(line[end]))) {
        line = line.substr(0, end);
        break;
      }
    }
  }
  std::string out;
  for (char c : line) {
    if (c != '\x7f' && c != '\r') out.push_back(c);
  }
  return out;
}

void append_etags_entry(std::string_view pattern, std::string_view name, long line, size_t offset,
                        std::string *body) {
  body->append(pattern);
  body->push_back('\x7f');
  body->append(name);
  body->push_back('\x01');
  body->append(std::to_string(line));
  body->push_back(',');
  body->append(std::to_string(offset));
  body->push_back('\n');
}

void append_etags_section(std::string_view file, std::string_view body, std::string *out) {
  out->append("\f\n");
  out->append(file);
  out->push_back(',');
  out->append(std::to_string(body.size()));
  out->push_back('\n');
  out->append(body);
}

}  // namespace kolvu
