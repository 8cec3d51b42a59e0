#include "index/runner.h"

#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "index/records.h"
#include "common/utf8.h"

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
  bool done = false;
  bool failed = false;
  std::string out;        // JSON lines
  TagList tags;           // their file index is set when written
  std::string err;        // a diagnostic line
};

std::string prefixed(const std::string &message) { return "kolvu-index: " + message + "\n"; }

// A worker's tools: its converter, and the records of the file at hand.
class FileIndexer {
 public:
  explicit FileIndexer(const IndexJob &job) : job_(job) {}

  void index(Slot *s) {
    raws_.clear();
    arena_.clear();
    names_.clear();
    ScanResult r = scan_definitions_file(s->path.c_str(), job_.scan, [this](const Definition &d) {
      raws_.push_back({d.kind, d.first_line, d.last_line, arena_.size(), d.name.size(),
                       d.text.size(), d.begin, d.end, d.parent, names_.size(), d.name_count});
      arena_.append(d.name);
      if (job_.format == IndexFormat::kJson) arena_.append(d.text);  // tags want no text
      for (size_t i = 0; i < d.name_count; ++i) {
        const DefinitionName &n = d.names[i];
        names_.push_back({arena_.size(), n.name.size(), n.kind, n.line, n.column});
        arena_.append(n.name);
      }
    });
    if (r.status != ScanStatus::kOk) {
      char buf[256];
      const char *why = r.error_number != 0 ? strerror_r(r.error_number, buf, sizeof buf)
                                            : scan_status_text(r.status);
      s->err = prefixed(s->path + ": " + why);
      s->failed = true;
      return;
    }
    if (job_.format == IndexFormat::kTags) {
      // A line for every name wanted; an anonymous struct or union has none.
      const NameList *wanted = job_.scan.names;
      for (const Name &n : names_) {
        std::string_view name = std::string_view(arena_).substr(n.at, n.len);
        if (wanted != nullptr && wanted->size() > 0 && !wanted->wants(name.data())) continue;
        s->tags.add(name, 0, n.line, kind_letter(n.kind));
      }
      return;
    }
    if (raws_.empty()) return;
    file_json_.clear();
    utf8_.clear();
    conv_.append(Encoding::kUtf8, s->path, &utf8_);  // a name need not be UTF-8
    append_json_string(utf8_, &file_json_);
    for (const Raw &raw : raws_) {
      bool clean;
      std::string_view text = conv_.view(
          r.encoding, std::string_view(arena_).substr(raw.at + raw.name_len, raw.text_len), &utf8_,
          &clean);
      json_names_.clear();
      for (size_t i = raw.names_at; i < raw.names_at + raw.name_count; ++i) {
        const Name &n = names_[i];
        json_names_.push_back({std::string_view(arena_).substr(n.at, n.len), n.kind, n.line,
                               n.column});
      }
      append_json_record({file_json_, raw.first, raw.last, raw.kind,
                          std::string_view(arena_).substr(raw.at, raw.name_len),
                          json_names_.data(), json_names_.size(), raw.begin, raw.end, raw.parent,
                          text, !clean},
                         &s->out);
    }
  }

 private:
  struct Raw {
    DefKind kind;
    long first, last;
    size_t at, name_len, text_len;  // name then text, at arena_ + at
    size_t begin, end;
    long parent;
    size_t names_at, name_count;    // its names in names_
  };
  struct Name {
    size_t at, len;  // in arena_
    DefKind kind;
    long line, column;
  };
  const IndexJob &job_;
  Utf8Converter conv_;
  std::vector<Raw> raws_;
  std::vector<Name> names_;
  std::vector<JsonName> json_names_;
  std::string arena_, file_json_, utf8_;
};

class Runner {
 public:
  Runner(const IndexJob &job, int out_fd, int err_fd)
      : job_(job), out_(out_fd), err_fd_(err_fd),
        window_(kFilesPerWorker * static_cast<size_t>(job.jobs)) {}

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
      WalkItem item;
      bool more = next(&item);
      lock.lock();
      if (!more) break;
      slots_.emplace_back();
      Slot &s = slots_.back();
      s.path = std::move(item.path);
      if (item.error.empty()) {
        s.to_scan = true;
        if (idle_ > 0) work_cv_.notify_one();
      } else {
        s.err = prefixed(item.error);
        s.failed = s.done = true;
        if (slots_.size() == 1) drain(lock);
      }
    }
    finished_cv_.wait(lock, [this] { return slots_.empty() && !writing_; });
    closing_ = true;
    lock.unlock();
    work_cv_.notify_all();
    for (std::thread &t : workers) t.join();
    if (job_.format == IndexFormat::kTags && out_.error() == 0) write_tags();
    out_.flush();
    return {all_read_, out_.error()};
  }

 private:
  void work() {
    FileIndexer indexer(job_);
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
      indexer.index(s);
      lock.lock();
      s->done = true;
      if (s == &slots_.front()) drain(lock);
    }
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
      lock.unlock();
      emit(&s);
      bool failed = out_.error() != 0;
      lock.lock();
      if (failed) stopped_ = true;
      if (main_waiting_ && (slots_.size() <= window_ / 2 || stopped_)) room_cv_.notify_one();
    }
    writing_ = false;
    if (slots_.empty()) finished_cv_.notify_one();
  }

  // Writes a finished file's output.
  void emit(Slot *s) {
    if (s->failed) {
      all_read_ = false;
      write_err(s->err);
      return;
    }
    if (job_.format == IndexFormat::kJson) {
      out_.put(s->out);
      return;
    }
    if (s->tags.empty() || !fits_tags_file(s->path)) return;
    tags_.take(&s->tags, static_cast<uint32_t>(tag_files_.size()));
    tag_files_.push_back(std::move(s->path));
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

  void write_tags() {
    tags_.sort();
    out_.put(tags_header(job_.version));
    std::string lines;
    for (size_t i = 0; i < tags_.size(); ++i) {
      append_tag_line(tags_, i, tag_files_[tags_[i].file], &lines);
      if (lines.size() >= kOutBuffer / 2) {
        out_.put(lines);
        lines.clear();
      }
    }
    out_.put(lines);
  }

  const IndexJob &job_;
  // Used by the one thread that writes at a time (drain), then by run().
  FdWriter out_;
  int err_fd_;
  bool all_read_ = true;
  TagList tags_;
  std::vector<std::string> tag_files_;

  const size_t window_;  // files in flight at most
  std::mutex mu_;
  std::condition_variable work_cv_, room_cv_, finished_cv_;
  std::deque<Slot> slots_;  // the files in flight, in walk order
  size_t base_ = 0;         // the walk's number of slots_.front()
  size_t claim_ = 0;        // the walk's number of the next slot to claim
  int idle_ = 0;            // workers waiting for a file
  bool writing_ = false;    // a thread is in drain()
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
