// The complete mode's walk: one pass over the text, stopping only at the
// bytes that can change something (found through a 256-entry table per
// state), with a stack of the definitions open at the current place and a
// stack of the conditional groups around it.
#include "scanner/complete_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/lexer.h"
#include "scanner/tag_head.h"

namespace kolvu {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

using lex::word_is;

// Bytes the walk does not start a step within, short of the text's end
// when more is to come: room for the looks of one or two bytes ahead.
const size_t kMargin = 64;

}  // namespace

CompleteScanner::CompleteScanner(const unsigned char *leads, SeamVec<RawRecord> *records,
                                 SeamVec<RawName> *names)
    : leads_(leads),
      records_(records),
      names_(names) {}

size_t CompleteScanner::line_end(size_t i) const { return more_or(lex::line_end(t_, i, n_)); }

// i at the '/' of "/*"
size_t CompleteScanner::comment_end(size_t i) const {
  return more_or(lex::block_comment_end(t_, i, n_));
}

bool CompleteScanner::digit_separator(size_t i) const {
  if (i + 1 >= n_) return starved() != n_;  // false
  return lex::digit_separator(leads_, t_, t_ + i, t_ + n_);
}

size_t CompleteScanner::literal_end(size_t i) const {
  return more_or(lex::literal_end(leads_, t_, i, n_));
}

size_t CompleteScanner::directive_end(size_t i, bool *spliced) const {
  return more_or(lex::directive_end(leads_, t_, 0, i, n_, spliced));
}

// Only blanks, and comments that began on this line's start or an earlier
// line, stand before i on its line: a '#' there begins a directive.
bool CompleteScanner::line_start_before(size_t i) const {
  size_t k = i;
  while (k > 0 && is_blank(t_[k - 1])) --k;
  return k == 0 || t_[k - 1] == '\n' || k == hash_ok_at_;
}

void CompleteScanner::comment_passed(size_t b, size_t e) {
  if (e > n_) return;
  if (line_start_before(b) || std::memchr(t_ + b, '\n', e - b) != nullptr) hash_ok_at_ = e;
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
    } else if (line_start && lex::hash_length(t_, i, n_, true) > 0) {
      i = directive_end(i + lex::hash_length(t_, i, n_, true), nullptr);
    } else if (t_[i] == '/' && t_[i + 1] == '/') {
      i = line_end(i);
    } else if (t_[i] == '/' && t_[i + 1] == '*') {
      const size_t e = comment_end(i);
      line_start = line_start || std::memchr(t_ + i, '\n', e - i) != nullptr;
      i = e;
    } else {
      return i;
    }
  }
}

// Whether the struct or union keyword that ends at i begins a definition
// (the lookups' reading of a struct's head), and its tag.
bool CompleteScanner::body_follows(size_t i, size_t *tag_off, int *tag_len) const {
  lex::TagHead head(lex::HeadPolicy::kStrict);
  int found = lex::TagHead::kMore;
  while (found == lex::TagHead::kMore) {
    i = gap(i);
    if (i >= n_) return false;
    const char c = t_[i];
    const size_t e = head.name_end(t_, i, n_);
    if (e > i) {
      if (e >= n_) return starved() != n_;  // the word may go on
      found = head.name(t_ + i, e - i, i);
      i = e;
    } else if ((c == '"' || (c == '\'' && !digit_separator(i))) && head.passes_literals()) {
      i = literal_end(i);
    } else if (const char brace = lex::brace_spelled(t_, i, n_)) {
      int used = 1;
      found = head.byte(brace, '\0', &used);
      i += c == '?' ? 3 : 2;
    } else {
      int used = 1;
      found = head.byte(c, t_[i + 1], &used);
      i = used == 2 ? i + 2 : lex::code_step(leads_, t_, i, n_);
    }
  }
  *tag_off = head.tag_off();
  *tag_len = static_cast<int>(head.tag_len());
  return found == '{';
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

// The directive whose introducer ('#', "%:" or "??=", hash_len bytes) is at
// h; returns where the code goes on.
size_t CompleteScanner::directive(size_t h, size_t hash_len) {
  size_t w = h + hash_len;
  while (w < n_ && is_cspace(t_[w]) && t_[w] != '\n') ++w;
  size_t we = ident_end(t_, w, n_);
  bool spliced = false;
  size_t end = directive_end(we, &spliced);
  if (hungry_) return h;
  // The name a #define or a `#pragma weak` defines.
  auto define = [&](size_t name, int bit) {
    while (name < n_ && is_blank(t_[name])) ++name;
    size_t ne = lex::name_end(t_, name, n_);
    if (ne == name || is_digit(t_[name])) return;
    RawRecord r{DefKind::kDefine, bit, h, end, SIZE_MAX, names_->size(), 1};
    ok_ = ok_ && names_->push({name, static_cast<int>(ne - name), DefKind::kDefine}) &&
          records_->push(r);
  };
  switch (lex::directive_kind(t_ + w, we - w)) {
    case lex::Directive::kDefine:
      if (we < n_ && is_cspace(t_[we])) define(we, spliced ? DEF_CONT : DEF_SINGLE);
      break;
    case lex::Directive::kPragma: {  // #pragma weak NAME [= OTHER]: NAME is defined there
      size_t k = we;
      while (k < n_ && is_blank(t_[k])) ++k;
      size_t ke = ident_end(t_, k, n_);
      if (word_is(t_ + k, ke - k, "weak") && ke < n_ && is_blank(t_[ke]))
        define(ke, spliced ? DEF_CONT : DEF_SINGLE);
      break;
    }
    case lex::Directive::kIf:
      cond_push(lex::if0_expression(t_, we, end));
      break;
    case lex::Directive::kIfdef:
    case lex::Directive::kIfndef:
      cond_push(false);
      break;
    case lex::Directive::kElif:
    case lex::Directive::kElse:
      cond_else();
      break;
    case lex::Directive::kEndif:
      cond_end();
      break;
    default:
      break;
  }
  return end;
}

// A word that starts with 't', 's' or 'u' at i (or such a byte inside one);
// returns the place after it.
size_t CompleteScanner::word(size_t i) {
  if (i > 0 && lex::is(t_[i - 1], lex::kNameByte)) return lex::name_end(t_, i, n_);  // inside a longer word
  size_t e = lex::name_end(t_, i, n_);
  if (e >= n_ && starved() == n_ && hungry_) return i;
  if (no_code_ > 0) return e;
  const char *p = t_ + i;
  size_t len = e - i;
  if (word_is(p, len, "typedef")) {
    // A type follows the keyword, after a blank or a comment: F(typedef)
    // declares nothing.
    if (e < n_ && (is_cspace(t_[e]) || t_[e] == '/')) open(DefKind::kTypedef, i, 0, 0);
    return e;
  }
  bool su = word_is(p, len, "struct");
  if (!su && !word_is(p, len, "union")) return e;
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

void CompleteScanner::punct(size_t i, char c) {
  switch (c) {
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
    for (;; ++i) {  // the zero after the text stops the walk too
      while (!lex::is(t_[i], lex::kCodeStop)) ++i;
      if (static_cast<unsigned char>(t_[i]) < 0x80 || lex::lead(leads_, t_[i])) break;
    }
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
        else if (t_[i + 1] == '*') {
          i = comment_end(i);
          if (!hungry_) comment_passed(step, i);
        } else
          ++i;
        break;
      case '"':
        i = literal_end(i);
        break;
      case '\'':
        i = digit_separator(i) ? i + 1 : literal_end(i);
        break;
      case '#':
      case '%':
      case '?':
      case '<': {
        // A directive's introducer first on its line; C's other spellings
        // of braces: <% %> and ??< ??>.
        const size_t h = lex::hash_length(t_, i, n_, true);
        const char brace = lex::brace_spelled(t_, i, n_);
        if (h > 0 && line_start_before(i)) {
          i = directive(i, h);
        } else if (brace != 0) {
          if (no_code_ == 0) punct(i, brace);
          i += c == '?' ? 3 : 2;
        } else {
          ++i;
        }
        break;
      }
      case 't':
      case 's':
      case 'u':
        i = word(i);
        break;
      default:
        if (lex::lead(leads_, c)) {
          i = lex::code_step(leads_, t_, i, n_);
        } else {
          if (no_code_ == 0) punct(i, c);
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
  hash_ok_at_ = hash_ok_at_ != SIZE_MAX && hash_ok_at_ >= by ? hash_ok_at_ - by : SIZE_MAX;
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
