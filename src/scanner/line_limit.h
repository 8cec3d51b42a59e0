// The input line limit shared by source files and list files: lines are read
// into a 1024-byte buffer, and a read that fills it (1023 bytes) is fatal.
#ifndef KOLVU_SCANNER_LINE_LIMIT_H_
#define KOLVU_SCANNER_LINE_LIMIT_H_

namespace kolvu {

const int kLineBufSize = 1024;
const int kLineTooLong = kLineBufSize - 1;

/// Reports "%s \nError: too long line found!\n" with the text read and ends
/// the process with status 1.
[[noreturn]] void fail_long_line(const char *text);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_LINE_LIMIT_H_
