// The definition scanner: reads one file line by line and writes the
// #define, typedef, struct and union definitions that the kind mask and the
// name list select, byte for byte, to standard output.
#ifndef KOLVU_SCANNER_SCANNER_H_
#define KOLVU_SCANNER_SCANNER_H_

#include "kolvu/textio.h"

namespace kolvu {

// The kind mask. A mask of 0 selects every #define and nothing else.
enum KindBits {
  DEF_SINGLE = 0x01,  // #define on one line
  DEF_CONT = 0x02,    // #define continued with a backslash
  TD_SIMPLE = 0x04,   // typedef ending at its own ';' on its first line
  TD_BLOCK = 0x08,    // typedef of a struct or union with a body
  SU_STRUCT = 0x10,   // struct definition
  SU_UNION = 0x20,    // union definition
};

/// Set to 1 to write "/* === name === */\n" before a file's first output.
extern int pr_fname;

/// Scans stream to its end, writing to standard output. name is used only
/// in the banner. Ends the process with status 1 on a line of 1023 bytes or
/// more.
void scan_file(TextFile *stream, const char *name, int mask);

/// Room for what a scan ahead writes.
struct ScanBuffer {
  char *buf;
  size_t cap;
  size_t len;
};

/// Scans stream ahead of its turn, on any thread: what scan_file would write
/// (with a banner when banner is set) is appended to out instead of written.
/// False when it does not fit in out, a typedef held back does not fit in
/// 64 KB, or a line is too long: then out holds nothing of use, stream has
/// been read from, and the file must be scanned with scan_file in its turn.
/// The name list must not change meanwhile.
bool scan_file_ahead(TextFile *stream, const char *name, int mask, bool banner, ScanBuffer *out);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_SCANNER_H_
