#include "index/file_name_json.h"

#include "index/records.h"

namespace kolvu {

void append_base64(std::string_view bytes, std::string *out) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes.data());
  size_t n = bytes.size(), i = 0;
  for (; i + 3 <= n; i += 3) {
    unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    out->push_back(kDigits[v >> 18]);
    out->push_back(kDigits[(v >> 12) & 63]);
    out->push_back(kDigits[(v >> 6) & 63]);
    out->push_back(kDigits[v & 63]);
  }
  if (i == n) return;
  unsigned v = p[i] << 16;
  if (i + 1 < n) v |= p[i + 1] << 8;
  out->push_back(kDigits[v >> 18]);
  out->push_back(kDigits[(v >> 12) & 63]);
  out->push_back(i + 1 < n ? kDigits[(v >> 6) & 63] : '=');
  out->push_back('=');
}

void append_file_name_json(std::string_view name, Utf8Converter *conv, std::string *out) {
  std::string scratch;
  bool clean;
  std::string_view utf8 = conv->view(Encoding::kUtf8, name, &scratch, &clean);
  if (clean) {
    append_json_string(utf8, out);
    return;
  }
  std::string readable;
  if (!conv->append(Encoding::kShiftJis, name, &readable)) {
    readable.clear();
    conv->append(Encoding::kUtf8, name, &readable);
  }
  append_json_string(readable, out);
  out->append(",\"file_bytes\":\"");
  append_base64(name, out);
  out->push_back('"');
}

}  // namespace kolvu
