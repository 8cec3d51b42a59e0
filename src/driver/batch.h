// The file loop: each named file is opened, scanned and closed in turn.
#ifndef KOLVU_DRIVER_BATCH_H_
#define KOLVU_DRIVER_BATCH_H_

namespace kolvu {

/// Opens the file and scans it, or reports "%s: not found\n".
void scan_named_file(const char *name, int mask);

/// Scans count files named one after the other with the same settings. The
/// output, the diagnostics and their order are those of scan_named_file on
/// each name in turn; on a machine with two processors a second thread
/// scans the files ahead into memory while this one writes.
void scan_files(char *const *names, int count, int mask);

}  // namespace kolvu

#endif  // KOLVU_DRIVER_BATCH_H_
