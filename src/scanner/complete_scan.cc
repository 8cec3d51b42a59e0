// The complete mode's walk: one pass over the text, stopping only at the
// bytes that can change something (found through a 256-entry table per
// state), with a stack of the definitions open at the current place and a
// stack of the conditional groups around it.
#include "scanner/complete_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kolvu/bytes.h"

namespace kolvu {
namespace {

enum : unsigned char {
  kStopCode = 1,  // in code
  kStopLit = 2,   // inside a literal
  kStopDir = 4,   // inside a directive
};

struct StopTable {
  unsigned char v[256];
  explicit StopTable(bool double_byte) : v() {
    for (unsigned char c : {'/', '\'', '"', '(', ')', '{', '}', ';', '#', 't', 's', 'u', '\0'})
      v[c] |= kStopCode;
    for (unsigned char c : {'\\', '\'', '"', '\n', '\0'}) v[c] |= kStopLit;
    for (unsigned char c : {'\n', '/', '\'', '"', '\0'}) v[c] |= kStopDir;
    if (double_byte)
      for (int c = 0; c < 256; ++c)
        if (byte_class[c] & kLead) v[c] |= kStopCode | kStopLit | kStopDir;
  }
};

const StopTable kDoubleByteStops(true);
const StopTable kSingleByteStops(false);

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// All capitals, digits and '_': the shape of a macro whose arguments may
// stand between a struct's tag and its body.
bool macro_like(const char *p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!((p[i] >= 'A' && p[i] <= 'Z') || is_digit(p[i]) || p[i] == '_')) return false;
  return n > 0;
}

bool word_at(const char *p, size_t n, const char *w) {
  return std::strlen(w) == n && std::memcmp(p, w, n) == 0;
}

// Bytes the walk does not start a step within, short of the text's end
// when more is to come: room for the looks of one or two bytes ahead.
const size_t kMargin = 64;

}  // namespace

CompleteScanner::CompleteScanner(const unsigned char *leads, SeamVec<RawRecord> *records,
                                 SeamVec<RawName> *names)
    : leads_(leads),
      stops_(leads[0x81] & kLead ? kDoubleByteStops.v : kSingleByteStops.v),
      records_(records),
      names_(names) {}

size_t CompleteScanner::line_end(size_t i) const {
  const void *nl = std::memchr(t_ + i, '\n', n_ - i);
  return nl == nullptr ? starved() : static_cast<size_t>(static_cast<const char *>(nl) - t_);
}

// i at the '/' of "/*"
size_t CompleteScanner::comment_end(size_t i) const {
  const void *e = i + 2 <= n_ ? memmem(t_ + i + 2, n_ - i - 2, "*/", 2) : nullptr;
  return e == nullptr ? starved() : static_cast<size_t>(static_cast<const char *>(e) - t_) + 2;
}
// A quote after a run of letters, digits, '_' and '.' that begins with a
// digit, with a letter or digit after it: 1'000, 0x1'FF.
bool CompleteScanner::digit_separator(size_t i) const {
  if (i + 1 >= n_) return starved() != n_;  // false
  if (!is_ident(t_[i + 1]) || t_[i + 1] == '_') return false;
  size_t k = i;
  while (k > 0 && (is_ident(t_[k - 1]) || t_[k - 1] == '.')) --k;
  return k < i && is_digit(t_[k]);
}

// Just past the literal that opens at i: after its closing quote, or at the
// '\n' of the line it ends with (a backslash before a '\n' joins the lines).
size_t CompleteScanner::literal_end(size_t i) const {
  const char q = t_[i];
  size_t j = i + 1;
  for (;;) {
    while (!(stops_[static_cast<unsigned char>(t_[j])] & kStopLit)) ++j;
    if (j >= n_) return starved();
    char c = t_[j];
    if (c == '\\') {
      if (j + 2 >= n_) return starved();
      j += lead_pair(j + 1) ? 3 : 2;  // the escaped byte may begin a character
    } else if (c == q) {
      return j + 1;
    } else if (c == '\n') {
      return j;
    } else if (lead_at(j)) {
      j += lead_pair(j) ? 2 : 1;
    } else {
      ++j;  // the other quote, or a NUL
    }
  }
}

// Just past the directive whose text goes on at i: after the '\n' that ends
// its last line. A comment that spans lines, or a backslash before a '\n',
// carries it on.
size_t CompleteScanner::directive_end(size_t i, bool *spliced) const {
  size_t pair_end = SIZE_MAX;  // just past the last double-byte character
  size_t j = i;
  for (;;) {
    while (!(stops_[static_cast<unsigned char>(t_[j])] & kStopDir)) ++j;
    if (j >= n_) return starved();
    char c = t_[j];
    if (c == '\n') {
      if (j > i && t_[j - 1] == '\\' && pair_end != j) {
        if (spliced != nullptr) *spliced = true;
        ++j;
        continue;
      }
      return j + 1;
    }
    if (c == '/') {
      if (t_[j + 1] == '*') {
        j = comment_end(j);
      } else if (t_[j + 1] == '/') {
        j = line_end(j);
      } else {
        ++j;
      }
    } else if (c == '"' || (c == '\'' && !digit_separator(j))) {
      j = literal_end(j);
    } else if (lead_at(j)) {
      j += lead_pair(j) ? 2 : 1;
      pair_end = j;
    } else {
      ++j;
    }
  }
}

// From i, past blanks, line ends, comments and preprocessor lines.
size_t CompleteScanner::gap(size_t i) const {
  bool line_start = false;  // only blanks since the start of a line
  for (;;) {
    while (i < n_ && is_cspace(t_[i]) && t_[i] != '\n') ++i;
    if (i + 1 >= n_) {  // the look needs the byte after too
      starved();
      if (i >= n_) return n_;
    }
    if (t_[i] == '\n') {
      ++i;
      line_start = true;
    } else if (line_start && t_[i] == '#') {
      i = directive_end(i + 1, nullptr);
    } else if (t_[i] == '/' && t_[i + 1] == '/') {
      i = line_end(i);
    } else if (t_[i] == '/' && t_[i + 1] == '*') {
      i = comment_end(i);
      line_start = false;
    } else {
      return i;
    }
  }
}

// Just past the group that opens at i, or SIZE_MAX when a ';', '{' or '}'
// (or the end) comes before it closes.
size_t CompleteScanner::group_end(size_t i, char open, char close) const {
  int depth = 0;
  while (i < n_) {
    i = gap(i);
    if (i >= n_) break;
    char c = t_[i];
    if (c == ';' || c == '{' || c == '}') return SIZE_MAX;
    if (c == '"' || (c == '\'' && !digit_separator(i))) {
      i = literal_end(i);
      continue;
    }
    i += lead_pair(i) ? 2 : 1;
    if (c == open) ++depth;
    if (c == close && --depth == 0) return i;
  }
  starved();
  return SIZE_MAX;
}

// Whether the struct or union keyword that ends at i begins a definition:
// past the tag, a group that belongs to it, attributes, and a base clause,
// a '{' comes next.
bool CompleteScanner::body_follows(size_t i, size_t *tag_off, int *tag_len) const {
  *tag_len = 0;
  bool first = true;
  for (int words = 0; words < 16; ++words) {
    i = gap(i);
    if (i >= n_) return false;
    char c = t_[i];
    if (is_ident(c) && !is_digit(c)) {
      size_t e = ident_end(t_, i, n_);
      if (e >= n_) return starved() != n_;  // the word may go on
      size_t k = gap(e);
      char next = k < n_ ? t_[k] : '\0';
      bool attribute = is_attribute_word(t_ + i, e - i);
      if (next == '(' && !first && !attribute && !macro_like(t_ + i, e - i))
        return false;  // a function's name and its parameters
      // The tag is the last plain word: `struct EXPORT name`, `struct name final`.
      if (!attribute && next != '(' && !word_at(t_ + i, e - i, "final")) {
        *tag_off = i;
        *tag_len = static_cast<int>(e - i);
      }
      first = false;
      if (next == '(' || next == '<') {
        k = group_end(k, next, next == '(' ? ')' : '>');
        if (k == SIZE_MAX) return false;
      }
      i = k;
      continue;
    }
    first = false;
    if (c == ':' && t_[i + 1] == ':') {
      i += 2;
      continue;
    }
    if (c == ':') {  // a base clause: its parentheses count for nothing
      for (++i;;) {
        i = gap(i);
        if (i >= n_) return false;
        c = t_[i];
        if (c == '{') return true;
        if (c == ';' || c == '}') return false;
        if (c == '"' || c == '\'')
          i = literal_end(i);
        else
          i += lead_pair(i) ? 2 : 1;
      }
    }
    return c == '{';
  }
  return false;
}

// Where a definition whose last byte is before i ends: after the rest of
// its line when only blanks and comments stand there, else at i.
size_t CompleteScanner::trailing(size_t i) const {
  size_t j = i;
  for (;;) {
    while (j < n_ && is_blank(t_[j])) ++j;
    if (j + 1 >= n_) {
      starved();
      if (j >= n_) return n_;
    }
    if (t_[j] == '\n') return j + 1;
    if (t_[j] == '/' && t_[j + 1] == '/') {
      size_t e = line_end(j);
      return e < n_ ? e + 1 : n_;
    }
    if (t_[j] == '/' && t_[j + 1] == '*') {
      size_t e = comment_end(j);
      if (e > line_end(j)) return i;  // a comment that goes on past the line
      j = e;
      continue;
    }
    return i;
  }
}

bool CompleteScanner::if0_expression(size_t i) const {
  while (i < n_ && is_blank(t_[i])) ++i;  // within the directive, whole by now
  if (i >= n_ || t_[i] != '0') return false;
  ++i;
  return i >= n_ || !(is_ident(t_[i]) || t_[i] == '.' || t_[i] == '\'');
}

void CompleteScanner::open(DefKind kind, size_t begin, size_t tag_off, int tag_len) {
  ok_ = ok_ && open_.push({kind, begin, brace_, false, false, seq_++, tag_off, tag_len});
}

// The innermost open definition ends at end; semi is its ';' or SIZE_MAX.
void CompleteScanner::close(size_t end, size_t semi) {
  Open o = open_.back();
  open_.pop();
  if (o.seq < floor_ || !ok_) return;  // opened outside the branch that closes it
  RawRecord r{o.kind, 0, o.begin, end, semi, names_->size(), 0};
  if (o.kind == DefKind::kTypedef) {
    bool body = false;
    ok_ = typedef_names(t_, o.begin + 7, semi != SIZE_MAX ? semi + 1 : end, leads_, names_, &body,
                        &tokens_);
    r.bit = body ? TD_BLOCK : TD_SIMPLE;
  } else {
    r.bit = o.kind == DefKind::kStruct ? SU_STRUCT : SU_UNION;
    if (o.tag_len > 0) ok_ = names_->push({o.tag_off, o.tag_len, o.kind});
  }
  r.name_count = static_cast<uint32_t>(names_->size() - r.names_from);
  ok_ = ok_ && records_->push(r);
}

void CompleteScanner::save_open(size_t *from, size_t *to) {
  *from = pool_.size();
  ok_ = ok_ && pool_.append(open_);
  *to = pool_.size();
}

void CompleteScanner::cond_push(bool if0) {
  Cond c{};
  c.brace = brace_;
  c.paren = paren_;
  save_open(&c.snap_a, &c.snap_b);
  c.if0 = if0;
  c.counted = !if0;
  c.outer_floor = floor_;
  if (if0) ++no_code_;
  ok_ = ok_ && conds_.push(c);
}

void CompleteScanner::cond_else() {
  if (conds_.empty()) return;
  Cond &c = conds_.back();
  if (c.if0) {
    --no_code_;
    c.if0 = false;
  }
  if (c.counted) {  // the counted branch ends here: keep where it left things
    c.counted_brace = brace_;
    c.counted_paren = paren_;
    save_open(&c.snap_c, &c.snap_d);
    c.counted = false;
    c.counted_done = true;
  }
  if (c.counted_done) {  // a later branch starts from the #if's state
    brace_ = c.brace;
    paren_ = c.paren;
    ok_ = ok_ && open_.assign(pool_.begin() + c.snap_a, c.snap_b - c.snap_a);
    floor_ = seq_;
  } else {
    c.counted = true;  // the first branch that is not #if 0
  }
}

void CompleteScanner::cond_end() {
  if (conds_.empty()) return;
  Cond c = conds_.back();
  conds_.pop();
  if (c.if0) --no_code_;
  if (c.counted_done) {
    brace_ = c.counted_brace;
    paren_ = c.counted_paren;
    ok_ = ok_ && open_.assign(pool_.begin() + c.snap_c, c.snap_d - c.snap_c);
  }
  floor_ = c.outer_floor;
  pool_.resize_down(c.snap_a);
}

// The directive whose '#' is at h; returns where the code goes on.
size_t CompleteScanner::directive(size_t h) {
  size_t w = h + 1;
  while (w < n_ && is_cspace(t_[w]) && t_[w] != '\n') ++w;
  size_t we = ident_end(t_, w, n_);
  bool spliced = false;
  size_t end = directive_end(we, &spliced);
  if (hungry_) return h;
  const char *p = t_ + w;
  size_t len = we - w;
  if (word_at(p, len, "define")) {
    if (we < n_ && is_cspace(t_[we])) {
      size_t name = we;
      while (name < n_ && is_blank(t_[name])) ++name;
      size_t ne = ident_end(t_, name, n_);
      if (ne > name && !is_digit(t_[name])) {
        RawRecord r{DefKind::kDefine, spliced ? DEF_CONT : DEF_SINGLE, h, end, SIZE_MAX,
                    names_->size(), 1};
        ok_ = ok_ && names_->push({name, static_cast<int>(ne - name), DefKind::kDefine}) &&
              records_->push(r);
      }
    }
  } else if (word_at(p, len, "if")) {
    cond_push(if0_expression(we));
  } else if (word_at(p, len, "ifdef") || word_at(p, len, "ifndef")) {
    cond_push(false);
  } else if (word_at(p, len, "elif")) {
    cond_else();
  } else if (word_at(p, len, "else")) {
    cond_else();
  } else if (word_at(p, len, "endif")) {
    cond_end();
  }
  return end;
}

// A word that starts with 't', 's' or 'u' at i (or such a byte inside one);
// returns the place after it.
size_t CompleteScanner::word(size_t i) {
  if (i > 0 && is_ident(t_[i - 1])) return ident_end(t_, i, n_);  // inside a longer word
  size_t e = ident_end(t_, i, n_);
  if (e >= n_ && starved() == n_ && hungry_) return i;
  if (no_code_ > 0) return e;
  const char *p = t_ + i;
  size_t len = e - i;
  if (word_at(p, len, "typedef")) {
    open(DefKind::kTypedef, i, 0, 0);
    return e;
  }
  bool su = word_at(p, len, "struct");
  if (!su && !word_at(p, len, "union")) return e;
  if (paren_ > 0) return e;  // a parameter's or a cast's type
  if (!open_.empty()) {
    Open &top = open_.back();
    if (top.kind == DefKind::kTypedef && !top.body && !top.su_head && top.depth == brace_) {
      top.su_head = true;  // the typedef's own struct or union
      return e;
    }
  }
  size_t tag_off = 0;
  int tag_len = 0;
  const bool body = body_follows(e, &tag_off, &tag_len);
  if (hungry_) return i;
  if (body) open(su ? DefKind::kStruct : DefKind::kUnion, i, tag_off, tag_len);
  return e;
}

void CompleteScanner::punct(size_t i) {
  switch (t_[i]) {
    case '(':
      ++paren_;
      break;
    case ')':
      if (paren_ > 0) --paren_;
      break;
    case '{':
      paren_ = 0;
      if (!open_.empty() && open_.back().depth == brace_) open_.back().body = true;
      ++brace_;
      break;
    case '}':
      paren_ = 0;
      --brace_;
      while (!open_.empty() && brace_ < open_.back().depth) close(i, SIZE_MAX);
      break;
    case ';': {
      paren_ = 0;
      if (open_.empty() || open_.back().depth != brace_) break;
      const size_t end = trailing(i + 1);
      if (hungry_) break;
      while (!open_.empty() && open_.back().depth == brace_ &&
             (open_.back().kind == DefKind::kTypedef || open_.back().body))
        close(end, i);
      break;
    }
  }
}

bool CompleteScanner::scan(const char *text, size_t size, bool at_end) {
  t_ = text;
  n_ = size;
  at_end_ = at_end;
  hungry_ = false;
  size_t i = at_;
  while (ok_) {
    while (!(stops_[static_cast<unsigned char>(t_[i])] & kStopCode)) ++i;
    if (i >= n_) break;
    if (!at_end_ && i + kMargin > n_) break;  // the rest waits for more text
    const size_t step = i;
    const char c = t_[i];
    switch (c) {
      case '\0':
        ++i;
        break;
      case '/':
        if (t_[i + 1] == '/')
          i = line_end(i);
        else if (t_[i + 1] == '*')
          i = comment_end(i);
        else
          ++i;
        break;
      case '"':
        i = literal_end(i);
        break;
      case '\'':
        i = digit_separator(i) ? i + 1 : literal_end(i);
        break;
      case '#': {
        size_t k = i;
        while (k > 0 && is_blank(t_[k - 1])) --k;
        i = k == 0 || t_[k - 1] == '\n' ? directive(i) : i + 1;
        break;
      }
      case 't':
      case 's':
      case 'u':
        i = word(i);
        break;
      default:
        if (lead_at(i)) {
          i += lead_pair(i) ? 2 : 1;
        } else {
          if (no_code_ == 0) punct(i);
          ++i;
        }
        break;
    }
    if (hungry_) {  // the step is taken again with more text
      i = step;
      break;
    }
  }
  at_ = i < n_ ? i : n_;
  if (at_end_)
    while (ok_ && !open_.empty()) close(n_, SIZE_MAX);
  return ok_;
}

size_t CompleteScanner::open_from() const {
  size_t from = SIZE_MAX;
  for (size_t k = 0; k < open_.size(); ++k) from = std::min(from, open_[k].begin);
  for (size_t k = 0; k < pool_.size(); ++k) from = std::min(from, pool_[k].begin);
  return from;
}

size_t CompleteScanner::keep() const {
  size_t from = std::min(at_, open_from());
  while (from > 0 && t_[from - 1] != '\n') --from;
  return from;
}

void CompleteScanner::shift(size_t by) {
  at_ -= by;
  for (SeamVec<Open> *v : {&open_, &pool_})
    for (size_t k = 0; k < v->size(); ++k) {
      (*v)[k].begin -= by;
      if ((*v)[k].tag_len > 0) (*v)[k].tag_off -= by;
    }
  for (size_t k = 0; k < records_->size(); ++k) {
    RawRecord &r = (*records_)[k];
    r.begin -= by;
    r.end -= by;
    if (r.semi != SIZE_MAX) r.semi -= by;
  }
  for (size_t k = 0; k < names_->size(); ++k) (*names_)[k].off -= by;
}

bool complete_scan(const char *text, size_t size, const unsigned char *leads,
                   SeamVec<RawRecord> *records, SeamVec<RawName> *names) {
  CompleteScanner scanner(leads, records, names);
  return scanner.scan(text, size, true);
}

}  // namespace kolvu
