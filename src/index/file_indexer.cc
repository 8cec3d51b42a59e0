#include "index/file_indexer.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "index/etags.h"
#include "index/fd_writer.h"

namespace kolvu {

namespace {

const size_t kOutBuffer = FdWriter::kBuffer;  // a piece is handed on at this size

}  // namespace

FileIndexer::FileIndexer(const IndexJob &job, OutputSink *sink)
    : job_(job), sink_(sink), records_(job.format, job.scan.kinds, job.scan.names),
      reader_(job.whole_file_limit) {}

void FileIndexer::index(FileSlot *s) {
  records_.start(s->path);
  bool memory = true;
  ScanResult r = reader_.scan(s->standard_input ? nullptr : s->path.c_str(), job_.scan,
                              [&](const Definition &d) {
                                memory = records_.add(d);
                                if (job_.format == IndexFormat::kJson &&
                                    records_.piece().size() >= kOutBuffer) {
                                  sink_->put(s, records_.piece());
                                  records_.clear_piece();
                                }
                                return memory;
                              });
  if (!memory) r = ScanResult{ScanStatus::kNoMemory};
  if (r.status != ScanStatus::kOk) {
    char buf[256];
    const char *why = r.error_number != 0 ? strerror_r(r.error_number, buf, sizeof buf)
                                          : scan_status_text(r.status);
    // A file found in a walk and gone before its turn is passed over.
    s->warning = s->in_walk && r.status == ScanStatus::kCannotOpen && r.error_number == ENOENT;
    s->err = (s->warning ? warning_line : error_line)(s->path + ": " + why);
    s->failed = true;
    return;
  }
  if (job_.format == IndexFormat::kTags) {
    s->tags = std::move(*records_.tags());
    return;
  }
  const std::string_view piece = records_.piece();
  if (piece.empty()) return;
  if (job_.format == IndexFormat::kEtags) {
    std::string section;
    append_etags_section(s->path, piece, &section);
    sink_->put(s, section);
  } else {
    sink_->put(s, piece);
  }
  records_.clear_piece();
}

}  // namespace kolvu
