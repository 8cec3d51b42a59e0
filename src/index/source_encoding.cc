#include "index/source_encoding.h"

#include <unistd.h>

#include <cstring>
#include <vector>

#include "scanner/utf8_check.h"

namespace kolvu {

namespace {

// The length a UTF-8 character has by its first byte (of 0x80 or above);
// 0 for a byte that starts none.
size_t lead_length(unsigned char c) {
  if (c < 0xC2) return 0;
  if (c < 0xE0) return 2;
  if (c < 0xF0) return 3;
  if (c < 0xF5) return 4;
  return 0;
}

}  // namespace

void Utf8TextCheck::feed(const char *data, size_t n) {
  if (settled()) return;
  const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
  const void *z = std::memchr(p, 0x1A, n);
  if (z != nullptr) {
    n = static_cast<size_t>(static_cast<const unsigned char *>(z) - p);
    ended_ = true;
  }
  // The text between carriage returns, which the scanner drops.
  while (n > 0 && !bad_) {
    const void *cr = std::memchr(p, '\r', n);
    size_t run = cr == nullptr ? n : static_cast<size_t>(static_cast<const unsigned char *>(cr) - p);
    feed_text(p, run);
    if (cr == nullptr) break;
    p += run + 1;
    n -= run + 1;
  }
}

void Utf8TextCheck::feed_text(const unsigned char *p, size_t n) {
  size_t i = 0;
  if (pending_n_ > 0) {
    size_t want = lead_length(pending_[0]);
    while (pending_n_ < want && i < n) pending_[pending_n_++] = p[i++];
    if (pending_n_ < want) return;
    if (utf8_char_length(pending_, pending_n_) != want) {
      bad_ = true;
      return;
    }
    pending_n_ = 0;
  }
  while (i < n) {
    i += ascii_prefix(p + i, n - i);
    if (i == n) break;
    high_ = true;
    size_t want = lead_length(p[i]);
    if (want == 0) {
      bad_ = true;
      return;
    }
    if (n - i < want) {
      // Cut by the end of the piece: judged when the rest comes.
      pending_n_ = n - i;
      std::memcpy(pending_, p + i, pending_n_);
      return;
    }
    if (utf8_char_length(p + i, n - i) != want) {
      bad_ = true;
      return;
    }
    i += want;
  }
}

Encoding Utf8TextCheck::encoding() const {
  return !bad_ && pending_n_ == 0 && high_ ? Encoding::kUtf8 : Encoding::kShiftJis;
}

Encoding read_source_encoding(int fd, size_t block) {
  std::vector<char> buf(block);
  Utf8TextCheck check;
  for (off_t at = 0; !check.settled();) {
    ssize_t got = ::pread(fd, buf.data(), buf.size(), at);
    if (got < 0) return Encoding::kAuto;
    if (got == 0) break;
    check.feed(buf.data(), static_cast<size_t>(got));
    at += got;
  }
  return check.encoding();
}

}  // namespace kolvu
