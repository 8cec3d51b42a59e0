// The one way the server reads a file from disk, whoever asks (the walk's
// workers, watched-file events, hover, definition, a document closed): only
// a regular file is read, and only up to a size. The file is opened without
// waiting, so a FIFO or a device named like a source never blocks the
// server, and what it is is checked on the open descriptor before a byte is
// read.
#ifndef KOLVU_LSP_REGULAR_FILE_H_
#define KOLVU_LSP_REGULAR_FILE_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace kolvu {

/// The largest file the server reads.
const size_t kMaxFileBytes = 64u << 20;

/// What tells a file's version apart from the next: its size and its time
/// of modification, as read when it was.
struct FileStamp {
  int64_t size = -1;  // -1: no file
  int64_t mtime_ns = 0;
  bool operator==(const FileStamp &o) const { return size == o.size && mtime_ns == o.mtime_ns; }
  bool operator!=(const FileStamp &o) const { return !(*this == o); }
};

/// The stamp of the regular file at path, or one of size -1 when there is
/// none (or it is not a regular file).
FileStamp stamp_of(const std::string &path);

/// Reads the regular file at path whole into *text (and its stamp into
/// *stamp when given). False, with the reason in *error, for what is not a
/// regular file, a file larger than max_bytes, or errno's text.
bool read_regular_file(const std::string &path, size_t max_bytes, std::string *text,
                       std::string *error, FileStamp *stamp = nullptr);

/// Reads at most size bytes at offset of the regular file at path (fewer
/// at its end). False when it cannot.
bool read_regular_range(const std::string &path, size_t offset, size_t size, std::string *text);

}  // namespace kolvu

#endif  // KOLVU_LSP_REGULAR_FILE_H_
