#include "common/cp932_table.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "scanner/utf8_check.h"  // utf8_lead_length

namespace kolvu {

namespace {

// What the converter makes of bytes alone, from its initial state: the
// character packed, 0 when they are no character, kLead when they are the
// start of one cut off. *fits turns false for a character of more than
// three bytes of UTF-8, which the table cannot hold.
Cp932Table::Packed convert(iconv_t cd, const char *bytes, size_t n, bool *fits) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char in[2] = {bytes[0], n > 1 ? bytes[1] : '\0'};
  char out[8];
  char *ip = in, *op = out;
  size_t in_left = n, out_left = sizeof out;
  size_t rc = iconv(cd, &ip, &in_left, &op, &out_left);
  if (rc == static_cast<size_t>(-1)) return errno == EINVAL ? Cp932Table::kLead : 0;
  size_t len = sizeof out - out_left;
  if (len > 3) *fits = false;
  if (in_left != 0 || len == 0 || len > 3) return 0;
  Cp932Table::Packed packed = static_cast<Cp932Table::Packed>(len) << 24;
  for (size_t k = 0; k < len; ++k)
    packed |= static_cast<Cp932Table::Packed>(static_cast<unsigned char>(out[k])) << (8 * k);
  return packed;
}

// The pairs of lead byte lead with every second byte, into row: all 256
// given to the converter at once, going on after each pair it refuses. Each
// pair it takes is one character, whose UTF-8 tells its own length. False
// when the output does not read so (the caller asks pair by pair then).
bool convert_row(iconv_t cd, int lead, Cp932Table::Packed *row, bool *fits) {
  char in[512];
  for (int d = 0; d < 256; ++d) {
    in[2 * d] = static_cast<char>(lead);
    in[2 * d + 1] = static_cast<char>(d);
  }
  char out[256 * 4];
  for (size_t pos = 0; pos < 256;) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *ip = in + 2 * pos, *op = out;
    size_t in_left = sizeof in - 2 * pos, out_left = sizeof out;
    size_t rc = iconv(cd, &ip, &in_left, &op, &out_left);
    size_t taken = static_cast<size_t>(ip - (in + 2 * pos));
    if (taken % 2 != 0) return false;
    const unsigned char *u = reinterpret_cast<const unsigned char *>(out);
    const unsigned char *end = reinterpret_cast<const unsigned char *>(op);
    for (size_t k = 0; k < taken / 2; ++k) {
      size_t len = u < end ? utf8_lead_length(*u) : 0;
      if (len == 0 || u + len > end) return false;
      if (len > 3) *fits = false;
      Cp932Table::Packed packed = static_cast<Cp932Table::Packed>(len) << 24;
      for (size_t b = 0; b < len && b < 3; ++b) packed |= static_cast<Cp932Table::Packed>(u[b]) << (8 * b);
      row[pos + k] = len <= 3 ? packed : 0;
      u += len;
    }
    if (u != end) return false;
    pos += taken / 2;
    if (rc != static_cast<size_t>(-1)) break;
    if (pos < 256) row[pos++] = 0;  // the pair refused
  }
  return true;
}

}  // namespace

Cp932Table::~Cp932Table() {
  if (cd_ != nullptr) iconv_close(static_cast<iconv_t>(cd_));
}

Cp932Table *Cp932Table::get() {
  static const std::unique_ptr<Cp932Table> table = [] {
    std::unique_ptr<Cp932Table> t;
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return t;
    t.reset(new Cp932Table());
    t->cd_ = cd;
    bool fits = true;
    for (int c = 0; c < 256; ++c) {
      char b = static_cast<char>(c);
      t->single_[c] = convert(cd, &b, 1, &fits);
      if (c < 0x80 && t->single_[c] != ((1u << 24) | static_cast<unsigned>(c))) fits = false;
    }
    if (!fits) t.reset();
    return t;
  }();
  return table.get();
}

const Cp932Table::Packed *Cp932Table::build_row(unsigned char lead) {
  std::lock_guard<std::mutex> lock(mu_);
  if (const Packed *row = rows_[lead].load(std::memory_order_relaxed)) return row;
  iconv_t cd = static_cast<iconv_t>(cd_);
  std::unique_ptr<Packed[]> row(new Packed[256]);
  bool fits = true;
  if (!convert_row(cd, lead, row.get(), &fits)) {
    for (int d = 0; d < 256; ++d) {
      char pair[2] = {static_cast<char>(lead), static_cast<char>(d)};
      Packed p = convert(cd, pair, 2, &fits);
      row[d] = p == kLead ? 0 : p;
    }
  }
  if (!fits) return nullptr;
  storage_[lead] = std::move(row);
  rows_[lead].store(storage_[lead].get(), std::memory_order_release);
  return storage_[lead].get();
}

}  // namespace kolvu
