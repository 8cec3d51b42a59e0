// What one file's definitions become in kolvu-index's output, record by
// record as the scan hands them over: JSON Lines (each text converted from
// the encoding its source is read in), the entries of an Emacs tags
// section, or the tags of a tags file, held to be sorted with the run's.
// One per worker: it keeps its converter and buffers from file to file.
#ifndef KOLVU_INDEX_FILE_RECORDS_H_
#define KOLVU_INDEX_FILE_RECORDS_H_

#include <string>
#include <string_view>
#include <vector>

#include "common/utf8.h"
#include "index/options.h"
#include "index/records.h"
#include "kolvu/scan.h"
#include "util/seam_vec.h"

namespace kolvu {

class FileRecords {
 public:
  /// Only names of kinds (KindBits) are written, whatever the records
  /// hold: a struct's record may come for its members alone. names: the
  /// names a tags or Emacs tags line is written for (null or empty: all);
  /// JSON writes every name of those kinds of a record the scan hands over.
  FileRecords(IndexFormat format, int kinds, const NameList *names);

  /// Starts the output of the file named path; what a large file before
  /// needed is not kept.
  void start(const std::string &path);

  /// Takes the file's next definition; false when memory for its output
  /// cannot be had.
  bool add(const Definition &d);

  /// JSON: the records not yet taken; Emacs tags: the entries of the
  /// file's section so far. The caller may take it at any time, and then
  /// clears it.
  std::string_view piece() const { return {piece_.begin(), piece_.size()}; }
  void clear_piece() { piece_.clear(); }

  /// Tags file: the tags of the file, their file index 0.
  TagList *tags() { return &tags_; }

 private:
  const IndexFormat format_;
  const int kinds_;
  const NameList *names_;
  Utf8Converter conv_;
  std::vector<JsonName> json_names_;
  TagList tags_;
  std::string file_json_, utf8_, entry_;
  // Records are written in place at its end, in room for their bound.
  SeamVec<char> piece_;
};

}  // namespace kolvu

#endif  // KOLVU_INDEX_FILE_RECORDS_H_
