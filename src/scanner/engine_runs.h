// The bytes that matter in each state of the scanner, and the runs the
// engine passes without looking at each byte: the skip to the next byte
// that can change something, whole lines of comment text or plain code,
// the first '{' or ';' of a line, and the cut of the next line out of the
// window. Vector code where the processor has it; else a table of the
// bytes that matter in each state does the same work.
#ifndef KOLVU_SCANNER_ENGINE_RUNS_H_
#define KOLVU_SCANNER_ENGINE_RUNS_H_

#include <cstdint>
#include <cstring>

#include "kolvu/bytes.h"
#include "scanner/engine_vector.h"
#include "scanner/lexer.h"

namespace kolvu {
namespace {

enum StopSet { kCodeIdle, kCodeOpen, kBlockComment, kLineComment, kLiteral, kStopSets };
#if defined(__AVX2__) || defined(__SSE2__)

// 0xFF in each lane of v whose byte stops set; next points at the byte
// after v's first. Only what can change something stops: in code a quote, a
// '/' that begins "//" or "/*", a '#', and the first four bytes of
// "typedef", "struct" and "union" (and braces inside a definition); in a comment a '*' that begins "*/"; in a literal a quote or
// a backslash. Parentheses are counted by skip itself. semi is ';' or, when a
// ';' cannot end anything, 0xFF, which no lane of a search for a stop is.
inline Vec stops_of(Vec v, const char *next, int set, Vec semi) {
  Vec m = eq(v, semi);
  if (set == kLineComment) return m;
  Vec w = load(next);
  Vec quotes = eq_any(v, lex::kQuotes);
  switch (set) {
    case kCodeIdle:
    case kCodeOpen: {
      Vec slash = both(eq(v, '/'), either(eq(w, '/'), eq(w, '*')));
      m = either(m, either(quotes, slash));
      Vec hash = eq(v, '#');  // perhaps a directive's, or a #define
      if (set == kCodeOpen) return either(either(m, hash), either(eq(v, '{'), eq(v, '}')));
      Vec w2 = load(next + 1), w3 = load(next + 2);
      Vec type = both(both(eq(v, 't'), eq(w, 'y')), both(eq(w2, 'p'), eq(w3, 'e')));
      Vec stru = both(both(eq(v, 's'), eq(w, 't')), both(eq(w2, 'r'), eq(w3, 'u')));
      Vec unio = both(both(eq(v, 'u'), eq(w, 'n')), both(eq(w2, 'i'), eq(w3, 'o')));
      return either(either(m, hash), either(type, either(stru, unio)));
    }
    case kBlockComment:
      return either(m, both(eq(v, '*'), eq(w, '/')));
    default:  // kLiteral
      return either(m, either(eq(v, lex::kEscape), quotes));
  }
}

// A vector at a time, reading up to a vector's width and 3 bytes past end,
// which the line's slack allows. In code, the parentheses passed over are counted into
// *paren as the scanner would count them (never below 0).
inline int skip(const char *line, int p, int end, int set, bool semicolon, int *paren) {
  const Vec semi = splat(semicolon ? ';' : '\xFF');
  const bool code = set == kCodeIdle || set == kCodeOpen;
  int depth = *paren;
  for (; p < end; p += kVecBytes) {
    const char *s = line + p;
    Vec v = load(s);
    unsigned bits = bits_of(stops_of(v, s + 1, set, semi));
    int stop = bits != 0 ? __builtin_ctz(bits) : kVecBytes;
    if (stop > end - p) stop = end - p;
    if (code) {
      const uint64_t before = (uint64_t{1} << stop) - 1;
      uint64_t events = bits_of(either(eq(v, '('), eq(v, ')'))) & before;
      // A ';' or brace closes every parenthesis still open; with none open
      // and none in the vector, there is nothing for it to close.
      if ((events | static_cast<uint64_t>(depth)) != 0) {
        events |= bits_of(either(eq(v, ';'), either(eq(v, '{'), eq(v, '}')))) & before;
        for (; events != 0; events &= events - 1) {
          int k = __builtin_ctzll(events);
          if (s[k] == '(') {
            ++depth;
          } else if (s[k] == ')') {
            if (depth > 0) --depth;
          } else if (depth > 0) {
            // After a byte that may lead a double-byte character it may be
            // that character's second byte: the scanner decides.
            if (p + k > 0 && static_cast<unsigned char>(s[k - 1]) >= 0x80) {
              *paren = depth;
              return p + k;
            }
            depth = 0;
          }
        }
      }
    }
    if (stop < kVecBytes) {
      *paren = depth;
      return p + stop;
    }
  }
  *paren = depth;
  return end;
}

// The first position from p on, before end, whose byte is '{', ';' or 0x80
// and above; end if none. Up to there a walk by characters is a walk by bytes.
inline int ascii_run(const char *line, int p, int end) {
  for (; p < end; p += kVecBytes) {
    Vec v = load(line + p);
    unsigned bits = bits_of(either(eq(v, '{'), eq(v, ';'))) | bits_of(v);
    if (bits != 0) {
      int q = p + __builtin_ctz(bits);
      return q < end ? q : end;
    }
  }
  return end;
}
// Lines of a block comment in which nothing can happen: from the line
// starting at from, the start of the first line (before end) that holds a
// "*/" or a NUL, has no '\n' before end, or is too long; the lines before it
// hold nothing but comment text, each whole and shorter than the limit.
inline int comment_run(const char *w, int from, int end, int limit) {
  int line = from;
  for (int p = from; p < end; p += kVecBytes) {
    Vec v = load(w + p);
    Vec next = load(w + p + 1);
    uint64_t in = end - p >= 64 ? ~uint64_t{0} : (uint64_t{1} << (end - p)) - 1;
    uint64_t stops = bits_of(either(eq(v, zero()), both(eq(v, '*'), eq(next, '/')))) & in;
    uint64_t nls = bits_of(eq(v, '\n')) & in;
    if (stops != 0) nls &= (uint64_t{1} << __builtin_ctzll(stops)) - 1;
    for (; nls != 0; nls &= nls - 1) {
      int nl = p + __builtin_ctzll(nls);
      if (nl + 1 - line >= limit) return line;
      line = nl + 1;
    }
    if (stops != 0 || p + kVecBytes - line >= limit) return line;
  }
  return line;
}
// Where a quiet run reads on after the comment that begins at at, when the
// comment holds no NUL (which ends a line's text): for a line comment, its
// line's '\n' (the tool ends every line comment with its line); for a block
// comment that ends on the same line, the '/' of its "*/". -1 when there is
// no comment at at, or no such end. The tool looks for the "*/" from the
// opener's '*' on ("/*/" is a whole comment), and reads on from its '/',
// which may begin another comment ("/* a */*x" opens a second one).
inline int comment_passed(const char *w, int at, int end) {
  if (w[at] != '/' || (w[at + 1] != '*' && w[at + 1] != '/')) return -1;
  const int set = w[at + 1] == '*' ? kBlockComment : kLineComment;
  const Vec no_semi = splat('\xFF');
  // One pass from the opener's '*' (or second '/') on, to the comment's end
  // as the scan finds it, the line's '\n' or a NUL, whichever comes first.
  for (int p = at + 1; p < end; p += kVecBytes) {
    const char *s = w + p;
    const Vec v = load(s);
    const uint64_t in = end - p >= 64 ? ~uint64_t{0} : (uint64_t{1} << (end - p)) - 1;
    uint64_t ends =
        bits_of(either(stops_of(v, s + 1, set, no_semi), either(eq(v, '\n'), eq(v, zero())))) & in;
    // A byte 0xFF stops too (no_semi is that byte): passed over here.
    for (; ends != 0; ends &= ends - 1) {
      const int k = p + __builtin_ctzll(ends);
      if (w[k] == '\n') return set == kLineComment ? k : -1;
      if (w[k] == '\0') return -1;
      if (w[k] == '*') return k + 1;  // the '/' of the "*/"
    }
  }
  return -1;
}

// Lines of code between definitions in which nothing can happen but
// parentheses: as comment_run, for lines without a byte that stops the skip
// in code, but for line comments and block comments that end on their
// line. The parentheses of those lines are counted into *paren, line by
// line, as the scanner would count them, a ';' or brace closing all; those
// of the line returned are not. A directive's line (its first byte other
// than spaces and tabs a '#') leaves the depth as it was, as its
// parentheses are its own; one that may be continued, an #if (perhaps an
// #if 0) and, inside an #if 0 group (if0), every directive are left to the
// scanner.
__attribute__((always_inline)) inline int code_run(const char *w, int from, int end, int limit,
                                                   int *paren, bool if0) {
  const Vec no_semi = splat('\xFF');
  int line = from;
  int depth = *paren;  // with the parentheses of the line not yet whole
  int directive = -1;  // the depth before the directive whose line this is
  for (int p = from; p < end; p += kVecBytes) {
    const char *s = w + p;
    Vec v = load(s);
    uint64_t in = end - p >= 64 ? ~uint64_t{0} : (uint64_t{1} << (end - p)) - 1;
    // A '#' is looked at below, not a stop.
    const Vec hash = eq(v, '#');
    uint64_t stops = bits_of(either(stops_of(v, s + 1, kCodeIdle, no_semi), eq(v, zero()))) & in;
    stops &= ~static_cast<uint64_t>(bits_of(hash));
    uint64_t parens = bits_of(either(eq(v, '('), eq(v, ')'))) & in;
    uint64_t events = (bits_of(either(eq(v, '\n'), hash)) & in) | parens;
    // A ';' or brace matters where a parenthesis may be open: one is, one
    // opens in the vector, or the end of a directive's line gives back the
    // depth its ';' or brace closed.
    if ((parens | static_cast<uint64_t>(depth)) != 0 || directive > 0)
      events |= bits_of(either(eq(v, ';'), either(eq(v, '{'), eq(v, '}')))) & in;
    if (stops != 0) events &= (uint64_t{1} << __builtin_ctzll(stops)) - 1;
    for (; events != 0; events &= events - 1) {
      int at = p + __builtin_ctzll(events);
      const char c = w[at];
      if (c == '(') {
        ++depth;
      } else if (c == ')') {
        if (depth > 0) --depth;
      } else if (c == '#') {
        if (w[at + 1] == 'd' || is_cspace(w[at + 1])) return line;  // perhaps a #define
        int k = at;
        while (k > line && (w[k - 1] == ' ' || w[k - 1] == '\t')) --k;
        if (k == line) {  // a directive
          if (if0) return line;
          const char *d = w + at + 1;
          while (*d == ' ' || *d == '\t') ++d;
          if (d[0] == 'i' && d[1] == 'f' && !is_ident(d[2])) return line;
          directive = depth;
        }
      } else if (c != '\n') {  // a ';' or brace
        if (depth > 0) {
          // Perhaps the second byte of a double-byte character: the
          // scanner decides.
          if (at > line && static_cast<unsigned char>(w[at - 1]) >= 0x80) return line;
          depth = 0;
        }
      } else {  // a line's '\n'
        if (at + 1 - line >= limit) return line;
        if (directive >= 0) {
          if (at > line && w[at - 1] == '\\') return line;  // perhaps continued
          depth = directive;
          directive = -1;
        }
        line = at + 1;
        *paren = depth;
      }
    }
    if (stops != 0) {
      // A line comment, or a block comment that ends on its line, is passed
      // over, and the line stays quiet (most comments beside code are such).
      const int on = comment_passed(w, p + __builtin_ctzll(stops), end);
      if (on < 0 || on - line >= limit) return line;
      p = on - kVecBytes;
      continue;
    }
    if (p + kVecBytes - line >= limit) return line;
  }
  return line;
}
#else
inline int ascii_run(const char *, int p, int) { return p; }

inline int comment_run(const char *, int from, int, int) { return from; }

inline int code_run(const char *, int from, int, int, int *, bool) { return from; }

constexpr bool stops_in(int set, bool semicolon, int c) {
  if (c == ';' && set != kCodeIdle && set != kCodeOpen) return semicolon;
  switch (set) {
    case kCodeIdle:  // comment and literal openers, depth bytes, directives, keyword starts
      return c == '/' || c == '#' || lex::in_list(c, lex::kQuotes) ||
             lex::in_list(c, lex::kDepthBytes) || lex::in_list(c, lex::kKeywordStarts);
    case kCodeOpen:  // the same without keyword starts
      return c == '/' || c == '#' || lex::in_list(c, lex::kQuotes) ||
             lex::in_list(c, lex::kDepthBytes);
    case kBlockComment:
      return c == '*';
    case kLiteral:
      return c == lex::kEscape || lex::in_list(c, lex::kQuotes);
    default:
      return false;
  }
}

struct StopTables {
  // [set][a ';' can end a definition][byte]
  bool v[kStopSets][2][256];
  constexpr StopTables() : v() {
    for (int s = 0; s < kStopSets; ++s)
      for (int semi = 0; semi < 2; ++semi)
        for (int c = 0; c < 256; ++c) v[s][semi][c] = stops_in(s, semi != 0, c);
  }
};

constexpr StopTables kStops;

// The first position from p on, before end, whose byte stops set; end if
// none.
inline int skip(const char *line, int p, int end, int set, bool semicolon, int *) {
  const bool *stops = kStops.v[set][semicolon];
  while (p < end && !stops[static_cast<unsigned char>(line[p])]) ++p;
  return p;
}
#endif

// The length of the line at p (at most room bytes, up to and with its
// first '\n'), and in *tl the length of its text (up to its first NUL).
// Reads up to 15 bytes past room, which the window's slack allows.
int cut_line(const char *p, int room, int *tl) {
#if defined(__AVX2__) || defined(__SSE2__)
  for (int i = 0; i < room; i += kVecBytes) {
    Vec v = load(p + i);
    unsigned bits = bits_of(either(eq(v, '\n'), eq(v, zero())));
    if (bits == 0) continue;
    int k = i + __builtin_ctz(bits);
    if (k >= room) break;
    if (p[k] == '\n') {
      *tl = k + 1;
      return k + 1;
    }
    // A NUL ends the text; the line goes on to its '\n'.
    *tl = k;
    const void *nl = std::memchr(p + k, '\n', static_cast<size_t>(room - k));
    return nl != nullptr ? static_cast<int>(static_cast<const char *>(nl) - p) + 1 : room;
  }
  *tl = room;
  return room;
#else
  int nul = -1;
  for (int k = 0; k < room; ++k) {
    if (p[k] == '\0' && nul < 0) nul = k;
    if (p[k] == '\n') {
      *tl = nul >= 0 ? nul : k + 1;
      return k + 1;
    }
  }
  *tl = nul >= 0 ? nul : room;
  return room;
#endif
}

}  // namespace
}  // namespace kolvu

#endif  // KOLVU_SCANNER_ENGINE_RUNS_H_
