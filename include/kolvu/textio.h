// The platform layer: text files read the way the tool expects on every
// system, and the library's writing to standard output (C's stdout).
#ifndef KOLVU_TEXTIO_H_
#define KOLVU_TEXTIO_H_

#include <sys/stat.h>

#include <cstddef>

namespace kolvu {

// ---- Text input ---------------------------------------------------------
//
// A text file is read in large blocks and handed out in lines:
//  - every carriage return (0x0D) is dropped, wherever it stands;
//  - a Ctrl-Z byte (0x1A) ends the file: nothing after it is read;
//  - a read error ends the file like end of file;
//  - a line read stops after the first '\n' (which is kept) or when the
//    buffer is full; the last line may lack its '\n'.

struct TextFile;

/// Opens path for reading as text. Null when it does not exist, cannot be
/// read, or is a directory. Not for use by two threads at once.
TextFile *text_open(const char *path);

/// Reads the next line into buf, as the standard line read does: at most
/// size - 1 bytes, stopping after the first '\n', then a terminating NUL.
/// Returns the number of bytes stored (NUL bytes of the file included, the
/// terminator not), or 0 at end of file. size must be at least 2.
int text_gets(char *buf, int size, TextFile *f);

/// Reads the next line in place: at most 1023 bytes, stopping after the
/// first '\n'. Returns a pointer to it inside the file's buffer, with a NUL
/// after its last byte, and its length (NUL bytes of the file included) in
/// *len; null at end of file. At least 16 bytes after that NUL may be read
/// (their values mean nothing). The line is valid until the next read or close.
const char *text_line(TextFile *f, int *len);

/// The text not yet consumed, for callers that cut lines themselves: *avail
/// bytes from the result, then a NUL and at least 16 more readable bytes.
/// It holds at least 1023 bytes (one whole line) unless it is the rest of
/// the file, which *rest then says; it is empty at end of file. Valid until
/// the next read, consume or close.
const char *text_window(TextFile *f, int *avail, bool *rest);

/// Marks the first n bytes of the window as read.
void text_consume(TextFile *f, int n);

/// The window as text_window gives it, but with as much more of the file
/// read after it as the file's block holds (about 128 KB in all), for a
/// caller that must look further ahead before it can consume anything.
const char *text_window_more(TextFile *f, int *avail, bool *rest);

/// Closes the file and releases it (memory given to text_open_in stays the
/// caller's). Returns 0 on success.
int text_close(TextFile *f);

/// For a caller that opens files on another thread before their turn comes:
/// the bytes of memory text_open_in needs.
size_t text_file_bytes();

/// Opens path in mem (text_file_bytes() bytes, suitably aligned, the
/// caller's until text_close) and reads ahead as text_window would. Only for
/// a regular file that is still the one expected describes (its device and
/// inode): null otherwise, or when it cannot be opened. Uses no state shared
/// with other calls, so it may run on any thread.
TextFile *text_open_in(void *mem, const char *path, const struct stat &expected);

/// Whether all of the file is in memory, read from its start: it can then be
/// read again from there after text_rewind.
bool text_whole(const TextFile *f);

/// Back to the start of a file of which text_whole held when it was opened.
void text_rewind(TextFile *f);

// ---- Standard output ----------------------------------------------------
//
// Standard output is C's stdout: everything the library writes there
// (out_write, out_puts, out_putc, errmsg and errmsg1 with KOLVU_ERRFP_STDOUT,
// the fatal message of exp_tab) goes through stdout, in call order with the
// program's own printf, fputs and fwrite to it, and under stdout's buffering.
// fflush(stdout) and fflush(NULL) write it, so flushing before fork() leaves
// the child nothing of the parent's to write again. The library keeps no
// buffer of its own, and does not change stdout's buffering unless
// out_tool_buffering is called. Standard error is never buffered by the
// library.
//
// Once the library has written to stdout, a failed write to stdout is
// reported when the process ends, by exit() or exit_process(): "write error
// on standard output: <reason>" on standard error, and exit status 1. The library's writes to stdout are not
// meant for two threads at once (they use the unlocked stdio calls).

/// Sets stdout's buffering as the kolvu tool has it, and must therefore come
/// before anything is written to stdout (it calls setvbuf): unbuffered when
/// stdout is a terminal; otherwise, when standard error is the same file, in
/// 512-byte blocks, a full block going out only when one more byte needs room
/// (the library's own writes keep this rule exactly, so a diagnostic's place
/// among the blocks is always the same); into any other file in large blocks,
/// which gives the same bytes.
void out_tool_buffering();

/// Writes n bytes to stdout.
void out_write(const char *p, size_t n);

/// Writes a NUL-terminated text to stdout.
void out_puts(const char *s);

/// Writes one byte to stdout.
void out_putc(int c);

/// Flushes stdout (fflush). Returns 0, or -1 if a write to stdout has failed
/// at any time.
int out_flush();

}  // namespace kolvu

#endif  // KOLVU_TEXTIO_H_
