#include "lsp/uri.h"

namespace kolvu {

namespace {

// Bytes written as they are: letters, digits, "-._~" and the separator.
struct PlainTable {
  bool plain[256] = {};
  PlainTable() {
    for (int c = 'a'; c <= 'z'; ++c) plain[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) plain[c] = true;
    for (int c = '0'; c <= '9'; ++c) plain[c] = true;
    for (unsigned char c : std::string_view("-._~/")) plain[c] = true;
  }
};
const PlainTable kPlain;

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string path_to_uri(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (char ch : path) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (kPlain.plain[c]) {
      uri += ch;
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

bool uri_to_path(std::string_view uri, std::string *path) {
  const std::string_view scheme = "file://";
  if (uri.size() < scheme.size()) return false;
  for (size_t i = 0; i < scheme.size(); ++i) {
    char c = uri[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != scheme[i]) return false;
  }
  std::string_view rest = uri.substr(scheme.size());
  size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return false;
  std::string_view host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") return false;
  rest = rest.substr(slash);
  std::string out;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '?' || rest[i] == '#') break;  // a query or fragment is not part of the path
    if (rest[i] != '%') {
      out += rest[i];
      continue;
    }
    if (i + 2 >= rest.size()) return false;
    int hi = hex_value(rest[i + 1]);
    int lo = hex_value(rest[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  *path = std::move(out);
  return true;
}

}  // namespace kolvu
