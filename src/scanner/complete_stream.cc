#include "scanner/complete_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/lexer.h"
#include "scanner/name_index.h"
#include "scanner/nearly_sorted.h"
#include "scanner/scan_access.h"
#include "scanner/scanner.h"
#include "util/alloc_seam.h"
#include "util/text_cook.h"

namespace kolvu {
namespace {

// The kind bit that selects a name apart from its record; 0 for the names
// that come with their record (a macro, a typedef's names, a tag).
int name_bit(DefKind kind) {
  switch (kind) {
    case DefKind::kFunction: return FN_BODY;
    case DefKind::kPrototype: return FN_PROTO;
    case DefKind::kEnum: return EN_TYPE;
    case DefKind::kEnumerator: return EN_CONST;
    case DefKind::kMember: return SU_MEMBER;
    case DefKind::kVariable: return VAR_DEF;
    case DefKind::kExtern: return VAR_EXTERN;
    default: return 0;
  }
}

bool declaration_kind(DefKind kind) {
  return kind == DefKind::kPrototype || kind == DefKind::kVariable || kind == DefKind::kExtern;
}

const size_t kSlack = kInPlaceRoom;  // zeros after the text, for the scanner's looks
const size_t kMaxHeld = 0x7fffffff - 4096;  // offsets in the text fit 31 bits

}  // namespace

CompleteStream::CompleteStream(Encoding encoding, const ScanOptions &options, DefinitionFn fn,
                               void *context, size_t first_room)
    : leads_(lex::leads_of(encoding)),
      first_room_(first_room),
      options_(options),
      fn_(fn),
      context_(context),
      scanner_(leads_, &recs_, &raw_, options.kinds) {
  result_.encoding = encoding;
}

CompleteStream::~CompleteStream() {
  if (!borrowed_) std::free(buf_);
}

bool CompleteStream::fail(ScanStatus status) {
  if (result_.status == ScanStatus::kOk) result_.status = status;
  return false;
}

// Room for n more bytes (and the zeros after them): the bytes no longer
// needed are dropped first, and the buffer grows only when the text held
// needs it.
bool CompleteStream::room_for(size_t n) {
  if (cap_ - len_ >= n + kSlack) return true;
  size_t keep = scanner_.keep();
  for (size_t k = 0; k < recs_.size(); ++k) keep = std::min(keep, recs_[k].begin);
  while (keep > 0 && buf_[keep - 1] != '\n') --keep;
  if (keep > 0) {
    for (const char *p = buf_; (p = static_cast<const char *>(std::memchr(p, '\n', buf_ + keep - p)));
         ++p)
      ++line_base_;
    // Carriage-return runs before keep move into the source base. keep
    // follows a '\n': its line starts just after that byte's place.
    size_t k = 0, at_newline = 0;
    while (k < cr_at_.size() && cr_at_[k] <= keep) {
      if (cr_at_[k] <= keep - 1) at_newline = cr_removed_[k];
      ++k;
    }
    size_t gone = k == 0 ? 0 : cr_removed_[k - 1];
    for (size_t j = k; j < cr_at_.size(); ++j) {
      cr_at_[j - k] = static_cast<uint32_t>(cr_at_[j] - keep);
      cr_removed_[j - k] = static_cast<uint32_t>(cr_removed_[j] - gone);
    }
    cr_at_.resize_down(cr_at_.size() - k);
    cr_removed_.resize_down(cr_removed_.size() - k);
    removed_ -= gone;
    src_line_ = src_base_ + keep + at_newline;
    src_base_ += keep + gone;
    std::memmove(buf_, buf_ + keep, len_ - keep);
    len_ -= keep;
    scanner_.shift(keep);
    if (cap_ - len_ >= n + kSlack) return true;
  }
  size_t grown = cap_ == 0 ? first_room_ + kSlack : cap_ * 2;
  while (grown - len_ < n + kSlack) grown *= 2;
  if (len_ + n > kMaxHeld) return fail(ScanStatus::kTooLarge);
  // The caller's buffer is not the stream's to grow: the text moves out.
  void *moved = borrowed_ ? alloc_or_null(grown) : realloc_or_null(buf_, grown);
  if (moved == nullptr) return fail(ScanStatus::kNoMemory);
  if (borrowed_) std::memcpy(moved, buf_, len_);
  borrowed_ = false;
  buf_ = static_cast<char *>(moved);
  cap_ = grown;
  return true;
}

bool CompleteStream::feed(const char *raw, size_t n) {
  if (result_.status != ScanStatus::kOk || ctrl_z_) return false;
  const size_t text = before_ctrl_z(raw, n);
  ctrl_z_ = text < n;
  return room_for(text) && take(raw, text);
}

bool CompleteStream::feed_in_place(char *raw, size_t n, size_t cap) {
  if (buf_ != nullptr || cap < n || cap - n < kSlack) return feed(raw, n);
  if (result_.status != ScanStatus::kOk || ctrl_z_) return false;
  const size_t text = before_ctrl_z(raw, n);
  ctrl_z_ = text < n;
  buf_ = raw;
  cap_ = cap;
  borrowed_ = true;
  return take(raw, text);
}

// Appends the n bytes of text at raw (already in buf_ at len_ when fed in
// place), carriage returns dropped where they are noted, then scans.
bool CompleteStream::take(const char *raw, size_t n) {
  const size_t base = len_, removed = removed_;
  const size_t written =
      drop_carriage_returns(raw, n, buf_ + base, [this, base, removed](size_t at, size_t dropped) {
        removed_ = removed + dropped;
        return cr_at_.push(static_cast<uint32_t>(base + at)) &&
               cr_removed_.push(static_cast<uint32_t>(removed_));
      });
  if (written == SIZE_MAX) return fail(ScanStatus::kNoMemory);
  len_ += written;
  std::memset(buf_ + len_, 0, kSlack);
  if (!run(false)) return false;
  return !ctrl_z_;
}

void CompleteStream::finish() {
  if (result_.status != ScanStatus::kOk) return;
  if (buf_ == nullptr && !room_for(0)) return;
  std::memset(buf_ + len_, 0, kSlack);
  run(true);
}

bool CompleteStream::run(bool at_end) {
  if (!scanner_.scan(buf_, len_, at_end)) return fail(ScanStatus::kNoMemory);
  return hand_over(at_end ? SIZE_MAX : scanner_.open_from());
}

// The records that begin before below, in the order of their begin (an
// outer one first), those of the kinds and names asked for, each with the
// record that holds it.
bool CompleteStream::hand_over(size_t below) {
  order_.clear();
  for (uint32_t i = 0; i < recs_.size(); ++i)
    if (recs_[i].begin < below && !order_.push(i)) return fail(ScanStatus::kNoMemory);
  if (order_.empty()) return true;
  const int kinds = options_.kinds == 0 ? DEF_SINGLE | DEF_CONT : options_.kinds;
  const bool by_name = (kinds & kDeclarationKinds) != 0;
  // An outer one first; of two with the same span (a variable and the
  // struct its declaration defines), the declaration; else in the order
  // recorded.
  if (by_name)
    sort_nearly_in_order(order_.begin(), order_.size(), [this](uint32_t a, uint32_t b) {
      const RawRecord &x = recs_[a], &y = recs_[b];
      if (x.begin != y.begin) return x.begin < y.begin;
      if (x.end != y.end) return x.end > y.end;
      const bool dx = declaration_kind(x.kind), dy = declaration_kind(y.kind);
      return dx != dy ? dx : a < b;
    });
  else
    sort_nearly_in_order(order_.begin(), order_.size(), [this](uint32_t a, uint32_t b) {
      const RawRecord &x = recs_[a], &y = recs_[b];
      if (x.begin != y.begin) return x.begin < y.begin;
      return x.end != y.end ? x.end > y.end : a < b;
    });
  CrMap crs;
  crs.cooked = cr_at_.begin();
  crs.removed = cr_removed_.begin();
  crs.n = cr_at_.size();
  crs.base = src_base_;
  crs.line_base = src_line_;
  LineCursor lines(buf_, len_, crs, line_base_);
  const NameIndex *wanted = ScanAccess::index_of(options_.names);
  const char *t = buf_;
  bool go_on = true;
  for (size_t o = 0; o < order_.size() && go_on; ++o) {
    const RawRecord &r = recs_[order_[o]];
    // Its names of the kinds asked; a record of a kind not asked goes on
    // for a name of a kind asked (a struct's members), without its own.
    // With none of the kinds read by declaration asked, every name is its
    // record's kind's.
    size_t count = r.name_count;
    if (by_name) {
      bool named = false;
      kept_.clear();
      for (uint32_t i = r.names_from; i < r.names_from + r.name_count; ++i) {
        const int bit = name_bit(raw_[i].kind);
        if (bit != 0 ? !(bit & kinds) : !(r.bit & kinds)) continue;
        if (!kept_.push(i)) return fail(ScanStatus::kNoMemory);
        named = named || bit != 0;
      }
      if (!(r.bit & kinds) && !named) continue;
      count = kept_.size();
    } else if (!(r.bit & kinds)) {
      continue;
    }
    auto name_at = [&](size_t k) { return by_name ? kept_[k] : r.names_from + k; };
    if (wanted != nullptr && wanted->entries() > 0) {
      bool any = false;
      for (size_t k = 0; k < count && !any; ++k) any = wanted->wants(t + raw_[name_at(k)].off) != 0;
      if (!any) continue;
    }
    const size_t end = crs.source(r.end > r.begin ? r.end - 1 : r.begin) + (r.end > r.begin);
    while (!holder_ends_.empty() && holder_ends_.back() < end) {
      holder_ends_.pop();
      holders_.pop();
    }
    const long parent = holders_.empty() ? -1 : holders_.back();
    const long index = result_.definitions++;
    if (!holders_.push(index) || !holder_ends_.push(end)) return fail(ScanStatus::kNoMemory);
    if (fn_ == nullptr) continue;
    Definition def;
    def.kind = r.kind;
    def.kind_bit = r.bit;
    if (r.kind == DefKind::kTypedef) {  // the name before its ';', as the tool names it
      size_t q = r.semi == SIZE_MAX ? r.begin : r.semi;
      while (q > r.begin && is_blank(t[q - 1])) --q;
      size_t e = q;
      while (q > r.begin && is_ident(t[q - 1])) --q;
      def.name = std::string_view(t + q, e - q);
    } else {
      for (size_t i = r.names_from; i < r.names_from + r.name_count && def.name.empty(); ++i)
        if (raw_[i].kind == r.kind) def.name = std::string_view(t + raw_[i].off, raw_[i].len);
    }
    // Lines asked in the order of their places, the names before the last
    // line, so that the cursor passes over each line of a record once.
    def.first_line = lines.line_of(r.begin);
    if (!(by_name ? to_definition_names(raw_, kept_, t, &lines, crs, &names_)
                  : to_definition_names(raw_, r.names_from, r.name_count, t, &lines, crs, &names_)))
      return fail(ScanStatus::kNoMemory);
    def.last_line = r.end > r.begin ? lines.line_of(r.end - 1) : def.first_line;
    def.begin = crs.source(r.begin);
    def.end = end > def.begin ? end : def.begin;
    def.text = std::string_view(t + r.begin, r.end - r.begin);
    def.names = names_.begin();
    def.name_count = names_.size();
    def.index = index;
    def.parent = parent;
    def.encoding = result_.encoding;
    go_on = fn_(def, context_);
  }
  // The records handed over leave; so do their names once none is left.
  size_t kept = 0;
  for (size_t i = 0; i < recs_.size(); ++i)
    if (recs_[i].begin >= below) recs_[kept++] = recs_[i];
  recs_.resize_down(kept);
  if (kept == 0) raw_.clear();
  return go_on || fail(ScanStatus::kStopped);
}

}  // namespace kolvu
