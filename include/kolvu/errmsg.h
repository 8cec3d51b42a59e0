// Diagnostics: a small formatter of our own and the writers that use it.
//
// Messages are written exactly as formatted: no prefix, no added newline.
// Callers pass complete lines ("%s: not found\n").
#ifndef KOLVU_ERRMSG_H_
#define KOLVU_ERRMSG_H_

#include <cstdarg>
#include <cstdio>

namespace kolvu {

/// Where messages go. Null (the initial value) selects standard error; the
/// all-ones value, KOLVU_ERRFP_STDOUT, selects standard output, which is C's
/// stdout: the message goes in order with the program's own printf output and
/// is written by fflush(stdout) or fflush(NULL) (see kolvu/textio.h). Any
/// other value is an open stream, honoured only by errmsg1; errmsg then
/// writes to standard error.
extern FILE *errfp;
#define KOLVU_ERRFP_STDOUT (reinterpret_cast<FILE *>(-1))

/// Set to 1 by every errmsg call; nothing in the library clears it.
extern int errmsg_output_flg;

/// Formats fmt with the arguments in args into the formatter's own buffer and
/// returns it; the text is valid until the next call (not reentrant).
///
/// Directives are "%" and one letter, with no flags, widths or modifiers:
///   %c  the next int's low byte          %d  the next int, as "%d"
///   %x  the next int, as "%x"            %s  the next const char *, whole
///   %f  the next double, as "%f"
///   any other letter, "%" included: takes the next int and writes "?" and
///   the letter ("%%" writes "?%", "%5d" writes "?5" then "d").
/// A null %s argument writes "(null)". A "%" that is the last byte of fmt has no letter: it is written as "%" and
/// takes no argument. The buffer grows, so a message of any length comes out
/// whole (it is cut only if memory for it cannot be had).
char *err_edit(const char *fmt, va_list args);

/// Formats the message and writes it to standard output when errfp is the
/// all-ones value, else to standard error; sets errmsg_output_flg to 1.
/// Returns the number of bytes written (the message up to its first NUL),
/// or -1 if the write failed.
int errmsg(const char *fmt, ...);

/// Like errmsg, but honours an open stream in errfp and leaves
/// errmsg_output_flg alone.
int errmsg1(const char *fmt, ...);

}  // namespace kolvu

#endif  // KOLVU_ERRMSG_H_
