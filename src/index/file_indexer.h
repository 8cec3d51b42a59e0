// A worker's tools for one file at a time: it reads the file, scans it and
// turns its definitions into the run's format: JSON Lines handed to the
// sink a piece at a time as they grow, an Emacs TAGS section, or tag lines
// kept in the file's slot for the sorted file written at the end.
#ifndef KOLVU_INDEX_FILE_INDEXER_H_
#define KOLVU_INDEX_FILE_INDEXER_H_

#include <string_view>

#include "index/file_records.h"
#include "index/file_slot.h"
#include "index/runner.h"
#include "index/source_reader.h"

namespace kolvu {

/// Where a worker's output goes: put() takes a piece of a file's output,
/// writing it or keeping a copy, and the worker reuses its buffer.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void put(FileSlot *s, std::string_view piece) = 0;
};

class FileIndexer {
 public:
  FileIndexer(const IndexJob &job, OutputSink *sink);
  /// Indexes the file of s; a failure is noted in s (failed, warning, err).
  void index(FileSlot *s);

 private:
  const IndexJob &job_;
  OutputSink *sink_;
  FileRecords records_;
  SourceReader reader_;
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_FILE_INDEXER_H_
