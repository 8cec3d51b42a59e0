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
#include <new>

#include "kolvu/bytes.h"
#include "scanner/name_index.h"
#include "scanner/record_sink.h"
#include "scanner/scanner.h"
#include "scanner/utf8_check.h"
#include "util/alloc_seam.h"

namespace kolvu {

const char *kind_name(DefKind kind) {
  switch (kind) {
    case DefKind::kDefine: return "define";
    case DefKind::kTypedef: return "typedef";
    case DefKind::kStruct: return "struct";
    case DefKind::kUnion: return "union";
  }
  return "?";
}

const char *scan_status_text(ScanStatus status) {
  switch (status) {
    case ScanStatus::kOk: return "ok";
    case ScanStatus::kCannotOpen: return "cannot open";
    case ScanStatus::kCannotRead: return "cannot read";
    case ScanStatus::kNoMemory: return "out of memory";
    case ScanStatus::kTooLarge: return "too large";
    case ScanStatus::kStopped: return "stopped";
  }
  return "?";
}

// ---- Name lists ---------------------------------------------------------

namespace {

// The index of a NameList and the tables it works in.
struct ListIndex {
  NameIndex index;
  NameSlot *exact;
  NameSlot *prefix;
  int slots;
};

void free_index(void *p) {
  if (p == nullptr) return;
  ListIndex *li = static_cast<ListIndex *>(p);
  std::free(li->exact);
  std::free(li->prefix);
  std::free(li);
}

}  // namespace

struct ScanAccess {
  static const NameIndex *index_of(const NameList *list) {
    if (list == nullptr || list->index_ == nullptr) return nullptr;
    return &static_cast<const ListIndex *>(list->index_)->index;
  }
};

NameList::~NameList() {
  for (int i = 0; i < count_; ++i) std::free(entries_[i]);
  std::free(entries_);
  free_index(index_);
}

NameList::NameList(NameList &&other) noexcept
    : entries_(other.entries_), count_(other.count_), capacity_(other.capacity_),
      index_(other.index_) {
  other.entries_ = nullptr;
  other.count_ = other.capacity_ = 0;
  other.index_ = nullptr;
}

NameList &NameList::operator=(NameList &&other) noexcept {
  if (this != &other) {
    this->~NameList();
    new (this) NameList(static_cast<NameList &&>(other));
  }
  return *this;
}

// Room in the index for one more entry: the tables stay at most a quarter
// full, and are made anew, twice as large, when they would not.
bool NameList::grow_index() {
  ListIndex *li = static_cast<ListIndex *>(index_);
  if (li != nullptr && (count_ + 1) * 4 <= li->slots) return true;
  int slots = li == nullptr ? 16 : li->slots * 2;
  ListIndex *fresh = static_cast<ListIndex *>(alloc_or_null(sizeof(ListIndex)));
  if (fresh == nullptr) return false;
  fresh->exact = static_cast<NameSlot *>(alloc_or_null(sizeof(NameSlot) * slots));
  fresh->prefix = static_cast<NameSlot *>(alloc_or_null(sizeof(NameSlot) * slots));
  if (fresh->exact == nullptr || fresh->prefix == nullptr) {
    free_index(fresh);
    return false;
  }
  fresh->slots = slots;
  new (&fresh->index) NameIndex();
  fresh->index.reset(fresh->exact, fresh->prefix, slots);
  for (int i = 0; i < count_; ++i) fresh->index.add(entries_[i]);
  free_index(index_);
  index_ = fresh;
  return true;
}

bool NameList::add(std::string_view entry) {
  if (count_ == capacity_) {
    int grown = capacity_ == 0 ? 16 : capacity_ * 2;
    void *moved = realloc_or_null(entries_, sizeof(char *) * static_cast<size_t>(grown));
    if (moved == nullptr) return false;
    entries_ = static_cast<char **>(moved);
    capacity_ = grown;
  }
  if (!grow_index()) return false;
  char *copy = static_cast<char *>(alloc_or_null(entry.size() + 1));
  if (copy == nullptr) return false;
  std::memcpy(copy, entry.data(), entry.size());
  copy[entry.size()] = '\0';
  entries_[count_++] = copy;
  static_cast<ListIndex *>(index_)->index.add(copy);
  return true;
}

bool NameList::add_list(std::string_view text) {
  for (;;) {
    size_t comma = text.find(',');
    if (!add(text.substr(0, comma))) return false;
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

bool NameList::wants(const char *name) const {
  const NameIndex *index = ScanAccess::index_of(this);
  return index == nullptr || index->wants(name) != 0;
}

// ---- Records ------------------------------------------------------------

RecordSink::~RecordSink() { std::free(buf_); }

void RecordSink::begin(const RecordStart &start) {
  start_ = start;
  open_ = true;
  len_ = 0;
}

void RecordSink::name(const char *p, int n) {
  if (!open_ || start_.named) return;
  start_.name = p;
  start_.name_len = n;
  start_.named = true;
}

void RecordSink::put(const char *p, size_t n) {
  if (failed() || n == 0) return;  // an empty capture has no buffer yet
  if (cap_ - len_ < n) {
    size_t grown = cap_ == 0 ? 4096 : cap_;
    while (grown - len_ < n) grown *= 2;
    void *moved = realloc_or_null(buf_, grown);
    if (moved == nullptr) {
      fail(ScanStatus::kNoMemory);
      return;
    }
    buf_ = static_cast<char *>(moved);
    cap_ = grown;
  }
  std::memcpy(buf_ + len_, p, n);
  len_ += n;
}

// The line of the byte at off: the '\n' bytes before it are counted from
// where the last answer was.
long RecordSink::line_of(size_t off) {
  if (off > size_) off = size_;
  const char *t = text_;
  while (line_at_ < off) {
    const void *nl = std::memchr(t + line_at_, '\n', off - line_at_);
    if (nl == nullptr) {
      line_at_ = off;
      break;
    }
    line_at_ = static_cast<size_t>(static_cast<const char *>(nl) - t) + 1;
    ++line_;
  }
  while (line_at_ > off) {
    if (t[--line_at_] == '\n') --line_;
  }
  return line_;
}

// Carriage returns dropped before the byte at off, added back.
size_t RecordSink::source_offset(size_t off) const {
  size_t lo = 0, hi = crs_.n;  // the entries with cooked <= off are [0, lo)
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (crs_.cooked[mid] <= off)
      lo = mid + 1;
    else
      hi = mid;
  }
  return off + (lo == 0 ? 0 : crs_.removed[lo - 1]);
}

void RecordSink::end(size_t src_end) {
  if (!open_ || failed()) return;
  open_ = false;
  Definition def;
  def.kind = start_.kind;
  def.kind_bit = start_.bit;
  def.name = std::string_view(start_.name != nullptr ? start_.name : "",
                              static_cast<size_t>(start_.name_len));
  def.first_line = line_of(start_.begin);
  def.last_line = src_end > start_.begin ? line_of(src_end - 1) : def.first_line;
  def.begin = source_offset(start_.begin);
  def.end = src_end > start_.begin ? source_offset(src_end - 1) + 1 : def.begin;
  def.text = std::string_view(buf_ != nullptr ? buf_ : "", len_);
  ++delivered_;
  if (!fn_(def, context_)) fail(ScanStatus::kStopped);
}

// ---- Sources ------------------------------------------------------------

namespace {

const size_t kSlack = 128;                // readable bytes after the text, zero
const size_t kMaxSource = 0x7fffffff - 4096;  // positions fit an int

// A source's bytes, read as text in place: carriage returns dropped, the
// text cut at a Ctrl-Z, and where each run of carriage returns was.
struct Cooked {
  size_t size = 0;
  uint32_t *cooked = nullptr;
  uint32_t *removed = nullptr;
  size_t n = 0;
  size_t cap = 0;
  ~Cooked() {
    std::free(cooked);
    std::free(removed);
  }
  bool note(size_t at, size_t total) {
    if (n == cap) {
      size_t grown = cap == 0 ? 256 : cap * 2;
      void *c = realloc_or_null(cooked, grown * sizeof(uint32_t));
      if (c == nullptr) return false;
      cooked = static_cast<uint32_t *>(c);
      void *r = realloc_or_null(removed, grown * sizeof(uint32_t));
      if (r == nullptr) return false;
      removed = static_cast<uint32_t *>(r);
      cap = grown;
    }
    cooked[n] = static_cast<uint32_t>(at);
    removed[n] = static_cast<uint32_t>(total);
    ++n;
    return true;
  }
};

bool cook(char *buf, size_t size, Cooked *out) {
  const void *z = std::memchr(buf, 0x1A, size);
  if (z != nullptr) size = static_cast<size_t>(static_cast<const char *>(z) - buf);
  size_t from = 0, to = 0, removed = 0;
  for (;;) {
    const void *cr = std::memchr(buf + from, '\r', size - from);
    size_t stop = cr == nullptr ? size : static_cast<size_t>(static_cast<const char *>(cr) - buf);
    if (to != from) std::memmove(buf + to, buf + from, stop - from);
    to += stop - from;
    if (cr == nullptr) break;
    from = stop;
    while (from < size && buf[from] == '\r') ++from;
    removed += from - stop;
    if (!out->note(to, removed)) return false;
  }
  out->size = to;
  return true;
}

// Whether the text is valid UTF-8 holding a byte of 0x80 or above.
bool is_utf8_text(const unsigned char *s, size_t n) {
  size_t i = ascii_prefix(s, n);
  if (i == n) return false;
  while (i < n) {
    size_t len = utf8_char_length(s + i, n - i);
    if (len == 0) return false;
    i += len;
    i += ascii_prefix(s + i, n - i);
  }
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
  if (enc == Encoding::kAuto)
    enc = is_utf8_text(reinterpret_cast<const unsigned char *>(buf), cooked.size)
              ? Encoding::kUtf8
              : Encoding::kShiftJis;
  result.encoding = enc;
  const NameIndex *names = ScanAccess::index_of(options.names);
  ScanSetup setup = {options.kinds, names, enc == Encoding::kShiftJis ? byte_class : kNoLeads,
                     "", false};
  CrMap crs;
  crs.cooked = cooked.cooked;
  crs.removed = cooked.removed;
  crs.n = cooked.n;
  RecordSink sink(buf, cooked.size, crs, fn, context);
  scan_records(buf, static_cast<int>(cooked.size), setup, &sink);
  result.status = sink.status();
  result.definitions = sink.delivered();
  return result;
}

}  // namespace

ScanResult scan_definitions(const char *data, size_t size, const ScanOptions &options,
                            DefinitionFn fn, void *context) {
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

ScanResult scan_definitions_file(const char *path, const ScanOptions &options, DefinitionFn fn,
                                 void *context) {
  ScanResult result;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    result.status = ScanStatus::kCannotOpen;
    result.error_number = fd < 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : errno;
    if (fd >= 0) ::close(fd);
    return result;
  }
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
  ::close(fd);
  if (result.status == ScanStatus::kOk) result = scan_buffer(buf, size, options, fn, context);
  std::free(buf);
  return result;
}

}  // namespace kolvu
