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

/// Output held in memory, up to limit bytes (it must stay below 2 GB).
struct ScanBuffer {
  char *data = nullptr;
  size_t len = 0;
  size_t cap = 0;
  size_t limit = 0;
  bool full = false;  // set when an append would pass limit; nothing more is kept

  void append(const char *p, size_t n);
  void release();
};

enum ScanResult {
  kScanDone,     // the whole file was scanned
  kScanTooLong,  // stopped at a line of 1023 bytes or more
  kScanFull,     // stopped: the output would not fit the buffer
};

/// Scans stream as scan_file does, but into buffer, and returns instead of
/// ending the process: on kScanTooLong the over-long line's text (1023 bytes
/// and a NUL) is in long_line, which has room for 1024 bytes. What the
/// buffer holds then is what scan_file would have written before failing.
/// Reads pr_fname and the name list, and changes neither.
ScanResult scan_to_buffer(TextFile *stream, const char *name, int mask, ScanBuffer *buffer,
                          char *long_line);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_SCANNER_H_
