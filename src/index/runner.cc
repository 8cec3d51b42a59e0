#include "index/runner.h"

#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/utf8.h"
#include "index/etags.h"
#include "index/file_name_json.h"
#include "index/records.h"
#include "index/source_reader.h"
#include "index/tags_update.h"

namespace kolvu {

namespace {

const size_t kFilesPerWorker = 8;  // files in flight for each worker
const size_t kOutBuffer = 64 * 1024;

// Buffered writes to a descriptor; the first failure is kept and every
// write after it is dropped.
class FdWriter {
 public:
  explicit FdWriter(int fd) : fd_(fd) { buf_.reserve(kOutBuffer); }
  void put(const std::string &s) {
    if (error_ != 0) return;
    if (buf_.size() + s.size() > kOutBuffer) {
      flush();
      if (s.size() >= kOutBuffer) {
        write_all(s.data(), s.size());
        return;
      }
    }
    buf_.append(s);
  }
  void flush() {
    if (error_ == 0 && !buf_.empty()) write_all(buf_.data(), buf_.size());
    buf_.clear();
  }
  int error() const { return error_; }

 private:
  void write_all(const char *p, size_t n) {
    while (n > 0 && error_ == 0) {
      ssize_t w = ::write(fd_, p, n);
      if (w < 0) {
        if (errno != EINTR) error_ = errno;
        continue;
      }
      p += w;
      n -= static_cast<size_t>(w);
    }
  }
  int fd_;
  int error_ = 0;
  std::string buf_;
};

// One file of the walk and what came of it.
struct Slot {
  std::string path;
  bool to_scan = false;
  bool standard_input = false;
  bool in_walk = false;
  bool done = false;
  bool failed = false;
  bool warning = false;   // failed, but only passed over
  std::vector<std::string> out;  // output held until the file's turn, in pieces
  TagList tags;           // their file index is set when written
  std::string err;        // a diagnostic line
};

std::string prefixed(const std::string &message) { return "kolvu-index: " + message + "\n"; }
std::string warned(const std::string &message) { return "kolvu-index: warning: " + message + "\n"; }

// Where a worker's output goes: put() takes a piece of a file's output.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void put(Slot *s, std::string *piece) = 0;
};

// A worker's tools: its converter, and the records of the file at hand.
class FileIndexer {
 public:
  FileIndexer(const IndexJob &job, OutputSink *sink) : job_(job), sink_(sink) {}

  void index(Slot *s) {
    index_file(s);
    // What a large file needed is not kept for the next one.
    if (arena_.capacity() > kKeep) std::string().swap(arena_);
    if (raws_.capacity() * sizeof(Raw) > kKeep) std::vector<Raw>().swap(raws_);
    if (utf8_.capacity() > kKeep) std::string().swap(utf8_);
    if (piece_.capacity() > kKeep) std::string().swap(piece_);
  }

 private:
  static const size_t kKeep = 1 << 20;

  void index_file(Slot *s) {
    raws_.clear();
    arena_.clear();
    int fd = 0;
    ScanResult r;
    slot_ = s;
    file_json_.clear();
    piece_.clear();
    if (job_.format == IndexFormat::kJson) append_file_name_json(s->path, &conv_, &file_json_);
    if (!s->standard_input) r = open_source(s->path.c_str(), &fd);
    if (r.status == ScanStatus::kOk) {
      r = scan_definitions_fd(fd, job_.scan, [this](const Definition &d) { keep(d); });
      if (!s->standard_input) ::close(fd);
    }
    if (r.status != ScanStatus::kOk) {
      char buf[256];
      const char *why = r.error_number != 0 ? strerror_r(r.error_number, buf, sizeof buf)
                                            : scan_status_text(r.status);
      // A file found in a walk and gone before its turn is passed over.
      s->warning = s->in_walk && r.status == ScanStatus::kCannotOpen && r.error_number == ENOENT;
      s->err = (s->warning ? warned : prefixed)(s->path + ": " + why);
      s->failed = true;
      piece_.clear();
      return;
    }
    if (job_.format == IndexFormat::kTags) {
      for (const Raw &raw : raws_)
        s->tags.add(std::string_view(arena_).substr(raw.at, raw.name_len), 0, raw.line,
                    kind_letter(raw.kind));
      return;
    }
    if (job_.format == IndexFormat::kEtags && !piece_.empty()) {
      std::string section;
      append_etags_section(s->path, piece_, &section);
      sink_->put(s, &section);
      return;
    }
    if (!piece_.empty()) sink_->put(s, &piece_);
  }

  // A record goes out as it comes: as a JSON line, converted from the
  // encoding its source is read in; as an Emacs tags entry for each of its
  // names; or, for a tags file, as its names, held to be sorted.
  void keep(const Definition &d) {
    const NameList *wanted = job_.scan.names;
    const bool all = wanted == nullptr || wanted->size() == 0;
    if (job_.format == IndexFormat::kJson) {
      bool clean = true;
      std::string_view text = conv_.view(d.encoding, d.text, &utf8_, &clean);
      json_names_.clear();
      for (size_t i = 0; i < d.name_count; ++i) {
        const DefinitionName &n = d.names[i];
        json_names_.push_back({n.name, n.kind, n.line, n.column});
      }
      append_json_record({file_json_, d.first_line, d.last_line, d.kind, d.name,
                          json_names_.data(), json_names_.size(), d.begin, d.end, d.parent, text,
                          !clean},
                         &piece_);
      if (piece_.size() >= kOutBuffer) sink_->put(slot_, &piece_);
      return;
    }
    // A line for every name wanted; an anonymous struct or union has none.
    for (size_t i = 0; i < d.name_count; ++i) {
      const DefinitionName &n = d.names[i];
      if (!all && !wanted->wants(n.name.data())) continue;
      if (job_.format == IndexFormat::kEtags) {
        std::string_view line = d.text;  // the name's line of the text
        for (long k = d.first_line; k < n.line; ++k) line.remove_prefix(line.find('\n') + 1);
        append_etags_entry(etags_pattern(line, n.name), n.name, n.line,
                           n.offset - static_cast<size_t>(n.column - 1), &piece_);
        continue;
      }
      raws_.push_back({n.kind, n.line, arena_.size(), n.name.size()});
      arena_.append(n.name);
    }
  }

  struct Raw {  // a name for the tags file
    DefKind kind;
    long line;
    size_t at, name_len;  // at arena_ + at
  };

  const IndexJob &job_;
  OutputSink *sink_;
  Slot *slot_ = nullptr;  // the file at hand
  Utf8Converter conv_;
  std::vector<Raw> raws_;
  std::vector<JsonName> json_names_;
  std::string arena_, file_json_, utf8_, piece_;
};

class Runner : public OutputSink {
 public:
  Runner(const IndexJob &job, int out_fd, int err_fd)
      : job_(job), out_(out_fd), err_fd_(err_fd),
        window_(kFilesPerWorker * static_cast<size_t>(job.jobs)) {}

  ~Runner() override {
    for (std::FILE *run : runs_) std::fclose(run);
  }

  RunOutcome run(const ItemSource &next) {
    std::vector<std::thread> workers;
    for (int i = 0; i < job_.jobs; ++i) workers.emplace_back([this] { work(); });
    std::unique_lock<std::mutex> lock(mu_);
    while (!stopped_) {
      if (slots_.size() >= window_) {
        // Full: wait until half the window is free, then fill it again, so
        // that the walk is woken once per few files, not for every one.
        main_waiting_ = true;
        room_cv_.wait(lock, [this] { return slots_.size() <= window_ / 2 || stopped_; });
        main_waiting_ = false;
        continue;
      }
      lock.unlock();
      SourceItem item;
      bool more = next(&item);
      lock.lock();
      if (!more) break;
      slots_.emplace_back();
      Slot &s = slots_.back();
      s.path = std::move(item.path);
      s.standard_input = item.standard_input;
      s.in_walk = item.in_walk;
      if (item.error.empty()) {
        s.to_scan = true;
        if (idle_ > 0) work_cv_.notify_one();
      } else {
        s.warning = item.warning;
        s.err = (item.warning ? warned : prefixed)(item.error);
        s.failed = s.done = true;
        if (slots_.size() == 1) drain(lock);
      }
    }
    finished_cv_.wait(lock, [this] { return slots_.empty() && !writing_; });
    closing_ = true;
    lock.unlock();
    work_cv_.notify_all();
    for (std::thread &t : workers) t.join();
    RunOutcome outcome;
    if (job_.format == IndexFormat::kTags && out_.error() == 0) write_tags(&outcome);
    out_.flush();
    outcome.all_read = all_read_;
    outcome.write_error = out_.error();
    return outcome;
  }

  // A piece of s's output: written at once when it is s's turn, else held
  // within the budget, or held back until s's turn when the budget is full.
  void put(Slot *s, std::string *piece) override {
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
      if (s == &slots_.front()) {
        out_cv_.wait(lock, [this] { return !writing_; });
        writing_ = true;
        std::vector<std::string> held = std::move(s->out);
        s->out.clear();
        lock.unlock();
        size_t bytes = 0;
        for (const std::string &h : held) {
          out_.put(h);
          bytes += h.size();
        }
        out_.put(*piece);
        bool failed = out_.error() != 0;
        lock.lock();
        held_ -= bytes;
        writing_ = false;
        if (failed) stopped_ = true;
        out_cv_.notify_all();
        break;
      }
      if (held_ + piece->size() <= job_.output_budget) {
        held_ += piece->size();
        s->out.push_back(std::move(*piece));
        piece->reserve(kOutBuffer + kOutBuffer / 4);
        break;
      }
      out_cv_.wait(lock);
    }
    piece->clear();
  }

 private:
  void work() {
    FileIndexer indexer(job_, this);
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
      while (!closing_ && claim_ >= base_ + slots_.size()) {
        ++idle_;
        work_cv_.wait(lock);
        --idle_;
      }
      if (claim_ >= base_ + slots_.size()) return;
      Slot *s = &slots_[claim_++ - base_];
      if (!s->to_scan) continue;
      // The slot stays where it is until it is done: meanwhile the deque
      // only grows at its back, which moves no element.
      lock.unlock();
      if (!stopped_flag()) indexer.index(s);
      lock.lock();
      s->done = true;
      if (s == &slots_.front()) drain(lock);
    }
  }

  bool stopped_flag() {
    std::lock_guard<std::mutex> g(mu_);
    return stopped_;
  }

  // Writes the finished files at the front, in their turn, with the lock
  // released while writing. One thread writes at a time; a file finished
  // meanwhile is seen by that thread when it looks at the front again.
  void drain(std::unique_lock<std::mutex> &lock) {
    if (writing_) return;
    writing_ = true;
    while (!slots_.empty() && slots_.front().done) {
      Slot s = std::move(slots_.front());
      slots_.pop_front();
      ++base_;
      if (claim_ < base_) claim_ = base_;  // it was done without a worker
      // The next file's turn has come: its worker may write now.
      out_cv_.notify_all();
      lock.unlock();
      emit(&s);
      bool failed = out_.error() != 0;
      lock.lock();
      for (const std::string &h : s.out) held_ -= h.size();
      if (failed) stopped_ = true;
      if (main_waiting_ && (slots_.size() <= window_ / 2 || stopped_)) room_cv_.notify_one();
    }
    writing_ = false;
    out_cv_.notify_all();
    if (slots_.empty()) finished_cv_.notify_one();
  }

  // Writes a finished file's output.
  void emit(Slot *s) {
    if (!job_.update_from.empty()) met_.insert(s->path);
    if (s->failed) {
      if (!s->warning) all_read_ = false;
      write_err(s->err);
      return;
    }
    if (job_.format != IndexFormat::kTags) {
      for (const std::string &h : s->out) out_.put(h);
      return;
    }
    if (s->tags.empty() || !fits_tags_file(s->path)) return;
    tags_.take(&s->tags, static_cast<uint32_t>(tag_files_.size()));
    tag_files_.push_back(std::move(s->path));
    spill_tags();
  }

  void write_err(const std::string &line) {
    // Diagnostics go out at once, each in one write.
    const char *p = line.data();
    size_t n = line.size();
    while (n > 0) {
      ssize_t w = ::write(err_fd_, p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return;
      p += w;
      n -= static_cast<size_t>(w);
    }
  }

  // The tags held go to a temporary file as one sorted run of lines when
  // they pass the budget, so memory does not grow with the tree.
  void spill_tags() {
    if (tags_.bytes() < job_.tags_budget || tags_failed_) return;
    std::FILE *run = std::tmpfile();
    std::string lines;
    tags_.sort();
    for (size_t i = 0; run != nullptr && i < tags_.size(); ++i) {
      append_tag_line(tags_, i, tag_files_[tags_[i].file], &lines);
      if (lines.size() >= kOutBuffer || i + 1 == tags_.size()) {
        if (std::fwrite(lines.data(), 1, lines.size(), run) != lines.size()) break;
        lines.clear();
      }
    }
    if (run == nullptr || !lines.empty() || std::fflush(run) != 0) {
      // No room for a run: the tags stay in memory, as they would have.
      if (run != nullptr) std::fclose(run);
      tags_failed_ = true;
      return;
    }
    std::rewind(run);
    runs_.push_back(run);
    tags_ = TagList();
  }

  // The sorted tags, merged with the lines kept from the file updated and
  // with the runs written before: the kept lines of a name first, then the
  // new ones in the order of the walk.
  void write_tags(RunOutcome *outcome) {
    std::string kept;
    if (!job_.update_from.empty()) {
      std::string old;
      if (!read_whole_file(job_.update_from, &old, &outcome->update_error)) return;
      kept = kept_tag_lines(old, met_);
    }
    tags_.sort();
    // Each source: its current line; sources in order of precedence.
    struct Source {
      std::FILE *file;  // null for a text in memory
      std::string_view text;
      const TagList *tags;  // or the tags still held, formatted one by one
      const std::vector<std::string> *files;
      size_t at = 0;
      std::string line;
      bool more = false;
      void next() {
        if (tags != nullptr) {
          more = at < tags->size();
          line.clear();
          if (more) append_tag_line(*tags, at, (*files)[(*tags)[at].file], &line);
          ++at;
          return;
        }
        if (file != nullptr) {
          char *buf = nullptr;
          size_t cap = 0;
          ssize_t n = ::getline(&buf, &cap, file);
          more = n > 0;
          if (more) line.assign(buf, static_cast<size_t>(n));
          std::free(buf);
          return;
        }
        size_t nl = text.find('\n');
        more = nl != std::string_view::npos;
        if (more) {
          line.assign(text.substr(0, nl + 1));
          text.remove_prefix(nl + 1);
        }
      }
    };
    std::vector<Source> sources;
    sources.push_back({nullptr, kept, nullptr, nullptr, 0, {}, false});
    for (std::FILE *run : runs_) sources.push_back({run, {}, nullptr, nullptr, 0, {}, false});
    sources.push_back({nullptr, {}, &tags_, &tag_files_, 0, {}, false});
    for (Source &src : sources) src.next();
    out_.put(tags_header(job_.version));
    std::string lines;
    for (;;) {
      Source *first = nullptr;
      for (Source &src : sources)
        if (src.more && (first == nullptr || tag_line_name(src.line) < tag_line_name(first->line)))
          first = &src;
      if (first == nullptr) break;
      lines.append(first->line);
      first->next();
      if (lines.size() >= kOutBuffer / 2) {
        out_.put(lines);
        lines.clear();
      }
    }
    out_.put(lines);
  }

  const IndexJob &job_;
  // Used by the one thread that writes at a time (writing_), then by run().
  FdWriter out_;
  int err_fd_;
  bool all_read_ = true;
  TagList tags_;
  std::vector<std::FILE *> runs_;  // sorted runs of tag lines written out
  bool tags_failed_ = false;       // a run could not be written: hold the rest
  std::vector<std::string> tag_files_;
  std::unordered_set<std::string> met_;  // the files of this run, for an update

  const size_t window_;  // files in flight at most
  std::mutex mu_;
  std::condition_variable work_cv_, room_cv_, finished_cv_, out_cv_;
  std::deque<Slot> slots_;  // the files in flight, in walk order
  size_t base_ = 0;         // the walk's number of slots_.front()
  size_t claim_ = 0;        // the walk's number of the next slot to claim
  size_t held_ = 0;         // bytes of output held in slots
  int idle_ = 0;            // workers waiting for a file
  bool writing_ = false;    // a thread is writing to out_
  bool main_waiting_ = false;
  bool stopped_ = false;    // a write failed: no further file is started
  bool closing_ = false;
};

}  // namespace

RunOutcome run_index_jobs(const IndexJob &job, const ItemSource &next, int out_fd, int err_fd) {
  Runner runner(job, out_fd, err_fd);
  return runner.run(next);
}

}  // namespace kolvu
