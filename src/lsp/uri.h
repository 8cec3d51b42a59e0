// file:// addresses of paths. Every byte of a path but the unreserved ones
// and '/' is written as %XX, so a path with spaces, '#', '%' or bytes that
// are not UTF-8 comes back from its address unchanged.
#ifndef KOLVU_LSP_URI_H_
#define KOLVU_LSP_URI_H_

#include <string>
#include <string_view>

namespace kolvu {

/// The address of an absolute path.
std::string path_to_uri(std::string_view path);

/// The path of a file:// address (with an empty or "localhost" host);
/// false for any other address or a malformed escape.
bool uri_to_path(std::string_view uri, std::string *path);

}  // namespace kolvu

#endif  // KOLVU_LSP_URI_H_
