// The scanner library: sources read whole and as text, the encoding chosen,
// the engine run into records, and the records handed over.
#include "kolvu/scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "kolvu/bytes.h"
#include "scanner/name_index.h"
#include "scanner/complete_stream.h"
#include "scanner/encoding_guess.h"
#include "scanner/lexer.h"
#include "scanner/record_sink.h"
#include "scanner/scan_access.h"
#include "scanner/scanner.h"
#include "util/alloc_seam.h"
#include "util/text_cook.h"

namespace kolvu {

const char *kind_name(DefKind kind) {
  switch (kind) {
    case DefKind::kDefine: return "define";
    case DefKind::kTypedef: return "typedef";
    case DefKind::kStruct: return "struct";
    case DefKind::kUnion: return "union";
    case DefKind::kFunction: return "function";
    case DefKind::kPrototype: return "prototype";
    case DefKind::kEnum: return "enum";
    case DefKind::kEnumerator: return "enumerator";
    case DefKind::kMember: return "member";
    case DefKind::kVariable: return "variable";
    case DefKind::kExtern: return "extern";
  }
  return "?";
}

const char *scan_status_text(ScanStatus status) {
  switch (status) {
    case ScanStatus::kOk: return "ok";
    case ScanStatus::kCannotOpen: return "cannot open";
    case ScanStatus::kCannotRead: return "cannot read";
    case ScanStatus::kNoMemory: return "out of memory";
    case ScanStatus::kTooLarge: return "too large (2 GiB or more)";
    case ScanStatus::kStopped: return "stopped";
  }
  return "?";
}

// ---- Records ------------------------------------------------------------

void RecordSink::begin(const RecordStart &start) {
  start_ = start;
  open_ = true;
  text_of_open_.clear();
}

void RecordSink::name(const char *p, int n) {
  if (!open_ || start_.named) return;
  start_.name = p;
  start_.name_len = n;
  start_.named = true;
}

void RecordSink::put(const char *p, size_t n) {
  if (failed() || n == 0 || fn_ == nullptr) return;  // an empty capture has no buffer yet
  if (!text_of_open_.append(p, n)) fail(ScanStatus::kNoMemory);
}


// The names of the definition that opens at start: those of a typedef
// (also where a struct is written from the typedef before it) are read from
// the text; any other has the name the scan gave it.
bool RecordSink::find_names(const RecordStart &start) {
  raw_.clear();
  if (size_ - start.begin >= 8 && std::memcmp(text_ + start.begin, "typedef", 7) == 0) {
    bool body = false;
    if (!typedef_names(text_, start.begin + 7, size_, leads_, &raw_, &body, &tokens_)) return false;
    if (start.kind == DefKind::kTypedef) return true;
  }
  if (start.name_len == 0) return true;
  const size_t off = static_cast<size_t>(start.name - text_);
  for (const RawName &r : raw_)
    if (r.off == off) return true;
  return raw_.push({off, start.name_len, start.kind});
}

void RecordSink::end(size_t src_end) {
  if (!open_ || failed()) return;
  open_ = false;
  ++delivered_;
  if (fn_ == nullptr) return;
  Definition def;
  def.kind = start_.kind;
  def.kind_bit = start_.bit;
  def.name = std::string_view(start_.name != nullptr ? start_.name : "",
                              static_cast<size_t>(start_.name_len));
  // Lines in the order of their places, as the complete mode asks them.
  def.first_line = lines_.line_of(start_.begin);
  if (!find_names(start_) ||
      !to_definition_names(raw_, 0, raw_.size(), text_, &lines_, crs_, &names_)) {
    fail(ScanStatus::kNoMemory);
    return;
  }
  def.last_line = src_end > start_.begin ? lines_.line_of(src_end - 1) : def.first_line;
  def.begin = crs_.source(start_.begin);
  def.end = src_end > start_.begin ? crs_.source(src_end - 1) + 1 : def.begin;
  def.text = std::string_view(text_of_open_.empty() ? "" : text_of_open_.begin(), text_of_open_.size());
  def.names = names_.begin();
  def.name_count = names_.size();
  def.index = delivered_ - 1;
  def.encoding = encoding_;
  if (!fn_(def, context_)) fail(ScanStatus::kStopped);
}

// ---- Sources ------------------------------------------------------------

namespace {

const size_t kSlack = kInPlaceRoom;       // readable bytes after the text, zero
const size_t kMaxSource = 0x7fffffff - 4096;  // positions fit an int

// A source's bytes, read as text in place: carriage returns dropped, the
// text cut at a Ctrl-Z, and where each run of carriage returns was.
struct Cooked {
  size_t size = 0;
  SeamVec<uint32_t> cooked, removed;
  bool note(size_t at, size_t total) {
    return cooked.push(static_cast<uint32_t>(at)) && removed.push(static_cast<uint32_t>(total));
  }
};

bool cook(char *buf, size_t size, Cooked *out) {
  const size_t to = drop_carriage_returns(buf, before_ctrl_z(buf, size), buf,
                                          [out](size_t at, size_t total) { return out->note(at, total); });
  if (to == SIZE_MAX) return false;
  out->size = to;
  return true;
}

// Scans buf (size bytes, kSlack more allocated), which it reads as text in
// place.
ScanResult scan_buffer(char *buf, size_t size, const ScanOptions &options, DefinitionFn fn,
                       void *context) {
  ScanResult result;
  Cooked cooked;
  if (!cook(buf, size, &cooked)) {
    result.status = ScanStatus::kNoMemory;
    return result;
  }
  std::memset(buf + cooked.size, 0, kSlack);
  Encoding enc = options.encoding;
  if (enc == Encoding::kAuto) enc = guess_encoding(buf, cooked.size);  // the text as read
  result.encoding = enc;
  CrMap crs;
  crs.cooked = cooked.cooked.begin();
  crs.removed = cooked.removed.begin();
  crs.n = cooked.cooked.size();
  const unsigned char *leads = lex::leads_of(enc);
  const NameIndex *names = ScanAccess::index_of(options.names);
  ScanSetup setup = {options.kinds, names, leads, "", false};
  RecordSink sink(buf, cooked.size, crs, leads, enc, fn, context);
  scan_records(buf, static_cast<int>(cooked.size), setup, &sink);
  result.status = sink.status();
  result.definitions = sink.delivered();
  return result;
}

const size_t kPiece = 1 << 20;  // bytes read or fed at a time in the complete mode

// The complete mode over a source in memory, fed to the scan a piece at a
// time so that no copy of it is made whole; of any size.
ScanResult scan_complete(const char *data, size_t size, const ScanOptions &options,
                         DefinitionFn fn, void *context) {
  Encoding enc = options.encoding;
  if (enc == Encoding::kAuto) enc = guess_encoding(data, size);
  // Room for the text fed at once, which is all of a small source.
  CompleteStream stream(enc, options, fn, context, std::min(size, kPiece));
  bool more = true;
  for (size_t at = 0; more && at < size; at += kPiece)
    more = stream.feed(data + at, std::min(kPiece, size - at));
  if (more || stream.ended()) stream.finish();
  return stream.result();
}

// The bytes of fd read into buf until it holds want bytes or the source
// ends; the count, or -1 with errno set.
ssize_t read_up_to(int fd, char *buf, size_t want) {
  size_t got = 0;
  while (got < want) {
    ssize_t n = ::read(fd, buf + got, want - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

// The complete mode over fd, read a piece at a time. kAuto looks at the
// whole of a regular file first; of a pipe, at its first piece.
ScanResult scan_complete_fd(int fd, const struct stat &st, const ScanOptions &options,
                            DefinitionFn fn, void *context) {
  ScanResult result;
  char *piece = static_cast<char *>(alloc_or_null(kPiece));
  if (piece == nullptr) {
    result.status = ScanStatus::kNoMemory;
    return result;
  }
  Encoding enc = options.encoding;
  ssize_t first = -1;  // a piece read ahead for the guess
  if (enc == Encoding::kAuto) {
    EncodingGuess guess;
    first = read_up_to(fd, piece, kPiece);
    if (first >= 0) guess.feed(piece, static_cast<size_t>(first));
    bool whole = first < static_cast<ssize_t>(kPiece);  // else the start of more
    if (!whole && S_ISREG(st.st_mode) && ::lseek(fd, 0, SEEK_CUR) == first) {
      // More than a piece of a regular file: read through for the guess,
      // then from the start again.
      char *rest = static_cast<char *>(alloc_or_null(kPiece));
      ssize_t n = rest == nullptr ? -1 : 0;
      while (rest != nullptr && (n = read_up_to(fd, rest, kPiece)) > 0)
        guess.feed(rest, static_cast<size_t>(n));
      std::free(rest);
      first = n < 0 || ::lseek(fd, static_cast<off_t>(kPiece), SEEK_SET) < 0 ? -2 : first;
      whole = true;
    } else if (first < 0) {
      first = -2;
    }
    enc = whole ? guess.encoding() : guess.encoding_of_start();
  }
  if (first == -2) {
    result.status = ScanStatus::kCannotRead;
    result.error_number = errno;
    std::free(piece);
    return result;
  }
  // No size limit: what is held is the text of the definitions still open.
  CompleteStream stream(enc, options, fn, context);
  bool more = true;
  for (;;) {
    ssize_t n = first >= 0 ? first : read_up_to(fd, piece, kPiece);
    first = -1;
    if (n < 0) {
      result.status = ScanStatus::kCannotRead;
      result.error_number = errno;
      break;
    }
    if (n == 0) break;
    more = stream.feed(piece, static_cast<size_t>(n));
    if (!more) break;
  }
  std::free(piece);
  if (result.status != ScanStatus::kOk) return result;
  if (more || stream.ended()) stream.finish();
  return stream.result();
}

}  // namespace

ScanResult scan_definitions(const char *data, size_t size, const ScanOptions &options,
                            DefinitionFn fn, void *context) {
  if (options.complete) return scan_complete(data, size, options, fn, context);
  ScanResult result;
  if (size > kMaxSource) {
    result.status = ScanStatus::kTooLarge;
    return result;
  }
  char *buf = static_cast<char *>(alloc_or_null(size + kSlack));
  if (buf == nullptr) {
    result.status = ScanStatus::kNoMemory;
    return result;
  }
  if (size > 0) std::memcpy(buf, data, size);
  result = scan_buffer(buf, size, options, fn, context);
  std::free(buf);
  return result;
}

ScanResult scan_definitions_in_place(char *data, size_t size, size_t capacity,
                                     const ScanOptions &options, DefinitionFn fn, void *context) {
  if (capacity < size || capacity - size < kSlack || size > kMaxSource)
    return scan_definitions(data, size, options, fn, context);
  if (!options.complete) return scan_buffer(data, size, options, fn, context);
  Encoding enc = options.encoding;
  if (enc == Encoding::kAuto) enc = guess_encoding(data, size);
  CompleteStream stream(enc, options, fn, context, 0);
  if (stream.feed_in_place(data, size, capacity) || stream.ended()) stream.finish();
  return stream.result();
}

ScanResult scan_definitions_fd(int fd, const ScanOptions &options, DefinitionFn fn,
                               void *context) {
  ScanResult result;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    result.status = ScanStatus::kCannotRead;
    result.error_number = errno;
    return result;
  }
  if (S_ISDIR(st.st_mode)) {
    result.status = ScanStatus::kCannotOpen;
    result.error_number = EISDIR;
    return result;
  }
  if (options.complete) return scan_complete_fd(fd, st, options, fn, context);
  // A regular file is read in one go; anything else as far as it goes.
  size_t cap = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 65536;
  size_t size = 0;
  char *buf = nullptr;
  for (;;) {
    if (cap > kMaxSource + 1) cap = kMaxSource + 1;
    void *moved = realloc_or_null(buf, cap + kSlack);
    if (moved == nullptr) {
      result.status = ScanStatus::kNoMemory;
      break;
    }
    buf = static_cast<char *>(moved);
    ssize_t got = ::read(fd, buf + size, cap - size);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.status = ScanStatus::kCannotRead;
      result.error_number = errno;
      break;
    }
    if (got == 0) break;
    size += static_cast<size_t>(got);
    if (size > kMaxSource) {
      result.status = ScanStatus::kTooLarge;
      break;
    }
    if (size == cap) cap *= 2;
  }
  if (result.status == ScanStatus::kOk) result = scan_buffer(buf, size, options, fn, context);
  std::free(buf);
  return result;
}

ScanResult scan_definitions_file(const char *path, const ScanOptions &options, DefinitionFn fn,
                                 void *context) {
  ScanResult result;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.status = ScanStatus::kCannotOpen;
    result.error_number = errno;
    return result;
  }
  result = scan_definitions_fd(fd, options, fn, context);
  ::close(fd);
  return result;
}

}  // namespace kolvu
