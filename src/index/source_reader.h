// Where kolvu-index reads a source: a file by its path, or an open
// descriptor (standard input, a FIFO, a process substitution), each read as
// far as it goes. Every scan of the program passes through here, so that how
// a source is read changes in one place.
#ifndef KOLVU_INDEX_SOURCE_READER_H_
#define KOLVU_INDEX_SOURCE_READER_H_

#include "kolvu/scan.h"

namespace kolvu {

/// The most bytes one source may hold.
extern const unsigned long long kSourceLimit;

/// Opens path for reading: kCannotOpen with errno (EISDIR for a
/// directory) when it cannot be; the descriptor in *fd otherwise.
ScanResult open_source(const char *path, int *fd);

/// Scans the source open at fd from where it stands to its end; fd stays
/// open. A regular file larger than the limit is refused before it is read.
ScanResult scan_source_fd(int fd, const ScanOptions &options, DefinitionFn fn, void *context);

/// The same with any callable, as the templates of <kolvu/scan.h>.
template <typename F>
ScanResult scan_source_fd(int fd, const ScanOptions &options, F &&f) {
  using Fn = std::remove_reference_t<F>;
  return scan_source_fd(fd, options, &scan_detail::call<Fn>,
                        const_cast<void *>(static_cast<const void *>(&f)));
}

/// "too large (the limit is 2 GiB)" for kTooLarge, scan_status_text's
/// words for any other status.
const char *source_status_text(ScanStatus status);

}  // namespace kolvu

#endif  // KOLVU_INDEX_SOURCE_READER_H_
