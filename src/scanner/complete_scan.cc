// The complete mode's walk: one pass over the text, stopping only at the
// bytes that can change something (found through a 256-entry table per
// state), with a stack of the definitions open at the current place and a
// stack of the conditional groups around it.
#include "scanner/complete_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/declarations.h"
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
                                 SeamVec<RawName> *names, int kinds)
    : leads_(leads),
      records_(records),
      names_(names),
      all_((kinds & kDeclarationKinds) != 0),
      stops_(lex::kCodeStops.v[all_ ? 1 : 0]),
      decl_from_(all_ ? 0 : SIZE_MAX) {}

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
  } else if (o.kind == DefKind::kFunction) {
    r.bit = FN_BODY;
    ok_ = ok_ && names_->push({o.tag_off, o.tag_len, o.kind});
  } else {
    r.bit = o.kind == DefKind::kStruct ? SU_STRUCT : o.kind == DefKind::kUnion ? SU_UNION : EN_TYPE;
    if (o.tag_len > 0) ok_ = ok_ && names_->push({o.tag_off, o.tag_len, o.kind});
  }
  if (all_ && ok_ && o.kind != DefKind::kFunction) {
    // An anonymous struct or union in another's body: its members are the
    // holder's, read when that closes.
    const bool deferred = o.kind != DefKind::kTypedef && o.kind != DefKind::kEnum &&
                          o.tag_len == 0 && !open_.empty() && open_.back().body &&
                          open_.back().kind != DefKind::kFunction &&
                          open_.back().kind != DefKind::kEnum;
    body_names(o, r.names_from, deferred);
  }
  r.name_count = static_cast<uint32_t>(names_->size() - r.names_from);
  ok_ = ok_ && records_->push(r);
}

void CompleteScanner::save_open(size_t *from, size_t *to) {
  *from = pool_.size();
  ok_ = ok_ && pool_.append(open_);
  *to = pool_.size();
}

void CompleteScanner::cond_push(bool if0, size_t h, size_t end) {
  Cond c{};
  c.brace = brace_;
  c.paren = paren_;
  save_open(&c.snap_a, &c.snap_b);
  c.outer_floor = floor_;
  c.linkage = linkage_;
  c.decl_from = decl_from_;
  c.decl_started = decl_from_ != SIZE_MAX && decl_from_ <= h;
  if (if0 && all_) {
    // Read as a later branch is: a name there is a definition, and what its
    // braces do is undone at its end.
    c.if0_code = true;
    floor_ = seq_;
    decl_restart(c, end);
  } else {
    c.if0 = if0;
    c.counted = !if0;
    if (if0) ++no_code_;
  }
  ok_ = ok_ && conds_.push(c);
}

// The state at the #if again, for a branch that does not count.
void CompleteScanner::restore_if(const Cond &c) {
  brace_ = c.brace;
  paren_ = c.paren;
  linkage_ = c.linkage;
  ok_ = ok_ && open_.assign(pool_.begin() + c.snap_a, c.snap_b - c.snap_a);
}

// A branch begins after the line that ends at end: a declaration at file
// scope begins there, or, one having begun before the #if, the first one
// ended in the branch is none.
void CompleteScanner::decl_restart(const Cond &c, size_t end) {
  if (c.decl_from == SIZE_MAX) {
    decl_from_ = SIZE_MAX;
    return;
  }
  decl_from_ = end;
  decl_skip_ = c.decl_started;
}

void CompleteScanner::cond_else(size_t end, bool fresh) {
  if (conds_.empty()) return;
  Cond &c = conds_.back();
  if (c.if0) {
    --no_code_;
    c.if0 = false;
  }
  if (c.if0_code) {  // the #if 0 branch read as code leaves nothing behind
    restore_if(c);
    floor_ = c.outer_floor;
    decl_restart(c, end);
    c.if0_code = false;
  }
  if (c.counted) {  // the counted branch ends here: keep where it left things
    c.counted_brace = brace_;
    c.counted_paren = paren_;
    c.counted_linkage = linkage_;
    c.counted_decl = fresh ? SIZE_MAX - 1 : decl_from_;  // SIZE_MAX - 1: after the #endif
    c.counted_skip = decl_skip_;
    save_open(&c.snap_c, &c.snap_d);
    c.counted = false;
    c.counted_done = true;
  }
  if (c.counted_done) {  // a later branch starts from the #if's state
    restore_if(c);
    decl_restart(c, end);
    floor_ = seq_;
  } else {
    c.counted = true;  // the first branch that is not #if 0
    if (fresh) decl_from_ = end;
  }
}

void CompleteScanner::cond_end(size_t end, bool fresh) {
  if (conds_.empty()) return;
  Cond c = conds_.back();
  conds_.pop();
  if (c.if0) --no_code_;
  if (c.if0_code) {
    restore_if(c);
    decl_restart(c, end);
  } else if (c.counted_done) {
    brace_ = c.counted_brace;
    paren_ = c.counted_paren;
    linkage_ = c.counted_linkage;
    decl_from_ = c.counted_decl == SIZE_MAX - 1 ? end : c.counted_decl;
    decl_skip_ = c.counted_skip;
    ok_ = ok_ && open_.assign(pool_.begin() + c.snap_c, c.snap_d - c.snap_c);
  }
  else if (fresh)
    decl_from_ = end;
  floor_ = c.outer_floor;
  pool_.resize_down(c.snap_a);
}

// Only blanks, line ends and comments stand in [from, to).
bool CompleteScanner::only_gap(size_t from, size_t to) const {
  size_t i = from;
  while (i < to) {
    if (is_cspace(t_[i])) {
      ++i;
    } else if (t_[i] == '/' && t_[i + 1] == '/') {
      i = lex::line_end(t_, i, to);
    } else if (t_[i] == '/' && t_[i + 1] == '*') {
      i = lex::block_comment_end(t_, i, to);
    } else {
      return false;
    }
  }
  return true;
}

// A '{' at file scope, the declaration at hand before it: a function's
// body, an initializer's braces, extern "C" { or another block.
void CompleteScanner::file_brace(size_t i) {
  DeclShape shape = DeclShape::kNone;
  size_t begin = 0, name_off = 0;
  int name_len = 0;
  if (!decl_skip_)
    ok_ = ok_ && read_declaration(t_, decl_from_, i, true, leads_, owner(), names_, &shape,
                                  &begin, &name_off, &name_len, &tokens_);
  decl_skip_ = false;
  switch (shape) {
    case DeclShape::kLinkage:
      if (brace_ >= 0 && brace_ < 64) {
        linkage_ |= uint64_t{1} << brace_;
        owner_[brace_] = name_len > 0 ? owner_key(t_ + name_off, static_cast<size_t>(name_len)) : 0;
      }
      decl_from_ = i + 1;
      break;
    case DeclShape::kFunction:
      open(DefKind::kFunction, begin, name_off, name_len);
      if (ok_) {
        open_.back().body = true;
        open_.back().body_from = i;
      }
      decl_from_ = SIZE_MAX;
      break;
    case DeclShape::kInitializer:
      break;
    default:
      decl_from_ = SIZE_MAX;  // a block of some macro's: what follows it begins anew
      break;
  }
}

// The ';' at semi ends the declaration at hand at file scope (its record
// ends at end): its prototypes, variables and extern declarations.
void CompleteScanner::declaration_ends(size_t semi, size_t end) {
  const bool skip = decl_skip_;
  decl_skip_ = false;
  if (!skip) {
    DeclShape shape = DeclShape::kNone;
    size_t begin = 0, name_off = 0;
    int name_len = 0;
    const size_t from = names_->size();
    ok_ = ok_ && read_declaration(t_, decl_from_, semi, false, leads_, owner(), names_, &shape,
                                  &begin, &name_off, &name_len, &tokens_);
    if (shape == DeclShape::kKnrPending) return;  // its body is to come
    const uint32_t count = static_cast<uint32_t>(names_->size() - from);
    if (ok_ && count > 0) {
      const DefKind kind = (*names_)[from].kind;
      const int bit = kind == DefKind::kPrototype ? FN_PROTO
                      : kind == DefKind::kExtern  ? VAR_EXTERN
                                                  : VAR_DEF;
      ok_ = records_->push({kind, bit, begin, end, semi, from, count});
    }
  }
  decl_from_ = semi + 1;
}

// The members or enumeration constants of a closed record with a body
// (none when deferred to the record holding it), after its own names from
// names_from, all in the order of the source.
void CompleteScanner::body_names(const Open &o, size_t names_from, bool deferred) {
  if (deferred || o.body_from == SIZE_MAX || o.body_to == SIZE_MAX || o.body_to <= o.body_from)
    return;
  DefKind body_kind = o.kind;
  RawName scope{0, 0, o.kind};
  if (o.tag_len > 0) {
    scope.off = o.tag_off;
    scope.len = o.tag_len;
  }
  if (o.kind == DefKind::kTypedef) {
    // What the typedef defines, and its first name as the scope of an
    // anonymous one; an enum's tag is a name of the typedef's too.
    body_kind = DefKind::kTypedef;
    size_t keyword = SIZE_MAX, body = SIZE_MAX;
    int depth = 0;  // inside an attribute's group
    for (size_t k = 0; k < tokens_.size(); ++k) {
      const TypedefToken &tok = tokens_[k];
      if (tok.off >= o.body_from) {
        body = k;
        break;
      }
      depth += tok.c == '(' ? 1 : tok.c == ')' && depth > 0 ? -1 : 0;
      if (tok.c != 'i' || depth > 0 || body_kind != DefKind::kTypedef) continue;
      if (word_is(t_ + tok.off, tok.len, "enum")) body_kind = DefKind::kEnum;
      else if (word_is(t_ + tok.off, tok.len, "struct")) body_kind = DefKind::kStruct;
      else if (word_is(t_ + tok.off, tok.len, "union")) body_kind = DefKind::kUnion;
      if (body_kind != DefKind::kTypedef) keyword = k;
    }
    if (body_kind == DefKind::kTypedef) return;
    for (size_t k = names_from; k < names_->size(); ++k) {
      const RawName &n = (*names_)[k];
      if (n.kind == DefKind::kTypedef && scope.len == 0) scope = {n.off, n.len, DefKind::kTypedef};
      if (n.kind == body_kind) scope = {n.off, n.len, body_kind};  // a struct's tag
    }
    size_t tag_off = 0, tag_len = 0;
    if (body_kind == DefKind::kEnum && keyword != SIZE_MAX && body != SIZE_MAX &&
        head_tag(t_, tokens_, keyword, body, &tag_off, &tag_len)) {
      const RawName tag{tag_off, static_cast<int>(tag_len), DefKind::kEnum};
      ok_ = ok_ && names_->push(tag);
      scope = tag;
    }
  }
  if (body_kind == DefKind::kEnum)
    ok_ = ok_ && enumerator_names(t_, o.body_from, o.body_to, leads_, scope, names_, &tokens_);
  else
    ok_ = ok_ && member_names(t_, o.body_from, o.body_to, leads_, scope, names_, &tokens_);
  if (ok_)
    std::sort(names_->begin() + names_from, names_->begin() + names_->size(),
              [](const RawName &a, const RawName &b) { return a.off < b.off; });
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
  // Only blanks and comments since the declaration at hand began: it begins
  // after this line (a branch's end decides for the branch it returns to).
  const bool fresh = all_ && decl_from_ != SIZE_MAX && only_gap(decl_from_, h);
  const lex::Directive kind = lex::directive_kind(t_ + w, we - w);
  if (fresh && kind != lex::Directive::kElif && kind != lex::Directive::kElse &&
      kind != lex::Directive::kEndif)
    decl_from_ = end;
  switch (kind) {
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
      cond_push(lex::if0_expression(t_, we, end), h, end);
      break;
    case lex::Directive::kIfdef:
    case lex::Directive::kIfndef:
      cond_push(false, h, end);
      break;
    case lex::Directive::kElif:
    case lex::Directive::kElse:
      cond_else(end, fresh);
      break;
    case lex::Directive::kEndif:
      cond_end(end, fresh);
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
  const bool en = all_ && word_is(p, len, "enum");
  if (!su && !en && !word_is(p, len, "union")) return e;
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
  if (body) open(su ? DefKind::kStruct : en ? DefKind::kEnum : DefKind::kUnion, i, tag_off, tag_len);
  return e;
}

// A '}' when the declarations are read: it also ends a function's body
// (whose record takes the rest of the line), notes where a body ends, and
// leaves extern "C" { ... }.
void CompleteScanner::brace_closes(size_t i) {
  const bool function = !open_.empty() && open_.back().kind == DefKind::kFunction &&
                        open_.back().depth == brace_ - 1;
  const size_t end = function ? trailing(i + 1) : 0;
  if (hungry_) return;
  paren_ = 0;
  --brace_;
  if (!open_.empty() && open_.back().depth == brace_ && open_.back().body_to == SIZE_MAX)
    open_.back().body_to = i;
  while (!open_.empty() && brace_ < open_.back().depth) close(i, SIZE_MAX);
  if (function && !open_.empty() && open_.back().kind == DefKind::kFunction &&
      open_.back().depth == brace_)
    close(end, SIZE_MAX);
  if (brace_ >= 0 && brace_ < 64) {
    const bool linkage = (linkage_ >> brace_) & 1;
    linkage_ &= (uint64_t{1} << brace_) - 1;
    if (at_file() && (decl_from_ == SIZE_MAX || linkage)) decl_from_ = i + 1;
  }
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
      if (!open_.empty() && open_.back().depth == brace_) {
        Open &o = open_.back();
        if (all_ && !o.body) o.body_from = i;
        o.body = true;
      } else if (all_ && decl_from_ != SIZE_MAX && at_file()) {
        file_brace(i);
      }
      ++brace_;
      break;
    case '}':
      if (all_) {
        brace_closes(i);
        break;
      }
      paren_ = 0;
      --brace_;
      while (!open_.empty() && brace_ < open_.back().depth) close(i, SIZE_MAX);
      break;
    case ';': {
      paren_ = 0;
      const bool file = all_ && decl_from_ != SIZE_MAX && at_file();
      if (!file && (open_.empty() || open_.back().depth != brace_)) break;
      const size_t end = trailing(i + 1);
      if (hungry_) break;
      while (!open_.empty() && open_.back().depth == brace_ &&
             (open_.back().kind == DefKind::kTypedef || open_.back().body))
        close(end, i);
      if (file) declaration_ends(i, end);
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
  const bool *const stops = stops_;
  const char *const t = t_;
  while (ok_) {
    for (;; ++i) {  // the zero after the text stops the walk too
      while (!stops[static_cast<unsigned char>(t[i])]) ++i;
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
      case 'e':
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
  if (all_) {  // a declaration may begin there, and is read from there
    from = std::min(from, decl_from_);
    for (size_t k = 0; k < conds_.size(); ++k)
      from = std::min({from, conds_[k].decl_from,
                       conds_[k].counted_done ? conds_[k].counted_decl : SIZE_MAX});
  }
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
  auto down = [by](size_t *at) {
    if (*at != SIZE_MAX) *at -= by;
  };
  for (SeamVec<Open> *v : {&open_, &pool_})
    for (size_t k = 0; k < v->size(); ++k) {
      (*v)[k].begin -= by;
      if ((*v)[k].tag_len > 0) (*v)[k].tag_off -= by;
      down(&(*v)[k].body_from);
      down(&(*v)[k].body_to);
    }
  down(&decl_from_);
  for (size_t k = 0; k < conds_.size(); ++k) {
    down(&conds_[k].decl_from);
    if (conds_[k].counted_done && conds_[k].counted_decl < SIZE_MAX - 1) down(&conds_[k].counted_decl);
  }
  for (size_t k = 0; k < records_->size(); ++k) {
    RawRecord &r = (*records_)[k];
    r.begin -= by;
    r.end -= by;
    if (r.semi != SIZE_MAX) r.semi -= by;
  }
  for (size_t k = 0; k < names_->size(); ++k) {
    (*names_)[k].off -= by;
    if ((*names_)[k].scope_len > 0) (*names_)[k].scope_off -= by;
  }
}

bool complete_scan(const char *text, size_t size, const unsigned char *leads,
                   SeamVec<RawRecord> *records, SeamVec<RawName> *names, int kinds) {
  CompleteScanner scanner(leads, records, names, kinds);
  return scanner.scan(text, size, true);
}

}  // namespace kolvu
