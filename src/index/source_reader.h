// Where kolvu-index opens a source named by its path; a source open already
// (standard input, a FIFO, a process substitution) is scanned through its
// descriptor as it is.
#ifndef KOLVU_INDEX_SOURCE_READER_H_
#define KOLVU_INDEX_SOURCE_READER_H_

#include "kolvu/scan.h"

namespace kolvu {

/// Opens path for reading: kCannotOpen with errno (EISDIR for a
/// directory) when it cannot be; the descriptor in *fd otherwise.
ScanResult open_source(const char *path, int *fd);

}  // namespace kolvu

#endif  // KOLVU_INDEX_SOURCE_READER_H_
