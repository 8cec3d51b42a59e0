#include "common/utf8.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kolvu {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

Utf8Converter::~Utf8Converter() {
  if (sjis_ != nullptr && sjis_ != kNoConverter) iconv_close(static_cast<iconv_t>(sjis_));
  if (eucjp_ != nullptr && eucjp_ != kNoConverter) iconv_close(static_cast<iconv_t>(eucjp_));
}

void *Utf8Converter::open(Encoding encoding) {
  void *&cd = encoding == Encoding::kEucJp ? eucjp_ : sjis_;
  if (cd == nullptr) cd = iconv_open("UTF-8", encoding == Encoding::kEucJp ? "EUC-JP" : "CP932");
  return cd;
}

std::string_view Utf8Converter::view(Encoding encoding, std::string_view text,
                                     std::string *scratch, bool *clean) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(text.data());
  size_t n = text.size(), i = ascii_prefix(p, n);
  if (encoding == Encoding::kUtf8) {
    while (i < n) {
      size_t len = utf8_char_length(p + i, n - i);
      if (len == 0) break;
      i += len;
    }
  }
  *clean = true;
  if (i == n) return text;
  scratch->clear();
  *clean = append(encoding, text, scratch);
  return *scratch;
}

bool Utf8Converter::append(Encoding encoding, std::string_view text, std::string *out) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(text.data());
  // Plain ASCII, the most of any source, is copied as it is.
  size_t n = text.size(), i = ascii_prefix(p, n);
  out->append(text.data(), i);
  if (i == n) return true;

  bool clean = true;
  if (encoding == Encoding::kUtf8) {
    while (i < n) {
      size_t len = utf8_char_length(p + i, n - i);
      if (len == 0) {
        out->append(kReplacement);
        clean = false;
        len = 1;
      } else {
        out->append(text.data() + i, len);
      }
      i += len;
    }
    return clean;
  }

  iconv_t cd = static_cast<iconv_t>(open(encoding));
  if (cd == kNoConverter) {
    for (; i < n; ++i) {
      if (p[i] < 0x80) out->push_back(static_cast<char>(p[i]));
      else out->append(kReplacement);
    }
    return false;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char *in = const_cast<char *>(text.data()) + i;
  size_t in_left = n - i;
  while (in_left > 0) {
    // A byte becomes at most three bytes of UTF-8.
    size_t at = out->size();
    out->resize(at + 3 * in_left + 8);
    char *o = &(*out)[at];
    size_t o_left = out->size() - at;
    size_t rc = iconv(cd, &in, &in_left, &o, &o_left);
    out->resize(out->size() - o_left);
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ, or EINVAL for a sequence cut off at the end.
    out->append(kReplacement);
    clean = false;
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return clean;
}

}  // namespace kolvu
