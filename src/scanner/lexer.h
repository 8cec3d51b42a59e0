// How C text is read, each rule stated once: what a character is and which
// byte is the second of two, where a comment, a literal and a directive
// end, what a line splice and a digit separator are, which directive a line
// holds and whether it opens an #if 0 group, what a name is, and C's
// alternative spellings of '#', '{' and '}'. The engine (its steps and its
// look past a line's end), the complete mode, the declarator reader and the
// language server's columns all read through these functions.
//
// Text is given as a pointer t and a limit n (t[n] readable); positions are
// offsets. A function that looks for an end returns n when the text given
// ends first, so a caller fed in pieces knows it needs more.
//
// Double-byte characters: `leads` is the encoding's 256-entry table (bit
// kLead set for Shift_JIS lead bytes, none for ASCII-compatible encodings).
// A lead byte followed by a byte of its line (not its '\n', not past the
// text) begins a two-byte character, unless it is itself a second byte. A
// second byte is no backslash and no brace; every other test of C's reading
// (quotes, comment markers, parentheses, ';', words) takes the byte as it
// is, so a quote that follows a lead byte still opens or closes a literal.
#ifndef KOLVU_SCANNER_LEXER_H_
#define KOLVU_SCANNER_LEXER_H_

#include <cstddef>
#include <cstring>

#include "kolvu/bytes.h"
#include "kolvu/scan.h"

namespace kolvu {

/// Bytes that never begin a double-byte character: the lead-byte table of
/// an ASCII-compatible encoding. Shift_JIS uses byte_class.
extern const unsigned char kNoLeads[256];

namespace lex {

/// The lead-byte table every reader of a text in encoding passes to the
/// functions here: byte_class for Shift_JIS, kNoLeads for UTF-8 and EUC-JP
/// (whose second bytes are never ASCII).
inline const unsigned char *leads_of(Encoding encoding) {
  return encoding == Encoding::kShiftJis ? byte_class : kNoLeads;
}

// Bits of the lexer's own 256-entry class table.
enum : unsigned char {
  kNameByte = 0x01,    // letters, digits, '_' and '$': a name's bytes in lookups
  kDigit = 0x02,       // '0'-'9'
  kNumberRun = 0x04,   // letters, digits, '_' and '.': a number's run before a separator
  kAfterSep = 0x08,    // letters and digits: what may follow a digit separator
  kHidden = 0x10,      // a byte that, as a second byte, is nothing of C's
  kDirStop = 0x20,     // what a directive's walk stops at: '\n', '/', quotes, bytes of 0x80 or above
  kBraceStop = 0x40,   // a walk over braces: those, braces and the digraph and trigraph bytes
  kCodeStop = 0x80,    // a walk of code: what can begin a comment, literal, directive,
                       // keyword, digraph or trigraph, or change a depth; NUL; 0x80 and above
};

// The bytes every walk of code stops at, listed once: the class table
// below, the engine's stop tables and its vector searches are built from
// these lists.
inline constexpr char kQuotes[] = "\"'";             // open a literal
inline constexpr char kEscape = '\\';                // in a literal: the next byte is its own
inline constexpr char kDepthBytes[] = "(){};";      // change a depth or end a definition
inline constexpr char kKeywordStarts[] = "tsu";     // typedef, struct, union
inline constexpr char kSpellingStarts[] = "%<?";    // digraphs and trigraphs
inline constexpr char kDirStops[] = "\n/\"'";       // a directive's walk: its end, comments, literals

constexpr bool in_list(int c, const char *list) {
  for (; *list != '\0'; ++list)
    if (c == static_cast<unsigned char>(*list)) return true;
  return false;
}

// What the walk of code stops at: a comment's '/', a quote, a depth byte,
// a directive's '#', a keyword's first byte, the start of another spelling,
// NUL, and every byte of 0x80 or above.
constexpr bool code_stop(int c) {
  return c == '/' || c == '#' || c == '\0' || c >= 0x80 || in_list(c, kQuotes) ||
         in_list(c, kDepthBytes) || in_list(c, kKeywordStarts) || in_list(c, kSpellingStarts);
}

struct ClassTable {
  unsigned char v[256];
  constexpr ClassTable() : v() {
    for (int c = 0; c < 256; ++c) {
      const bool d = c >= '0' && c <= '9';
      const bool l = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      v[c] = static_cast<unsigned char>((d || l || c == '_' || c == '$' ? kNameByte : 0) |
                                        (d ? kDigit : 0) |
                                        (d || l || c == '_' || c == '.' ? kNumberRun : 0) |
                                        (d || l ? kAfterSep : 0) |
                                        (c == '\\' || c == '{' || c == '}' || c >= 0x80 ? kHidden : 0) |
                                        (in_list(c, kDirStops) || c >= 0x80 ? kDirStop | kBraceStop : 0) |
                                        (c == '{' || c == '}' || c == '<' || c == '%' || c == '?' ? kBraceStop : 0) |
                                        (code_stop(c) ? kCodeStop : 0));
    }
  }
};
inline constexpr ClassTable kClass{};

/// The bytes a walk of code stops at, as tables of 256: [0] kCodeStop's,
/// [1] those and 'e', for a walk that looks at enum keywords too.
struct CodeStops {
  bool v[2][256];
  constexpr CodeStops() : v() {
    for (int c = 0; c < 256; ++c) {
      v[0][c] = code_stop(c);
      v[1][c] = code_stop(c) || c == 'e';
    }
  }
};
inline constexpr CodeStops kCodeStops{};

inline bool is(char c, unsigned char bit) { return kClass.v[static_cast<unsigned char>(c)] & bit; }
inline bool lead(const unsigned char *leads, char c) {
  return leads[static_cast<unsigned char>(c)] & kLead;
}

// ---- characters ----------------------------------------------------------

/// From i, past the bytes that are neither lead bytes nor of class stop; at
/// most n.
inline size_t skip_to(const unsigned char *leads, const char *t, size_t i, size_t n,
                      unsigned char stop) {
  for (;; ++i) {
    while (i < n && !is(t[i], stop)) ++i;  // stop classes hold every byte of 0x80 or above
    if (i >= n || static_cast<unsigned char>(t[i]) < 0x80 || lead(leads, t[i])) return i;
  }
}

/// The byte at i (not a second byte) begins a two-byte character.
inline bool pair_at(const unsigned char *leads, const char *t, size_t i, size_t n) {
  return lead(leads, t[i]) && i + 1 < n && t[i + 1] != '\n';
}

/// The byte at q is the second byte of a two-byte character; line is where
/// q's line (or a place known to start a character) is. The lead bytes
/// directly before q pair up from the first of them, so q is a second byte
/// when they are odd in number.
inline bool second_byte(const unsigned char *leads, const char *line, const char *q) {
  const char *s = q;
  while (s > line && lead(leads, s[-1])) --s;
  return (q - s) % 2 != 0;
}

/// Second bytes found walking forward by characters, for a reader that asks
/// about every byte of a line in order: start it at a character's start
/// (the line's, or just after an ASCII byte), then ask about places that
/// never go back. The same answers as second_byte, in constant time a byte.
class CharWalk {
 public:
  CharWalk(const unsigned char *leads, const char *from, const char *end)
      : leads_(leads), next_(from), end_(end) {}
  bool second(const char *p) {
    while (next_ < p) next_ += next_ + 1 < end_ && lead(leads_, *next_) && next_[1] != '\n' ? 2 : 1;
    return next_ > p;
  }

 private:
  const unsigned char *leads_;
  const char *next_;  // the start of the character at or after the last place asked
  const char *end_;
};

/// Where a walk of code goes after the byte at i: past a two-byte character
/// whose second byte is nothing of C's (a backslash, a brace, a byte of 0x80
/// or above), else to the next byte, which is then read as itself.
inline size_t code_step(const unsigned char *leads, const char *t, size_t i, size_t n) {
  return pair_at(leads, t, i, n) && is(t[i + 1], kHidden) ? i + 2 : i + 1;
}

/// Where a walk for names goes after the byte at i: as code_step, and also
/// past a two-byte character whose second byte is a name's byte, so that no
/// name begins inside a character (the 'A' of Shift_JIS 0x83 0x41).
inline size_t name_step(const unsigned char *leads, const char *t, size_t i, size_t n) {
  return pair_at(leads, t, i, n) && is(t[i + 1], kHidden | kNameByte) ? i + 2 : i + 1;
}

// A character's length in any encoding, for columns, is the library's
// encoded_char_length (<kolvu/scan.h>), defined beside these rules.

// ---- names ---------------------------------------------------------------

/// Just past the name (letters, digits, '_', '$') that starts at t[i], at
/// most n. The tool's own name rule (no '$') is byte_class's kIdent.
inline size_t name_end(const char *t, size_t i, size_t n) {
  while (i < n && is(t[i], kNameByte)) ++i;
  return i;
}

/// The n bytes at p are the word w.
template <size_t N>
inline bool word_is(const char *p, size_t n, const char (&w)[N]) {
  return n == N - 1 && std::memcmp(p, w, N - 1) == 0;
}

// ---- splices, comments, literals -----------------------------------------

/// The '\n' at nl is a line splice: a backslash that is not a second byte
/// stands before it (line: the start of nl's line). C's "??/" spelling of
/// the backslash counts where trigraphs do.
inline bool splice_before(const unsigned char *leads, const char *line, const char *nl,
                          bool trigraphs = false) {
  if (nl > line && nl[-1] == '\\') return !second_byte(leads, line, nl - 1);
  return trigraphs && nl - line >= 3 && std::memcmp(nl - 3, "?\?/", 3) == 0;
}

/// Just past the "*/" of the block comment whose "/*" is at i; n if none.
inline size_t block_comment_end(const char *t, size_t i, size_t n) {
  // From '*' to '*': most comments hold few, and a search for one byte is
  // the quickest there is.
  for (size_t k = i + 2; k + 1 < n;) {
    const void *star = std::memchr(t + k, '*', n - 1 - k);
    if (star == nullptr) break;
    k = static_cast<size_t>(static_cast<const char *>(star) - t);
    if (t[k + 1] == '/') return k + 2;
    ++k;
  }
  return n;
}

/// The '\n' that ends the line at i; n if none.
inline size_t line_end(const char *t, size_t i, size_t n) {
  const void *nl = i < n ? std::memchr(t + i, '\n', n - i) : nullptr;
  return nl == nullptr ? n : static_cast<size_t>(static_cast<const char *>(nl) - t);
}

/// The quote at i separates digits (1'000, 0x1'FF): a letter or digit
/// follows it, and the run of letters, digits, '_' and '.' before it (back
/// to line at most; a run that starts with a second byte starts after it)
/// begins with a digit.
inline bool digit_separator(const unsigned char *leads, const char *line, const char *q,
                            const char *end) {
  if (q + 1 >= end || !is(q[1], kAfterSep)) return false;
  const char *s = q;
  while (s > line && is(s[-1], kNumberRun)) --s;
  if (s < q && s > line && second_byte(leads, line, s)) ++s;
  return s < q && is(*s, kDigit);
}

/// Where the literal whose quote is at i ends: just past its closing quote,
/// or at the '\n' of the line it ends with (a backslash before a '\n' joins
/// the next line; a backslash escapes the byte after it unless it is a
/// second byte); n when the text ends first.
inline size_t literal_end(const unsigned char *leads, const char *t, size_t i, size_t n) {
  const char q = t[i];
  bool second = false;  // the byte at j is a second byte
  for (size_t j = i + 1; j < n; ++j) {
    const char c = t[j];
    if (c == q) return j + 1;
    if (c == '\n') return j;
    if (c == '\\' && !second) {
      if (j + 1 >= n) return n;
      ++j;  // the escaped byte (a '\n' there is a splice), which may begin a character
      second = t[j] != '\n' && pair_at(leads, t, j, n);
      if (second) {
        ++j;
        if (t[j] == q) return j + 1;  // a quote is a quote, second byte or not
        second = false;
      }
      continue;
    }
    second = !second && pair_at(leads, t, j, n);
  }
  return n;
}

// ---- directives ----------------------------------------------------------

/// The directive introducer at i: '#', or the digraph "%:", or the trigraph
/// "??=" (only when trigraphs are read); its length, 0 when none is there.
inline size_t hash_length(const char *t, size_t i, size_t n, bool trigraphs) {
  if (t[i] == '#') return 1;
  if (t[i] == '%' && i + 1 < n && t[i + 1] == ':') return 2;
  if (trigraphs && t[i] == '?' && i + 2 < n && t[i + 1] == '?' && t[i + 2] == '=') return 3;
  return 0;
}

/// The brace C's digraphs "<%" "%>" and trigraphs "??<" "??>" at i spell;
/// 0 when none is there.
inline char brace_spelled(const char *t, size_t i, size_t n) {
  if (i + 1 < n && t[i] == '<' && t[i + 1] == '%') return '{';
  if (i + 1 < n && t[i] == '%' && t[i + 1] == '>') return '}';
  if (i + 2 < n && t[i] == '?' && t[i + 1] == '?') {
    if (t[i + 2] == '<') return '{';
    if (t[i + 2] == '>') return '}';
  }
  return 0;
}

enum class Directive { kNone, kDefine, kIf, kIfdef, kIfndef, kElif, kElse, kEndif, kPragma, kOther };

/// The directive whose word is the n bytes at w.
Directive directive_kind(const char *w, size_t n);

/// The expression of an #if (from just after its word to the end of its
/// line) is the constant 0 alone: blanks, '0', blanks, then the line's end
/// or a comment. Such a group's lines are no code.
bool if0_expression(const char *t, size_t i, size_t n);

/// Just past the '\n' that ends the directive whose text goes on at i (line:
/// the start of i's line, or any place before it on that line): a comment
/// that spans lines, a literal, or a splice (a backslash, or "??/", before a
/// '\n') carries it on. *spliced is set when a splice did. n when the text
/// ends first.
size_t directive_end(const unsigned char *leads, const char *t, size_t line, size_t i, size_t n,
                     bool *spliced);

}  // namespace lex
}  // namespace kolvu

#endif  // KOLVU_SCANNER_LEXER_H_
