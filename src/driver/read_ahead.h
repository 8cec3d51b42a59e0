// Working on the files named on the command line before their turn: while
// one file is scanned, a second thread opens the next regular files and
// reads them, and scans ahead those it holds whole, into memory. What comes
// out is the same either way: a file's output is written in its turn, and
// whatever the thread passes over, or cannot finish, is done in its turn as
// usual.
#ifndef KOLVU_DRIVER_READ_AHEAD_H_
#define KOLVU_DRIVER_READ_AHEAD_H_

#include "kolvu/textio.h"

namespace kolvu {

/// A file the tool will scan, with what holds for it.
struct AheadFile {
  char *path;
  int lists;            // "-l" values taken in before its turn
  unsigned char mask;   // kind mask
  bool banner;          // a banner before its first output
};

/// Starts working ahead on the n files of files, in this order; files is a
/// block from alloc_or_null, which the read-ahead then owns. Does nothing
/// (and just releases files) with fewer than two files, on a single
/// processor, with fewer than 64 file descriptors allowed, or when its
/// memory or thread cannot be had. Only regular files
/// are read ahead, and never the file standard output or standard error
/// writes to; a file is scanned ahead only once read_ahead_lists has
/// counted its "-l" values. Returns whether it works ahead. Stopped by
/// read_ahead_stop, which also runs when the process exits.
bool read_ahead_start(AheadFile *files, int n);

/// The tool has taken in count "-l" values (and brought the name index up
/// to date): the list will not change before the next one.
void read_ahead_lists(int count);

/// The file named path, in its turn: when path is the next name of the list
/// (the same pointer) and that file was scanned ahead, its output is written
/// now, *scanned is set and the result is null. Otherwise the file read
/// ahead for it, or text_open(path).
TextFile *read_ahead_open(const char *path, bool *scanned);

/// text_close for a file from read_ahead_open.
int read_ahead_close(TextFile *f);

/// Stops the thread and releases everything; files from read_ahead_open
/// must be closed first, or no longer used.
void read_ahead_stop();

}  // namespace kolvu

#endif  // KOLVU_DRIVER_READ_AHEAD_H_
