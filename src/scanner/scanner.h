// The definition scanner's engine, as the tool and the library drive it: it
// reads a text line by line and writes the #define, typedef, struct and
// union definitions that the kind mask and the name list select, byte for
// byte. It keeps no state between calls, so scans may run on several
// threads at once.
#ifndef KOLVU_SCANNER_SCANNER_H_
#define KOLVU_SCANNER_SCANNER_H_

#include <cstddef>

#include "kolvu/scan.h"  // the kind bits
#include "kolvu/textio.h"
#include "scanner/name_index.h"

namespace kolvu {

class RecordSink;

/// What one scan needs to know.
struct ScanSetup {
  int mask;                    // the kind bits
  const NameIndex *names;      // null or empty: every name is wanted
  const unsigned char *leads;  // lex::leads_of the text's encoding
  const char *name;            // the file as named, for the banner
  bool banner;                 // write "/* === name === */\n" before the first output
};

/// Scans stream to its end, writing to standard output. Ends the process
/// with status 1 on a line of 1023 bytes or more.
void scan_stream(TextFile *stream, const ScanSetup &setup);

/// Room for what a scan ahead writes.
struct ScanBuffer {
  char *buf;
  size_t cap;
  size_t len;
};

/// Scans stream ahead of its turn, on any thread: what scan_stream would
/// write is appended to out instead. False when it does not fit in out, a
/// typedef held back does not fit in 64 KB, or a line is too long: then out
/// holds nothing of use, stream has been read from, and the file must be
/// scanned with scan_stream in its turn. The name index must not change
/// meanwhile.
bool scan_stream_ahead(TextFile *stream, const ScanSetup &setup, ScanBuffer *out);

/// Scans size bytes of text (as read: no carriage return, nothing after a
/// Ctrl-Z), followed in memory by at least 128 readable bytes, into the
/// records of sink; lines may be of any length. False when the scan failed
/// (sink says why).
bool scan_records(const char *text, int size, const ScanSetup &setup, RecordSink *sink);

}  // namespace kolvu

#endif  // KOLVU_SCANNER_SCANNER_H_
