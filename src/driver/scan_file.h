// The tool's scans: the scanner driven with the tool's settings (the kind
// mask, the name list and pr_fname), writing to standard output.
#ifndef KOLVU_DRIVER_SCAN_FILE_H_
#define KOLVU_DRIVER_SCAN_FILE_H_

#include "kolvu/textio.h"
#include "scanner/scanner.h"

namespace kolvu {

/// Set to 1 to write "/* === name === */\n" before a file's first output.
extern int pr_fname;

/// Scans stream to its end, writing to standard output. name is used only
/// in the banner. Ends the process with status 1 on a line of 1023 bytes or
/// more.
void scan_file(TextFile *stream, const char *name, int mask);

/// scan_stream_ahead with the tool's settings and the banner as given. The
/// name list must not change meanwhile.
bool scan_file_ahead(TextFile *stream, const char *name, int mask, bool banner, ScanBuffer *out);

/// The setup of the tool's scans: Shift_JIS, the name list as it stands.
ScanSetup tool_scan_setup(const char *name, int mask, bool banner);

}  // namespace kolvu

#endif  // KOLVU_DRIVER_SCAN_FILE_H_
