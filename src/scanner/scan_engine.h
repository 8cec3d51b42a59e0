// The definition scanner's engine.
//
// Each line is examined by a small state machine: it follows comments and
// literals, parentheses and braces, recognizes the start of a definition
// while idle, copies a definition's bytes while one is open, and ends a
// definition at a ';' outside braces. Most bytes can change nothing in the
// state they are met in: the scanner compares a vector of bytes at a time to
// find the next one that can, counting the parentheses it passes, and takes
// lines in which nothing can happen (comment text, plain code between
// definitions, plain lines of a body being written) whole, several at a time.
// What it writes goes out as slices of the input, not byte by byte.
//
// Whether a byte is the second byte of a double-byte character depends only
// on the bytes of the line before it, so it is worked out on demand, where
// it matters: at a backslash inside a literal, at a brace inside a
// definition, and at the end of a line.
//
// The engine is built twice: for the baseline processor, and on x86-64 for
// processors with AVX2, where a vector holds 32 bytes instead of 16;
// scanner.cc picks one when the tool starts. Without vector instructions a
// table of the bytes that matter in each state does the same work.
//
// What the engine writes goes to a sink: for the tool, standard output (or
// the buffer of a scan ahead); for the library, records. The record sink
// also hears where each definition's text begins and ends, and what its
// name is; that bookkeeping is compiled only into the record build, so the
// tool pays nothing for it and writes the very bytes the records hold.
#ifndef KOLVU_SCANNER_SCAN_ENGINE_H_
#define KOLVU_SCANNER_SCAN_ENGINE_H_

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kolvu/bytes.h"
#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "kolvu/mem.h"
#include "kolvu/textio.h"
#include "scanner/engine_capture.h"
#include "scanner/engine_far_look.h"
#include "scanner/engine_out_sink.h"
#include "scanner/engine_runs.h"
#include "scanner/engine_vector.h"
#include "scanner/line_limit.h"
#include "scanner/name_index.h"
#include "scanner/record_sink.h"
#include "scanner/scanner.h"

namespace kolvu {
namespace {

enum Emit { IDLE, IN_DEFINE, IN_TYPEDEF, IN_BLOCK };

bool at(const char *s, const char *word, size_t n) { return std::memcmp(s, word, n) == 0; }

template <class Sink>
class Scanner {
 public:
  Scanner(const ScanSetup &setup, Capture *capture, Sink &sink)
      : name_(setup.name),
        mask_(setup.mask),
        banner_(setup.banner),
        names_(setup.names),
        has_list_(setup.names != nullptr && setup.names->entries() > 0),
        leads_(setup.leads),
        capture_buf_(capture),
        sink_(sink),
        far_(setup.leads) {}

  // Something did not fit (a scan ahead's output or capture, or memory for
  // the library), and the scan must end.
  bool failed() const { return sink_.failed() || capture_buf_->overflow; }

  // The window lines are cut from; for records, the whole text. rest: the
  // text ends at hi.
  void set_window(const char *lo, const char *hi, bool rest) {
    window_lo_ = lo;
    window_hi_ = hi;
    rest_ = rest;
    far_.forget();
    sink_.set_window(lo, hi);
  }
  void flush_held() { sink_.flush(); }

  // A line of len bytes of the window whose text (up to its first NUL) is tl
  // bytes long; the window's slack follows it.
  void scan_line(const char *line, int len, int tl);

  // A look past the line's end at a struct or union ran off the window
  // before it could decide: the line has been scanned up to there, and
  // must be taken up again with as much more text as the window can hold.
  bool suspended() const { return suspended_at_ >= 0; }
  // Suspended, or failed.
  bool halted() const { return suspended_at_ >= 0 || failed(); }
  // The suspended line, at its new place, where its look goes on (and may
  // be suspended again).
  void resume_line(const char *line, int len, int tl);

  // At the end of the text: a definition still open ends there, and a
  // typedef held back is dropped.
  void end_of_text(size_t size) {
    if constexpr (Sink::kRecords) {
      if (emit_ != IDLE && !capture_) sink_.end(size);
    }
  }

 private:
  bool lead(char c) const { return leads_[static_cast<unsigned char>(c)] & kLead; }
  int wants(const char *pos) const { return names_ == nullptr ? 1 : names_->wants(pos); }

  void put(const char *p, size_t n) { sink_.put(p, n); }
  void put(const char *s) { put(s, std::strlen(s)); }

  void banner_if_due() {
    if (banner_ && !printed_fname_) {
      put("/* === ");
      put(name_);
      put(" === */\n");
      printed_fname_ = true;
    }
  }

  // Emitted bytes go to the capture while it is on, else to the sink.
  void emit(const char *p, size_t n) {
    if (capture_)
      capture_buf_->append(p, n);
    else
      put(p, n);
  }

  // The bytes emitted since the definition opened on this line, up to end.
  void emit_open_slice(int end) {
    emit(line_ + emit_from_, static_cast<size_t>(end - emit_from_));
    emit_from_ = end;
  }

  // Offset in the text of a byte of the window (one window for records).
  size_t off(const char *p) const { return static_cast<size_t>(p - window_lo_); }

  // The identifier that starts at q (no byte of 0x80 or above in it).
  int ident_len(const char *q) const {
    int n = 0;
    while (is_ident(q[n])) ++n;
    return n;
  }

  // A definition opens at p: its bytes are emitted from there. For records,
  // its text starts at start.begin, unless the record has begun already.
  void open_definition(Emit state, int p, const RecordStart &start, bool begun = false) {
    emit_ = state;
    emit_from_ = p;
    banner_if_due();
    if constexpr (Sink::kRecords) {
      if (capture_)
        capture_buf_->add_segment(start);
      else if (!begun)
        sink_.begin(start);
    }
  }
  RecordStart start_at(DefKind kind, int bit, const char *name, int p) const {
    int n = name == nullptr ? 0 : ident_len(name);
    return {kind, bit, name, n, kind != DefKind::kTypedef, off(line_ + p)};
  }

  // The definition open since its last line ended at src_end goes idle.
  void close_definition(size_t src_end) {
    if constexpr (Sink::kRecords) {
      if (capture_) {
        if (capture_buf_->nsegs > 0) capture_buf_->segs[capture_buf_->nsegs - 1].src_end = src_end;
      } else
        sink_.end(src_end);
    }
    emit_ = IDLE;
  }

  // The rest of the line after a ';' that ends a definition, always closed
  // by a '\n' so the next output starts on a line of its own.
  void write_rest(int from) {
    put(line_ + from, static_cast<size_t>(tl_ - from));
    if (from == tl_ || line_[tl_ - 1] != '\n') put("\n", 1);
  }

  // Writes the held-back text, and the rest of the line after the ';' at p
  // that ends it, as the records it holds.
  void write_capture(int p, const char *name, int name_len);

  int stop_set() const {
    return quote_ != 0       ? kLiteral
           : block_comment_  ? kBlockComment
           : line_comment_   ? kLineComment
           : emit_ == IDLE   ? kCodeIdle
                             : kCodeOpen;
  }
  // Where a ';' at brace depth 0 does something: it ends a capture or a
  // block, or, for records, names the typedef open on its line.
  bool semicolon_ends() const {
    return brace_ == 0 &&
           (capture_ || emit_ == IN_BLOCK || (Sink::kRecords && emit_ == IN_TYPEDEF));
  }

 public:
  // Inside a block comment, with nothing open and no ';' that could end
  // anything: only a "*/" (or a NUL) changes anything, and nothing is written.
  bool quiet_comment() const {
    return block_comment_ && emit_ == IDLE && !semicolon_ends() && !directive_;
  }
  // Between definitions in code, likewise: only the bytes that stop the skip
  // (and parentheses, which code_run counts) change anything.
  bool quiet_code() const {
    return quote_ == 0 && !block_comment_ && emit_ == IDLE && !semicolon_ends() && !directive_;
  }
  int *paren_depth() { return &paren_; }
  bool in_if0() const { return if0_ > 0; }

  // Lines inside a struct, union or typedef body, written whole: as
  // code_run, where braces count too, a ';' outside braces stops, and the
  // whole lines are emitted, in one piece. Returns the start of the first
  // line left to scan_line.
  int block_run(const char *w, int from, int end, int limit) {
    int line = block_lines(w, from, end, limit);
    if (line > from) emit(w + from, static_cast<size_t>(line - from));
    return line;
  }
  bool in_block_code() const {
    return emit_ == IN_BLOCK && quote_ == 0 && !block_comment_ && !directive_;
  }

 private:
  int block_lines(const char *w, int from, int end, int limit);
  bool second_byte(int q) const;
  char look_forward(int q);
  bool continued();
  int step(int p);
  void begin_line(const char *line, int len, int tl);
  void run_line(int p);
  void directive_starts(int p);
  void recognize(int p);
  bool starts_past_line(int p, int kw);
  void end_at_semicolon(int p);

  const char *name_;
  int mask_;
  bool banner_;
  const NameIndex *names_;
  bool has_list_;
  const unsigned char *leads_;
  Capture *capture_buf_;
  Sink &sink_;
  FarLook far_;
  const char *window_lo_ = nullptr;
  const char *window_hi_ = nullptr;
  bool rest_ = true;
  // A line read this long ends the text for a look past a line's end.
  static constexpr int kLookLimit = Sink::kRecords ? 0x7fffffff : kLineTooLong;
  int suspended_at_ = -1;    // where the suspended line's look stands
  static constexpr int kSuspended = 0x7fffffff;  // step's answer then
  // Kept from line to line.
  char quote_ = 0;
  bool block_comment_ = false;
  int paren_ = 0;
  Emit emit_ = IDLE;
  int brace_ = 0;
  bool capture_ = false;
  bool printed_fname_ = false;
  bool directive_ = false;   // the line is a directive's, or continues one
  bool in_define_ = false;   // and that directive is a #define
  int directive_paren_ = 0;  // the paren depth before the directive
  int if0_ = 0;              // inside an #if 0 group: its #if nesting
  int if0_paren_ = 0;        // the paren depth at its #if 0
  // Per line.
  const char *line_ = nullptr;
  int len_ = 0;               // bytes of the line read
  int tl_ = 0;                // bytes of its text, up to its first NUL
  bool line_comment_ = false;
  int pending_ = -1;          // position of the last typedef keyword
  int emit_from_ = 0;         // start of the bytes emitted but not yet written
  int end_ = 0;               // where the examination of the line stops
  int look_from_ = -1;        // last forward look: searched [look_from_, look_at_]
  int look_at_ = -1;
  char look_found_ = 0;
  int continued_ = -1;        // the continued-#define test, once per line
};

// True when the byte at q, a byte of the line's text, is the second byte of
// a double-byte character. Walking the line by characters, every lead byte
// that starts a character is followed by a byte of the text, so the lead
// bytes directly before q pair up: q is a second byte when they are odd in
// number. Only ASCII bytes are asked about, and the runs of lead bytes
// before them do not overlap, so the walks back cost a line's length at most.
template <class Sink>
bool Scanner<Sink>::second_byte(int q) const {
  return lex::second_byte(leads_, line_, line_ + q);
}

// The first '{' or ';' from q on, stepping over double-byte characters, or 0
// at the end of the text (its '\n' does not stop the look). Every q asked for follows an ASCII byte, so any
// walk from an earlier place passes through q, and a walk already made that
// covered q gives the answer without walking again.
template <class Sink>
char Scanner<Sink>::look_forward(int q) {
  if (look_from_ >= 0 && q >= look_from_ && q <= look_at_) return look_found_;
  int r = ascii_run(line_, q, tl_);
  while (r < tl_ && line_[r] != '{' && line_[r] != ';')
    r += lex::pair_at(leads_, line_, static_cast<size_t>(r), static_cast<size_t>(tl_)) ? 2 : 1;
  look_from_ = q;
  look_at_ = r;
  look_found_ = r < tl_ ? line_[r] : '\0';
  return look_found_;
}

// A #define line continues when its last backslash that is not the second
// byte of a double-byte character is followed directly by '\n'. Only the
// byte before the line's '\n' can be that backslash.
template <class Sink>
bool Scanner<Sink>::continued() {
  if (continued_ < 0) {
    int b = len_ - 2;
    continued_ = b >= 0 && tl_ == len_ && line_[b + 1] == '\n' &&
                 lex::splice_before(leads_, line_, line_ + b + 1);
  }
  return continued_ != 0;
}

// The line ends before a '{' or ';' after the struct or union keyword at p
// (kw bytes long): a definition only if its '{' comes first, before any ';'
// or parenthesis of code on the lines that follow. Where the window ends
// before that is known, the line is suspended at p.
template <class Sink>
__attribute__((noinline)) bool Scanner<Sink>::starts_past_line(int p, int kw) {
  int far = far_.look(line_, tl_, len_, p + kw, directive_, directive_ && in_define_, window_hi_,
                      rest_, kLookLimit);
  if (far == kLookNeedsMore) {
    suspended_at_ = p;
    return false;
  }
  return far == '{';
}

template <class Sink>
__attribute__((always_inline)) inline void Scanner<Sink>::recognize(int p) {
  const char *s = line_ + p;
  if (*s == '#') {
    // Blanks after '#' (its '\n' among them) run at most to the end of the
    // text; "define" cannot cross it, as the text's last byte is '\n' or NUL.
    const char *q = s + 1;
    const char *text_end = line_ + tl_;
    while (q < text_end && is_cspace(*q)) ++q;
    if (q == text_end || !at(q, "define", 6) || !is_cspace(q[6])) return;
    q += 6;
    while (is_blank(*q)) ++q;
    if (wants(q) != 1) return;
    bool selected = mask_ == 0;
    if (!selected && (mask_ & (DEF_SINGLE | DEF_CONT)))
      selected = mask_ & (continued() ? DEF_CONT : DEF_SINGLE);
    if (selected) {
      int bit = Sink::kRecords && continued() ? DEF_CONT : DEF_SINGLE;
      open_definition(IN_DEFINE, p, start_at(DefKind::kDefine, bit, q, p));
    }
    return;
  }
  if (*s == 't') {
    if (!at(s, "typedef", 7) || !is_cspace(s[7])) return;
    pending_ = p;
    if (!(mask_ & (TD_SIMPLE | TD_BLOCK))) return;
    if (has_list_) {
      capture_ = true;
      capture_buf_->restart();
    }
    int q = p + 7;
    while (is_blank(line_[q])) ++q;
    bool is_struct = at(line_ + q, "struct", 6);
    if (is_struct || at(line_ + q, "union", 5)) {
      if (look_forward(q + (is_struct ? 6 : 5)) == ';') {
        if (mask_ & TD_SIMPLE)
          open_definition(IN_TYPEDEF, p, start_at(DefKind::kTypedef, TD_SIMPLE, nullptr, p));
      } else if (mask_ & TD_BLOCK) {
        open_definition(IN_BLOCK, p, start_at(DefKind::kTypedef, TD_BLOCK, nullptr, p));
        brace_ = 0;
      }
    } else if ((mask_ & TD_SIMPLE) && look_forward(q) == ';') {
      open_definition(IN_TYPEDEF, p, start_at(DefKind::kTypedef, TD_SIMPLE, nullptr, p));
    }
    return;
  }
  int kw = 0;
  if (*s == 's' && (mask_ & SU_STRUCT) && at(s, "struct", 6) && (s[6] == '{' || is_cspace(s[6])))
    kw = 6;
  else if (*s == 'u' && (mask_ & SU_UNION) && at(s, "union", 5) && (s[5] == '{' || is_cspace(s[5])))
    kw = 5;
  // Inside parentheses it names a parameter's or a cast's type.
  if (kw == 0 || paren_ != 0) return;
  const char *tag = s + kw;
  while (is_blank(*tag)) ++tag;
  if (wants(tag) != 1) return;
  const char found = look_forward(p + kw);
  if (found == ';') return;
  if (found == '\0' && !starts_past_line(p, kw)) return;
  brace_ = 0;
  const DefKind kind = kw == 6 ? DefKind::kStruct : DefKind::kUnion;
  RecordStart start = start_at(kind, kw == 6 ? SU_STRUCT : SU_UNION, tag, p);
  bool begun = false;
  if (pending_ >= 0) {  // a typedef earlier on the line is written from its keyword
    banner_if_due();
    if constexpr (Sink::kRecords) {
      start.begin = off(line_ + pending_);
      sink_.begin(start);
      begun = true;
    }
    put(line_ + pending_, static_cast<size_t>(p - pending_));
    if constexpr (Sink::kRecords) {
      if (capture_) {  // the definition itself is held back: a record of its own
        sink_.end(off(line_ + p));
        start.begin = off(line_ + p);
      }
    }
    pending_ = -1;
  }
  open_definition(IN_BLOCK, p, start, begun);
}

template <class Sink>
void Scanner<Sink>::write_capture(int p, const char *name, int name_len) {
  Capture &c = *capture_buf_;
  if constexpr (!Sink::kRecords) {
    put(c.buf, c.idx);
    write_rest(p + 1);
  } else {
    const size_t rest_end = off(line_ + tl_);
    if (c.nsegs == 0) {  // nothing held: the rest of the line alone
      sink_.begin({DefKind::kTypedef, 0, name, name_len, true, off(line_ + p + 1)});
      write_rest(p + 1);
      sink_.end(rest_end);
      return;
    }
    for (int i = 0; i < c.nsegs; ++i) {
      Capture::Segment &seg = c.segs[i];
      sink_.begin(seg.start);
      if (!seg.start.named) sink_.name(name, name_len);
      size_t from = i == 0 ? 0 : seg.from;
      size_t to = i + 1 < c.nsegs ? c.segs[i + 1].from : c.idx;
      put(c.buf + from, to - from);
      if (i + 1 < c.nsegs) {
        sink_.end(seg.src_end);
      } else {
        write_rest(p + 1);
        sink_.end(rest_end);
      }
    }
  }
}

template <class Sink>
void Scanner<Sink>::end_at_semicolon(int p) {
  if (emit_ != IDLE) emit_open_slice(p + 1);
  // The name before the ';': back over blanks, then over a name. The first
  // byte of the line is tested like any other.
  const char *name = nullptr;
  if (capture_ || Sink::kRecords) {
    int q = p - 1;
    while (q >= 0 && is_blank(line_[q])) --q;
    while (q >= 0 && is_ident(line_[q])) --q;
    name = line_ + q + 1;
  }
  if (capture_) {
    if (wants(name)) write_capture(p, name, ident_len(name));
    emit_ = IDLE;
    capture_ = false;
    capture_buf_->restart();
  } else if (emit_ == IN_BLOCK) {
    if constexpr (Sink::kRecords) sink_.name(name, ident_len(name));
    write_rest(p + 1);
    close_definition(off(line_ + tl_));
  } else if (Sink::kRecords && emit_ == IN_TYPEDEF) {
    sink_.name(name, ident_len(name));
  }
}

// Runs every rule for the byte at p; returns the next position to look at.
template <class Sink>
int Scanner<Sink>::step(int p) {
  const char *line = line_;
  char c = line[p];
  // A backslash just before the stop is a line splice, no escape: the
  // literal goes on into the next line.
  if (quote_ != 0 && c == '\\' && p + 1 < end_ && !second_byte(p)) {
    c = line[++p];  // the escaped byte, never taken for a quote
  } else if (!block_comment_ && quote_ == 0 && c == '/' && line[p + 1] == '/') {
    line_comment_ = true;
  } else if (!block_comment_ && !line_comment_ && quote_ == 0 && c == '/' && line[p + 1] == '*') {
    block_comment_ = true;
  } else if (block_comment_) {
    if (c == '*' && line[p + 1] == '/') block_comment_ = false;
  } else if (!line_comment_ && (c == '\'' || c == '"')) {
    if (quote_ == 0) {
      if (c == '"' || !lex::digit_separator(leads_, line_, line_ + p, line_ + tl_))
        quote_ = c;  // 1'000 is a number
    } else if (quote_ == c) {
      quote_ = 0;
    }
  }
  if (quote_ == 0 && !line_comment_ && !block_comment_) {
    if (c == '(') {
      ++paren_;
    } else if (c == ')') {
      if (paren_ > 0) --paren_;
    } else if (paren_ != 0 && (c == ';' || c == '{' || c == '}') && !second_byte(p)) {
      paren_ = 0;  // no parenthesis stays open across a statement or a brace
    } else if (c == '#' && !directive_) {
      // Only blanks before it, in code: the line began in code too (a
      // comment or literal would have left bytes of its own before it).
      int q = p;
      while (q > 0 && is_blank(line[q - 1])) --q;
      if (q == 0) directive_starts(p);
    }
    if (emit_ != IDLE) {
      if ((c == '{' || c == '}') && !second_byte(p)) brace_ += c == '{' ? 1 : -1;
    } else {
      recognize(p);
      if (suspended_at_ >= 0) return kSuspended;
    }
  }
  if (c == ';' && brace_ == 0) end_at_semicolon(p);
  return p + 1;
}

// The lines block_run takes, with brace_ and paren_ brought past them.
template <class Sink>
int Scanner<Sink>::block_lines(const char *w, int from, int end, int limit) {
#if defined(__AVX2__) || defined(__SSE2__)
  int line = from;
  int braces = brace_, parens = paren_;  // with the line not yet whole
  for (int p = from; p < end; p += kVecBytes) {
    const char *s = w + p;
    Vec v = load(s);
    Vec next = load(s + 1);
    uint64_t in = end - p >= 64 ? ~uint64_t{0} : (uint64_t{1} << (end - p)) - 1;
    // A quote, a comment's start (but for a comment passed below), a NUL
    // or a '#' (perhaps a directive's, whose parentheses are its own) is
    // left to scan_line.
    Vec slash = both(eq(v, '/'), either(eq(next, '/'), eq(next, '*')));
    Vec quotes = eq_any(v, lex::kQuotes);
    uint64_t stops = bits_of(either(either(quotes, slash), either(eq(v, zero()), eq(v, '#')))) & in;
    Vec marks = either(either(eq(v, '\n'), eq(v, ';')), either(eq(v, '('), eq(v, ')')));
    uint64_t events = bits_of(either(marks, either(eq(v, '{'), eq(v, '}')))) & in;
    if (stops != 0) events &= (uint64_t{1} << __builtin_ctzll(stops)) - 1;
    for (; events != 0; events &= events - 1) {
      int at = p + __builtin_ctzll(events);
      switch (w[at]) {
        case '(': ++parens; break;
        case ')': if (parens > 0) --parens; break;
        case ';':
          if (braces == 0) return line;  // it ends the definition
          if (parens > 0) {  // it closes them, unless it is a second byte
            if (at > line && lead(w[at - 1])) return line;
            parens = 0;
          }
          break;
        case '{':
        case '}':
          // After a lead byte it may be that byte's second byte: not counted
          // then; scan_line decides.
          if (at > line && lead(w[at - 1])) return line;
          braces += w[at] == '{' ? 1 : -1;
          parens = 0;
          break;
        default:  // a line's '\n'
          if (at + 1 - line >= limit) return line;
          brace_ = braces;
          paren_ = parens;
          line = at + 1;
          break;
      }
    }
    if (stops != 0) {
      // A comment that ends on its line is passed over inside the braces;
      // at depth 0 a ';' in it would end the definition, which scan_line
      // decides.
      const int on = braces > 0 ? comment_passed(w, p + __builtin_ctzll(stops), end) : -1;
      if (on < 0 || on - line >= limit) return line;
      p = on - kVecBytes;
      continue;
    }
    if (p + kVecBytes - line >= limit) return line;
  }
  return line;
#else
  (void)w;
  (void)end;
  (void)limit;
  return from;
#endif
}

template <class Sink>
void Scanner<Sink>::begin_line(const char *line, int len, int tl) {
  line_ = line;
  tl_ = tl;
  len_ = len;
  line_comment_ = false;
  look_from_ = -1;
  continued_ = -1;
  end_ = tl < len || line[len - 1] != '\n' ? tl : len - 1;
}

template <class Sink>
void Scanner<Sink>::scan_line(const char *line, int len, int tl) {
  begin_line(line, len, tl);
  pending_ = -1;
  emit_from_ = 0;
  run_line(0);
}

template <class Sink>
void Scanner<Sink>::resume_line(const char *line, int len, int tl) {
  begin_line(line, len, tl);
  const int p = suspended_at_;
  suspended_at_ = -1;
  recognize(p);
  if (suspended_at_ < 0) run_line(p + 1);
}

template <class Sink>
void Scanner<Sink>::run_line(int p) {
  const char *line = line_;
  const int len = len_;
  const int end = end_;
  while (p < end) {
    p = skip(line, p, end, stop_set(), semicolon_ends(), &paren_);
    if (p == end) break;
    p = step(p);
  }
  if (suspended_at_ >= 0) return;
  // p is at the stop: the line's '\n' or the end of its text.
  const bool newline = p < len && line[p] == '\n';
  if (emit_ != IDLE) {
    emit_open_slice(p);
    // The line's own '\n', when it has one there, joins the slice before it.
    emit(newline ? line + p : "\n", 1);
  }
  // A line that ends in a splice carries a #define and a literal into the
  // next line; without one, a literal ends with its line, as a compiler
  // ends it, so a stray quote cannot hide the rest of the file.
  const bool splice = lex::splice_before(leads_, line, line + p);
  if (emit_ == IN_TYPEDEF || (emit_ == IN_DEFINE && !splice))
    close_definition(off(line + (newline ? p + 1 : p)));
  if (!splice) quote_ = 0;
  // A directive's parentheses are its own.
  if (directive_ && !splice) {
    paren_ = directive_paren_;
    directive_ = false;
  }
}

// A line that begins in code with '#' (after spaces and tabs) is a
// directive: its '#' is at p. An #if 0 group's lines, to its matching
// #elif, #else or #endif (nested #if, #ifdef and #ifndef counted), leave the
// paren depth where it was at the #if 0.
template <class Sink>
void Scanner<Sink>::directive_starts(int p) {
  const char *s = line_ + p;
  const char *e = line_ + tl_;
  directive_ = true;
  directive_paren_ = paren_;
  ++s;
  while (s < e && is_blank(*s)) ++s;
  in_define_ = e - s >= 6 && at(s, "define", 6) && (e - s == 6 || !is_ident(s[6]));
  if (if0_ == 0 && *s != 'i') return;  // no #if, and no group to follow
  const char *word = s;
  while (s < e && is_ident(*s)) ++s;
  const lex::Directive d = lex::directive_kind(word, static_cast<size_t>(s - word));
  if (if0_ > 0) {
    if (d == lex::Directive::kIf || d == lex::Directive::kIfdef || d == lex::Directive::kIfndef) {
      ++if0_;
    } else if (d == lex::Directive::kEndif) {
      if (--if0_ == 0) paren_ = if0_paren_;
    } else if (if0_ == 1 && (d == lex::Directive::kElse || d == lex::Directive::kElif)) {
      if0_ = 0;
      paren_ = if0_paren_;
    }
  } else if (d == lex::Directive::kIf && lex::if0_expression(line_, s - line_, tl_)) {
    if0_ = 1;
    if0_paren_ = paren_;
  }
  directive_paren_ = paren_;  // where a group ended here, the depth at its #if 0
}

// Scans the lines of w[0, avail) that surely lie whole in it (every one
// when rest says it is the rest of the text), each shorter than limit
// bytes. Returns the bytes scanned; stops early at a line of limit bytes or
// more (setting *long_line) and where the scan has failed.
template <class Sink>
int scan_lines(Scanner<Sink> &scanner, const char *w, int avail, bool rest, int limit,
               bool *long_line) {
  int off = 0;
  if (scanner.suspended() && off < avail) {
    // The line whose look ran off the last window, taken up again.
    int room = avail < limit ? avail : limit;
    int tl = 0;
    int len = cut_line(w, room, &tl);
    scanner.resume_line(w, len, tl);
    if (scanner.halted()) return scanner.suspended() ? 0 : len;
    off = len;
  }
  while (off < avail && (rest || avail - off >= limit)) {
    // Whole lines at a time while nothing can happen in them.
    int next = scanner.quiet_comment()   ? comment_run(w, off, avail, limit)
               : scanner.quiet_code()    ? code_run(w, off, avail, limit, scanner.paren_depth(),
                                                    scanner.in_if0())
               : scanner.in_block_code() ? scanner.block_run(w, off, avail, limit)
                                         : off;
    if (next > off) {
      off = next;
      continue;
    }
    int room = avail - off < limit ? avail - off : limit;
    int tl = 0;
    int len = cut_line(w + off, room, &tl);
    if (tl >= limit) {
      *long_line = true;
      return off;
    }
    scanner.scan_line(w + off, len, tl);
    if (scanner.halted()) {
      if (scanner.suspended()) return off;  // to be taken up with more text
      return off + len;                     // failed
    }
    off += len;
  }
  return off;
}

// The rest of stream, from its window on, in memory of its own followed by
// 128 bytes of zeros; its length in *size.
char *read_rest(TextFile *stream, int *size) {
  const size_t kSlack = 128;
  const size_t kMax = 0x7fffffff;  // the largest block an int size asks for
  char *buf = nullptr;
  size_t n = 0, cap = 0;
  for (;;) {
    int avail = 0;
    bool rest = false;
    const char *w = text_window(stream, &avail, &rest);
    if (avail == 0) break;
    size_t need = n + static_cast<size_t>(avail) + kSlack;
    if (need > cap) {
      if (need > kMax) {
        errmsg("cannot get memory\n");
        exit_process(kExitFailure);
      }
      cap = need * 2 < kMax ? need * 2 : kMax;
      buf = static_cast<char *>(moremem(buf, static_cast<int>(cap)));
    }
    std::memcpy(buf + n, w, static_cast<size_t>(avail));
    n += static_cast<size_t>(avail);
    text_consume(stream, avail);
  }
  if (buf == nullptr) buf = static_cast<char *>(moremem(nullptr, static_cast<int>(kSlack)));
  std::memset(buf + n, 0, kSlack);
  *size = static_cast<int>(n);
  return buf;
}

// Scans the lines of w[0, avail) that fit the window (see scan_lines), for
// the tool; ends the process at a line too long. Returns the bytes scanned.
int scan_window(Scanner<OutSink> &scanner, const char *w, int avail, bool rest, bool ahead) {
  scanner.set_window(w, w + avail, rest);
  bool long_line = false;
  int off = scan_lines(scanner, w, avail, rest, kLineTooLong, &long_line);
  if (long_line) {
    if (ahead) return -1;
    scanner.flush_held();
    char text[kLineBufSize];
    std::memcpy(text, w + off, static_cast<size_t>(kLineTooLong));
    text[kLineTooLong] = '\0';
    fail_long_line(text);
  }
  scanner.flush_held();
  return off;
}

// Scans stream to its end, for the tool. Writing to ahead, it returns false
// as soon as the scan is abandoned (or where it would end the process);
// else true.
bool scan_stream_here(TextFile *stream, const ScanSetup &setup, Capture *capture,
                      ScanBuffer *ahead) {
  OutSink sink(ahead);
  Scanner<OutSink> scanner(setup, capture, sink);
  bool grown = false;  // the window was grown for a look that ran off it
  for (;;) {
    int avail = 0;
    bool rest = false;
    const char *w = grown ? text_window_more(stream, &avail, &rest) : text_window(stream, &avail, &rest);
    if (avail == 0) return true;
    int off = scan_window(scanner, w, avail, rest, ahead != nullptr);
    if (off < 0 || scanner.failed()) return false;
    text_consume(stream, off);
    if (!scanner.suspended()) {
      grown = false;
    } else if (!grown) {
      grown = true;
    } else {
      // Not even a window as large as it gets decides the look: the rest of
      // the file is read into memory, and scanned as one text. A scan ahead
      // leaves that to the scan in the file's turn.
      if (ahead != nullptr) return false;
      int size = 0;
      char *text = read_rest(stream, &size);
      scan_window(scanner, text, size, true, false);
      std::free(text);
      return !scanner.failed();
    }
  }
}

// Scans a whole text held in memory (with the window's slack after it)
// into records, lines of any length included. False when the scan failed.
bool scan_records_here(const char *text, int size, const ScanSetup &setup, RecordSink *sink) {
  Capture capture;
  capture.limit = 0x7fffffff;  // grows as far as memory allows, and fails instead of ending
  Scanner<RecordSink> scanner(setup, &capture, *sink);
  scanner.set_window(text, text + size, true);
  bool long_line = false;
  scan_lines(scanner, text, size, true, 0x7fffffff, &long_line);
  if (capture.overflow) sink->fail(ScanStatus::kNoMemory);
  if (scanner.failed()) return false;
  scanner.end_of_text(static_cast<size_t>(size));
  return !sink->failed();
}

}  // namespace
}  // namespace kolvu

#endif  // KOLVU_SCANNER_SCAN_ENGINE_H_
