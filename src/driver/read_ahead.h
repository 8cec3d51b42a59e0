// Opening the files named on the command line before their turn: while one
// file is scanned, a second thread opens the next regular files and reads
// their first block, so the time spent in the system overlaps the scan.
// What the scanner sees is the same either way; a file the thread passes
// over is opened in its turn as usual.
#ifndef KOLVU_DRIVER_READ_AHEAD_H_
#define KOLVU_DRIVER_READ_AHEAD_H_

#include "kolvu/textio.h"

namespace kolvu {

/// Starts reading ahead the n files of paths, the names the tool will open
/// in this order; paths is a block from alloc_or_null, which the read-ahead
/// then owns. Reads nothing ahead (and just releases paths) with fewer than
/// two names, on a single processor, or when its memory or thread cannot be
/// had. Only regular files are read ahead, and never the file standard
/// output or standard error writes to. Returns whether it reads ahead.
/// Stopped by read_ahead_stop, which also runs when the process exits.
bool read_ahead_start(char **paths, int n);

/// text_open for the tool's files: when path is the next name of the list
/// (the same pointer), the file read ahead for it, else text_open(path).
TextFile *read_ahead_open(const char *path);

/// text_close for a file from read_ahead_open.
int read_ahead_close(TextFile *f);

/// Stops the thread and releases everything; files from read_ahead_open
/// must be closed first, or no longer used.
void read_ahead_stop();

}  // namespace kolvu

#endif  // KOLVU_DRIVER_READ_AHEAD_H_
