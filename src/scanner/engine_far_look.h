// The look past the end of a line that decides whether a struct or union
// whose line ends after its tag starts a definition: from after the keyword
// on, over the lines that follow, the code is handed to the tool's reading
// of a struct's head (tag_head.h) until it decides. Comments, literals and
// directives (with their continuations) are passed over, and double-byte
// characters stepped over. A keyword inside a #define (a macro's body) is
// decided inside it: its continuation lines are read as code, and the
// macro's end decides "nothing".
//
// The look walks the text at hand, which may end before the file does: it
// then says that more is needed. It remembers the places where its last
// walk's state changed (line starts, comments and literals opening and
// closing, the tag passed), the state there, and what it found: a later
// look that reaches a place that walk passed, in the same state, has its
// answer. So a file of keywords whose looks all run far costs about one
// walk, not one each.
#ifndef KOLVU_SCANNER_ENGINE_FAR_LOOK_H_
#define KOLVU_SCANNER_ENGINE_FAR_LOOK_H_

#include <cstdint>
#include <cstdlib>

#include "kolvu/bytes.h"
#include "scanner/engine_runs.h"
#include "scanner/lexer.h"
#include "scanner/tag_head.h"
#include "util/alloc_seam.h"

namespace kolvu {
namespace {

// The look's answer when the text at hand ends before anything decides.
const int kLookNeedsMore = -1;

class FarLook {
 public:
  explicit FarLook(const unsigned char *leads) : leads_(leads) {}
  FarLook(const FarLook &) = delete;
  FarLook &operator=(const FarLook &) = delete;
  ~FarLook() {
    std::free(memo_.at);
    std::free(memo_.state);
    std::free(walk_.at);
    std::free(walk_.state);
  }

  // The text at hand moved: what was remembered points nowhere.
  void forget() {
    memo_.n = 0;
    memo_found_ = 0;
    memo_end_ = nullptr;
  }

  // From q of the line at line (its text tl bytes, its read len bytes; in
  // code there, directive: the line is a directive's), over the lines that
  // follow up to hi: '{', ';', '(' or 0 at the end of the text. macro: the
  // line is a #define's, which the look does not leave. rest: the
  // text ends at hi; else kLookNeedsMore where the look reaches hi. limit:
  // a line read as long is the end of the text.
  int look(const char *line, int tl, int len, int q, bool directive, bool macro, const char *hi,
           bool rest, int limit) {
    walk_.n = 0;
    walk_.until = nullptr;
    lex::TagHead head(lex::HeadPolicy::kTool);
    bool block = false, line_comment = false;
    char quote = 0;
    const char *w = line;
    int i = q;
    bool first = true;
    // The walk's state, as remembered: only where the head is settled (before
    // the tag, or past it and its group), where the rest of the walk depends
    // on nothing else.
    auto state = [&]() -> int {
      const int settled = head.settled();
      if (settled < 0) return -1;
      return (block ? 1 : 0) | (quote == '\'' ? 2 : 0) | (quote == '"' ? 4 : 0) |
             (line_comment ? 8 : 0) | (directive ? 16 : 0) | (macro ? 32 : 0) | settled << 6;
    };
    // At a place where the state may have changed: a walk that passed here
    // in the same state found what this one will. Else the place is noted.
    int known = -1;
    auto mark = [&](const char *at) {
      int st = state();
      if (st < 0) {  // in the tag's group: nothing to go by from here
        note(at, kNoState);
        return false;
      }
      known = remembered(at, static_cast<uint8_t>(st));
      if (known >= 0) return true;
      note(at, static_cast<uint8_t>(st));
      return false;
    };
    int settled = head.settled();
    for (;;) {
      if (!first) {
        // The start of a following line: w.
        if (w >= hi) return finish(rest ? 0 : kLookNeedsMore, hi);
        int room = hi - w < limit ? static_cast<int>(hi - w) : limit;
        len = cut_line(w, room, &tl);
        if (tl >= limit) return finish(0, w);
        if (w[len - 1] != '\n' && len == hi - w && !rest) return finish(kLookNeedsMore, w);
        i = 0;
        if (quote == 0 && !block && !directive) {
          int k = 0;
          while (k < tl && is_blank(w[k])) ++k;
          directive = k < tl && w[k] == '#';
        }
        if (mark(w)) return known;
      }
      first = false;
      int stop = tl > 0 && w[tl - 1] == '\n' ? tl - 1 : tl;
      // Walking by characters from the line's start (the look starts after
      // a keyword, at the start of a character).
      lex::CharWalk chars(leads_, w + i, w + tl);
      line_comment = false;
      for (; i < stop && !line_comment; ++i) {
        if (head.walked()) {
          settled = head.settled();
          if (mark(w + i)) return known;
        }
        const bool second = chars.second(w + i);
        const char c = w[i];
        if (block) {
          if (c == '*' && w[i + 1] == '/') {
            // The '/' that closes the comment is no code, but it may open
            // another, as the scan reads on from it: a block comment at
            // `*/*`, a line comment at `*//`.
            ++i;
            block = w[i + 1] == '*';
            line_comment = w[i + 1] == '/';
            if (!block && mark(w + i + 1)) return known;
          }
          continue;
        }
        if (quote != 0) {
          if (c == '\\' && !second && i + 1 < stop) {
            ++i;
          } else if (c == quote) {
            quote = 0;
            if (mark(w + i + 1)) return known;
          }
          continue;
        }
        if (c == '/' && w[i + 1] == '/') {
          line_comment = true;
          if (mark(w + i + 1)) return known;
          continue;
        }
        if (c == '/' && w[i + 1] == '*') {
          block = true;
          if (mark(w + i + 1)) return known;
          continue;
        }
        if (c == '"' || (c == '\'' && !lex::digit_separator(leads_, w, w + i, w + tl))) {
          quote = c;
          if (mark(w + i + 1)) return known;
          continue;
        }
        // A lead byte steps over a character when a byte of the text follows
        // it (a '\n' too); the last byte of a text cut by a NUL is a byte
        // of its own.
        if ((directive && !macro) || second || (lex::lead(leads_, c) && i + 1 < tl)) continue;
        int found;
        const int e = static_cast<int>(head.name_end(w, static_cast<size_t>(i), static_cast<size_t>(stop)));
        if (e > i) {
          found = head.name(w + i, static_cast<size_t>(e - i), static_cast<size_t>(i));
          while (++i < e) head.walked();  // a name's bytes count in a group's length
          --i;
        } else {
          int used = 1;
          found = head.byte(c, w[i + 1], &used);
          i += used - 1;
        }
        if (found != lex::TagHead::kMore) return finish(found, w + i);
        if (head.settled() != settled) {
          settled = head.settled();
          if (mark(w + i + 1)) return known;
        }
      }
      const bool splice = lex::splice_before(leads_, w, w + stop);
      if (!splice && macro) return finish(0, w + len);  // the macro ends first
      if (!splice) {
        quote = 0;
        directive = false;
      }
      head.line_end();
      w += len;
    }
  }

 private:
  static constexpr uint8_t kNoState = 0xFF;

  // Places a walk passed, in order, and its state from each on: the state
  // before the byte there is examined.
  struct Marks {
    const char **at = nullptr;
    uint8_t *state = nullptr;
    int n = 0;
    int cap = 0;
    const char *until = nullptr;  // the first place not noted, when one was not
  };

  // What a walk that passed at in state found; -1 when none did. The state
  // of the last walk remembered holds from each place noted to the next.
  int remembered(const char *at, uint8_t state) const {
    if (memo_.n == 0 || at < memo_.at[0] || at >= memo_end_) return -1;
    int lo = 0, hi = memo_.n - 1;  // the last place noted at or before at
    while (lo < hi) {
      int mid = (lo + hi + 1) / 2;
      if (memo_.at[mid] <= at)
        lo = mid;
      else
        hi = mid - 1;
    }
    return memo_.state[lo] == state ? memo_found_ : -1;
  }

  // Notes a place of this walk and its state there; past 256 K of them, or
  // without memory, the walk notes no more, and is remembered up to there.
  void note(const char *at, uint8_t state) {
    if (walk_.until != nullptr) return;
    if (walk_.n == walk_.cap) {
      int grown = walk_.cap == 0 ? 64 : walk_.cap * 2;
      void *p = grown > (1 << 18) ? nullptr
                                  : realloc_or_null(walk_.at, sizeof(const char *) * static_cast<size_t>(grown));
      if (p != nullptr) walk_.at = static_cast<const char **>(p);
      void *st = p == nullptr ? nullptr : realloc_or_null(walk_.state, static_cast<size_t>(grown));
      if (st == nullptr) {
        walk_.until = at;
        return;
      }
      walk_.state = static_cast<uint8_t *>(st);
      walk_.cap = grown;
    }
    walk_.at[walk_.n] = at;
    walk_.state[walk_.n] = state;
    ++walk_.n;
  }

  // The walk found its answer at end: remembered, with where the walk went.
  int finish(int found, const char *end) {
    if (found != kLookNeedsMore && walk_.n > 0) {
      Marks t = memo_;
      memo_ = walk_;
      walk_ = t;
      memo_found_ = found;
      memo_end_ = memo_.until != nullptr ? memo_.until : end;
    }
    return found;
  }

  const unsigned char *leads_;
  Marks memo_;
  Marks walk_;
  int memo_found_ = 0;
  const char *memo_end_ = nullptr;  // where the remembered walk decided
};

}  // namespace
}  // namespace kolvu

#endif  // KOLVU_SCANNER_ENGINE_FAR_LOOK_H_
