// What a declaration says, read from its tokens (decl_tokens.h): the name
// each declarator declares and whether it declares a function; the members
// a struct's or union's body declares; the constants of an enum's body.
//
// A declarator's name is the last identifier that is no type word, stands
// in no group and follows no struct, union or enum keyword, read up to its
// parameter list, '[', '=' or ':' (int *p; char buf[4] = "x"; unsigned
// bits : 3). A parenthesized declarator holds its name ((*handler)(int)
// declares a pointer, (name)(int) and (*make(int))(void) functions). Groups
// of attribute words (__attribute__((x)), __declspec(x), __asm__("x")) and
// of typeof are passed over; so is a macro that wraps a type
// (EXPORT(int) f(void), LIST_HEAD(, item) head), told from a function's
// name by its capitals and the plain name after its group, and a macro's
// parameter list (f OF((int a))) is a parameter list.
#ifndef KOLVU_SCANNER_DECLARATIONS_H_
#define KOLVU_SCANNER_DECLARATIONS_H_

#include <cstddef>
#include <cstdint>

#include "kolvu/scan.h"
#include "scanner/declarators.h"
#include "util/seam_vec.h"

namespace kolvu {

/// How a declaration outside any function stands, read up to its ';' or to
/// a '{' after it.
enum class DeclShape {
  kNone,         // declares nothing: a macro call, a typedef (read elsewhere)...
  kDeclared,     // names were appended
  kKnrPending,   // a K&R function's parameter declarations: the ';' ends nothing
  kFunction,     // at a '{': a function's body follows; *name is its name
  kInitializer,  // at a '{': an initializer's braces; the declaration goes on
  kLinkage,      // at a '{': extern "C" {, or C++'s class or namespace: what it
                 // holds is read as at file scope
};

/// The key of a C++ class's name, for read_declaration's owner; never 0.
uint64_t owner_key(const char *name, size_t len);

/// Reads the declaration whose text is t[from, to), to being its ';' (
/// at_brace false) or a '{' (at_brace true). At a ';' the names of its
/// declarators are appended to out (kPrototype, kVariable, kExtern, or
/// kVariable and kExtern for a function pointer), with *begin set to its
/// first token; at a '{' a function's name is in *name_off and *name_len,
/// and a C++ class's name for its body (kLinkage). A declaration with no
/// type before its first name declares nothing (DECLARE_THING(x);), unless
/// it names the class whose body holds it (owner, from owner_key; 0 for
/// none): a constructor, or with '~' before it a destructor, whose name
/// takes the '~'. False when memory runs out.
bool read_declaration(const char *t, size_t from, size_t to, bool at_brace,
                      const unsigned char *leads, uint64_t owner, SeamVec<RawName> *out,
                      DeclShape *shape, size_t *begin, size_t *name_off, int *name_len,
                      TypedefScratch *scratch);

/// Appends the members declared in the body t[open, close) (open at its
/// '{', close at its '}') as names of kind kMember with the scope given,
/// and those of the anonymous structs and unions inside it; a struct or
/// union with a tag inside it is a definition of its own. Every branch of a
/// conditional group is read. False when memory runs out.
bool member_names(const char *t, size_t open, size_t close, const unsigned char *leads,
                  const RawName &scope, SeamVec<RawName> *out, TypedefScratch *scratch);

/// Appends the constants of the enum body t[open, close) (open at its '{',
/// close at its '}') as names of kind kEnumerator with the scope given.
bool enumerator_names(const char *t, size_t open, size_t close, const unsigned char *leads,
                      const RawName &scope, SeamVec<RawName> *out, TypedefScratch *scratch);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_DECLARATIONS_H_
