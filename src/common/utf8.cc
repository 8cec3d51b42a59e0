#include "common/utf8.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/cp932_table.h"
#include "scanner/utf8_check.h"

namespace kolvu {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Appends the n bytes at p, in code page 932, to out through the table:
// runs of ASCII copied, each other character looked up; *clean_out false
// when some bytes did not convert.
// False also when the table cannot hold a character the converter gives:
// out is then as it was, for iconv(3) to do the whole.
bool append_cp932(Cp932Table *table, const unsigned char *p, size_t n, std::string *out,
                  bool *clean_out) {
  const Cp932Table::Packed kReplacementPacked = 0x03bdbfefu;
  size_t at = out->size();
  out->resize(at + 3 * n + 4);  // a byte becomes at most three, and a store writes four
  char *o = &(*out)[at];
  bool clean = true;
  for (size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      size_t run = ascii_prefix(p + i, n - i);
      std::memcpy(o, p + i, run);
      o += run;
      i += run;
      continue;
    }
    Cp932Table::Packed c = table->single(p[i]);
    size_t used = 1;
    if (c == Cp932Table::kLead) {
      c = 0;
      if (i + 1 < n && !table->pair(p[i], p[i + 1], &c)) {
        out->resize(at);
        return false;
      }
      if (c != 0) used = 2;
    }
    if (c == 0) {
      c = kReplacementPacked;
      clean = false;
    }
    unsigned char bytes[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                              static_cast<unsigned char>(c >> 16), 0};
    std::memcpy(o, bytes, 4);
    o += c >> 24;
    i += used;
  }
  out->resize(static_cast<size_t>(o - out->data()));
  *clean_out = clean;
  return true;
}

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

  if (encoding != Encoding::kEucJp && use_table_) {
    Cp932Table *table = Cp932Table::get();
    bool clean_table;
    if (table != nullptr && append_cp932(table, p + i, n - i, out, &clean_table)) return clean_table;
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
