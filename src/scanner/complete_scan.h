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
#ifndef KOLVU_SCANNER_COMPLETE_SCAN_H_
#define KOLVU_SCANNER_COMPLETE_SCAN_H_

#include <cstddef>
#include <cstdint>

#include "kolvu/scan.h"
#include "scanner/declarators.h"
#include "scanner/seam_vec.h"

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

/// Scans text[0, size). leads: the lead-byte classes of the encoding (bit
/// kLead), or zeros. The text must be followed by a readable zero byte.
/// Records come in the order their ends were met; false when memory ran
/// out.
bool complete_scan(const char *text, size_t size, const unsigned char *leads,
                   SeamVec<RawRecord> *records, SeamVec<RawName> *names);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_COMPLETE_SCAN_H_
