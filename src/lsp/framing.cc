#include "lsp/framing.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kolvu {

namespace {

// A header line longer than this is no header of ours.
const size_t kMaxHeaderLine = 1024;
const std::string_view kLengthField = "content-length:";

bool ieq_prefix(std::string_view line, std::string_view lower_prefix) {
  if (line.size() < lower_prefix.size()) return false;
  for (size_t i = 0; i < lower_prefix.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if (c != static_cast<unsigned char>(lower_prefix[i])) return false;
  }
  return true;
}

// The decimal value after "Content-Length:", with blanks around it; false
// when it is not one or is larger than limit.
bool parse_length(std::string_view v, size_t limit, size_t *n, bool *too_large) {
  size_t i = 0;
  while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
  size_t start = i;
  size_t value = 0;
  *too_large = false;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    if (value > (limit - (v[i] - '0')) / 10) *too_large = true;
    if (!*too_large) value = value * 10 + static_cast<size_t>(v[i] - '0');
  }
  if (i == start) return false;
  while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
  if (i != v.size()) return false;
  *n = value;
  return !*too_large;
}

// Where a whole "Content-Length: N\r\n" line begins whose "\r\n" starts
// in [from, to) of buf (the line itself may begin before from, and any
// bytes before it on its line are not looked at); npos when none. JSON
// holds no raw line break inside a string and no such field outside one,
// so inside a body this is always the next message's header.
size_t find_length_line(const std::string &buf, size_t from, size_t to) {
  for (size_t i = from; i < to && i + 1 < buf.size(); ++i) {
    const void *cr = std::memchr(buf.data() + i, '\r', to - i);
    if (cr == nullptr) return std::string::npos;
    i = static_cast<size_t>(static_cast<const char *>(cr) - buf.data());
    if (i + 1 >= buf.size() || buf[i + 1] != '\n') continue;
    size_t j = i;
    while (j > 0 && (buf[j - 1] == ' ' || buf[j - 1] == '\t')) --j;
    size_t digits_end = j;
    while (j > 0 && buf[j - 1] >= '0' && buf[j - 1] <= '9') --j;
    if (j == digits_end) continue;
    while (j > 0 && (buf[j - 1] == ' ' || buf[j - 1] == '\t')) --j;
    if (j < kLengthField.size()) continue;
    j -= kLengthField.size();
    if (ieq_prefix(std::string_view(buf.data() + j, kLengthField.size()), kLengthField)) return j;
  }
  return std::string::npos;
}

}  // namespace

MessageReader::MessageReader(int fd, size_t max_body) : fd_(fd), max_body_(max_body) {}

bool MessageReader::fill() {
  if (eof_) return false;
  if (at_ > 0 && at_ >= buf_.size() / 2) {
    buf_.erase(0, at_);
    at_ = 0;
  }
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      buf_.append(chunk, static_cast<size_t>(n));
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    eof_ = true;
    return false;
  }
}

bool MessageReader::ready(int timeout_ms) {
  if (at_ < buf_.size() || eof_) return true;
  struct pollfd p = {fd_, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

bool MessageReader::resync() {
  for (;;) {
    for (size_t i = at_; i + kLengthField.size() <= buf_.size(); ++i) {
      if (ieq_prefix(std::string_view(buf_.data() + i, buf_.size() - i), kLengthField)) {
        at_ = i;
        return true;
      }
    }
    // Keep what may be the beginning of the field, cut by the read.
    size_t keep = kLengthField.size() - 1;
    if (buf_.size() - at_ > keep) at_ = buf_.size() - keep;
    if (!fill()) return false;
  }
}

MessageReader::Result MessageReader::next(std::string *body) {
  if (resync_) {
    resync_ = false;
    if (!resync()) return Result::kEnd;
  }
  size_t length = 0;
  bool have_length = false;
  bool bad = false;
  bool any_field = false;
  size_t block = at_;  // where the header's first field begins
  std::string reason;
  // The header block.
  for (;;) {
    size_t eol = buf_.find("\r\n", at_);
    if (eol == std::string::npos) {
      if (buf_.size() - at_ > kMaxHeaderLine) {
        *body = "header line too long";
        at_ += 1;  // a header may follow inside what was read
        resync_ = true;
        return Result::kBad;
      }
      if (!fill()) {
        if (any_field ||
            (at_ < buf_.size() && buf_.find_first_not_of("\r\n \t", at_) != std::string::npos)) {
          at_ = buf_.size();
          *body = "input ends inside a message header";
          return Result::kBad;
        }
        return Result::kEnd;
      }
      continue;
    }
    if (eol - at_ > kMaxHeaderLine) {
      *body = "header line too long";
      at_ += 1;
      resync_ = true;
      return Result::kBad;
    }
    std::string_view line(buf_.data() + at_, eol - at_);
    at_ = eol + 2;
    if (line.empty()) {
      if (!any_field) continue;  // blank lines before a header are passed over
      if (!have_length) {
        bad = true;
        reason = "a header without Content-Length";
      }
      break;
    }
    if (!any_field) block = static_cast<size_t>(line.data() - buf_.data());
    any_field = true;
    if (ieq_prefix(line, kLengthField)) {
      bool too_large = false;
      if (!parse_length(line.substr(kLengthField.size()), max_body_, &length, &too_large)) {
        bad = true;
        reason = too_large ? "Content-Length larger than " + std::to_string(max_body_) + " bytes"
                           : "malformed Content-Length";
      } else {
        have_length = true;
      }
    } else if (line.find(':') == std::string_view::npos) {
      bad = true;
      reason = "malformed header line";
    }
    if (bad) break;
  }
  if (bad) {
    // The next header may stand on one of these lines, after the end of a
    // body shorter than its length said: look for it from here.
    *body = reason;
    at_ = block + 1;
    resync_ = true;
    return Result::kBad;
  }
  // The body, unless the next message's header turns up inside it: then the
  // length was wrong, and that message is read next, not lost.
  size_t searched = 0;
  for (;;) {
    size_t have = std::min(buf_.size() - at_, length);
    // Bytes already read past the body may end a header line begun inside it.
    size_t look = std::min(buf_.size() - at_, length + kMaxHeaderLine);
    size_t from = at_ + (searched > 0 ? searched - 1 : 0);
    size_t header = find_length_line(buf_, from, at_ + look);
    if (header != std::string::npos && header < at_ + have) {
      at_ = header;
      *body = "Content-Length longer than the message: the next header stands inside it";
      return Result::kBad;
    }
    searched = look;
    if (have == length) break;
    if (!fill()) {
      at_ = buf_.size();
      *body = "input ends inside a message body";
      return Result::kBad;
    }
  }
  body->assign(buf_, at_, length);
  at_ += length;
  return Result::kMessage;
}

bool MessageWriter::write(std::initializer_list<std::string_view> parts) {
  size_t length = 0;
  for (std::string_view p : parts) length += p.size();
  const std::string header = "Content-Length: " + std::to_string(length) + "\r\n\r\n";
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_) return false;
  auto put = [this](std::string_view bytes) {
    const char *p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      ssize_t n = ::write(fd_, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      left -= static_cast<size_t>(n);
    }
    return true;
  };
  // A message of ordinary size goes out in one write; a big one part by
  // part, not copied.
  bool ok = true;
  if (length < (1u << 20)) {
    std::string whole = header;
    for (std::string_view part : parts) whole.append(part);
    ok = put(whole);
  } else {
    ok = put(header);
    for (std::string_view part : parts) ok = ok && put(part);
  }
  if (!ok) failed_ = true;
  return ok;
}

}  // namespace kolvu
