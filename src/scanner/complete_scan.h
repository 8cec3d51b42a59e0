// The scanner of the complete mode: every #define, typedef, struct and
// union definition of a text, nested ones included, each as the span of its
// own bytes, with the names it introduces.
//
// It reads the text as C is read: comments, string and character literals
// (a literal ends with its line unless a backslash joins the next one; a
// quote inside a number such as 1'000 separates digits), double-byte
// characters (a lead byte and the byte after it, unless that is the line's
// '\n'), preprocessor directives (a '#' first on its line, with their
// continuations: their parentheses and braces are their own). A NUL is a
// byte like any other.
//
// - A #define is the directive, from its '#' to the end of its last line.
// - A typedef runs from its keyword to its ';' at the brace depth where it
//   began, whatever its layout.
// - A struct or union is a definition when, from after its keyword, past
//   comments, preprocessor lines and line ends, the tag, a group that
//   belongs to it (`<...>`, or `(...)` after an attribute or a macro) and a
//   base clause (`: public B`), a '{' comes next; it runs to the ';' after
//   its body. Inside parentheses it names a type and starts nothing.
// - A ';', '{' or '}' of code ends every open parenthesis.
// - Braces count in the first branch of #if/#ifdef/#ifndef ... #endif only
//   (the first branch that is not #if 0); at #elif and #else the depth goes
//   back to what it was at the #if, and at #endif it is what the first
//   branch left. A definition wholly inside a later branch is still found.
// - The lines of an #if 0 group, to its #elif, #else or #endif, are no code:
//   only their directives count (a #define there is a definition).
// - A definition whose last line holds only blanks and comments after its
//   end takes the rest of that line.
// With a kind bit of kDeclarationKinds asked, it also reads each
// declaration at file scope (declarations.h) where it ends: at its ';' its
// prototypes, variables and extern declarations; at a '{' a function's
// body (a record to the matching '}'), an initializer's braces, extern "C"
// or a C++ class or namespace (whose body is read as file scope), or a
// block of some macro's (passed over). A K&R function's parameter
// declarations end nothing. An enum with a body is a record as a struct is;
// a struct's, union's, enum's or typedef's body gives its members or
// constants when it closes (an anonymous struct's or union's are its
// holder's). An #if 0 group is then read as a later branch is. A
// declaration begun before an #if reads the first branch; one a later
// branch ends, begun before it, is none.
#ifndef KOLVU_SCANNER_COMPLETE_SCAN_H_
#define KOLVU_SCANNER_COMPLETE_SCAN_H_

#include <cstddef>
#include <cstdint>

#include "kolvu/bytes.h"

#include "kolvu/scan.h"
#include "scanner/declarators.h"
#include "util/seam_vec.h"

namespace kolvu {

/// A definition found: its span of the text and its names.
struct RawRecord {
  DefKind kind;
  int bit;           // the kind bit that selects it
  size_t begin;      // its first byte
  size_t end;        // just past its last byte
  size_t semi;       // a typedef's or struct's closing ';', or SIZE_MAX
  size_t names_from; // its names: names[names_from, names_from + name_count)
  uint32_t name_count;
};

/// The walk, which may be given its text a piece at a time: each call of
/// scan() goes on where the last one stopped, over a text that still holds
/// every byte from keep() on (the earlier ones may have been dropped with
/// shift()). It stops where a construct runs past the text given, unless
/// that text is the end. Records and names are appended to the arrays given,
/// with offsets in the text of the latest call.
class CompleteScanner {
 public:
  /// leads: the lead-byte classes of the encoding (bit kLead), or zeros.
  /// kinds: the kind bits asked; the definitions only those of
  /// kDeclarationKinds select are looked for when one of them is asked.
  CompleteScanner(const unsigned char *leads, SeamVec<RawRecord> *records,
                  SeamVec<RawName> *names, int kinds = 0);

  /// Scans text[0, size), which must be followed by a readable zero byte;
  /// at_end: nothing follows it. False when memory ran out.
  bool scan(const char *text, size_t size, bool at_end);

  /// The first byte later calls need: the start of the line at hand, or of
  /// the line of an open definition's first byte.
  size_t keep() const;
  /// The first byte of the earliest definition still open; SIZE_MAX when
  /// none is. A record found so far that begins before it is complete, and
  /// so is everything it holds.
  size_t open_from() const;
  /// The text's first by bytes are gone: every offset kept moves down.
  void shift(size_t by);

 private:
  struct Open {
    DefKind kind;
    size_t begin;
    int depth;     // the brace depth it began at
    bool body;     // a '{' at that depth has been met
    bool su_head;  // a typedef whose struct or union keyword has been met
    uint64_t seq;
    size_t tag_off;
    int tag_len;          // a function's name, a struct's, union's or enum's tag
    size_t body_from = SIZE_MAX;  // the '{' and '}' of its body
    size_t body_to = SIZE_MAX;
  };
  struct Cond {
    int brace, paren;          // at the #if
    size_t snap_a, snap_b;     // the open definitions at the #if, in pool_
    size_t snap_c, snap_d;     // and where the counted branch ended
    int counted_brace, counted_paren;
    bool if0;                  // the current branch is an #if 0 one
    bool counted;              // the current branch is the one whose braces count
    bool counted_done;         // the counted branch is over
    uint64_t outer_floor;
    // The declaration at file scope: where it was at the #if and whether it
    // had begun; where the counted branch left it.
    uint64_t linkage, counted_linkage;
    size_t decl_from, counted_decl;
    bool decl_started, counted_skip;
    bool if0_code;             // an #if 0 branch read as code
  };

  // The lexer's answers, with the text's end read as "more is needed".
  size_t more_or(size_t at) const { return at >= n_ ? starved() : at; }
  // The end of the text given, met by a look that wanted more: unless the
  // text ends there, the step must wait for more of it.
  size_t starved() const {
    if (!at_end_) hungry_ = true;
    return n_;
  }
  size_t line_end(size_t i) const;
  size_t comment_end(size_t i) const;
  bool digit_separator(size_t i) const;
  size_t literal_end(size_t i) const;
  size_t directive_end(size_t i, bool *spliced) const;
  size_t gap(size_t i) const;
  bool body_follows(size_t i, size_t *tag_off, int *tag_len) const;
  size_t trailing(size_t i) const;

  size_t directive(size_t h, size_t hash_len);
  bool line_start_before(size_t i) const;
  void comment_passed(size_t b, size_t e);
  size_t word(size_t i);
  void punct(size_t i, char c);
  void open(DefKind kind, size_t begin, size_t tag_off, int tag_len);
  void close(size_t end, size_t semi);
  // Copies open_ to the end of pool_, at [*from, *to) there.
  void save_open(size_t *from, size_t *to);
  void cond_push(bool if0, size_t h, size_t end);
  // fresh: the declaration at hand had not begun at this directive.
  void cond_else(size_t end, bool fresh);
  void cond_end(size_t end, bool fresh);
  void restore_if(const Cond &c);
  void decl_restart(const Cond &c, size_t end);

  // The declarations outside functions, read when kinds_new_ is set.
  // The owner_key of the C++ class whose body the place at hand is in; 0.
  uint64_t owner() const { return brace_ > 0 && brace_ <= 64 ? owner_[brace_ - 1] : 0; }
  bool at_file() const {
    if (brace_ <= 0) return true;
    if (brace_ >= 64) return false;
    const uint64_t below = (uint64_t{1} << brace_) - 1;
    return (linkage_ & below) == below;
  }
  bool only_gap(size_t from, size_t to) const;
  void file_brace(size_t i);
  void brace_closes(size_t i);
  void declaration_ends(size_t semi, size_t end);
  void body_names(const Open &o, size_t names_from, bool deferred);

  const char *t_ = nullptr;
  size_t n_ = 0;
  bool at_end_ = false;
  mutable bool hungry_ = false;
  size_t at_ = 0;         // where the next call goes on
  const unsigned char *leads_;
  SeamVec<RawRecord> *records_;
  SeamVec<RawName> *names_;
  bool ok_ = true;
  int brace_ = 0;
  int paren_ = 0;
  int no_code_ = 0;      // #if 0 groups the current place is in
  size_t hash_ok_at_ = SIZE_MAX;  // just past a comment that only blanks and comments precede on its line
  uint64_t seq_ = 0;     // definitions opened so far
  uint64_t floor_ = 0;   // those opened before it and closed here are not handed over
  SeamVec<Open> open_;
  SeamVec<Open> pool_;   // copies of open_ kept by the conditional groups
  SeamVec<Cond> conds_;
  TypedefScratch tokens_;
  // Functions, prototypes, enums, members, variables.
  bool all_ = false;             // one of their kind bits is asked
  const bool *stops_;            // the walk's stop bytes
  size_t decl_from_ = SIZE_MAX;  // where the declaration at file scope at hand may begin
  bool decl_skip_ = false;       // it began before the branch at hand: read nothing
  uint64_t linkage_ = 0;         // brace depths opened by extern "C" {
  uint64_t owner_[64] = {};      // at a depth linkage_ has: its C++ class's owner_key, or 0
};

/// The kind bits of the definitions that only a look at every declaration
/// finds.
constexpr int kDeclarationKinds =
    FN_BODY | FN_PROTO | EN_TYPE | EN_CONST | SU_MEMBER | VAR_DEF | VAR_EXTERN;

/// Scans the whole text[0, size), which must be followed by a readable zero
/// byte. Records come in the order their ends were met; false when memory
/// ran out.
bool complete_scan(const char *text, size_t size, const unsigned char *leads,
                   SeamVec<RawRecord> *records, SeamVec<RawName> *names, int kinds = 0);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_COMPLETE_SCAN_H_
