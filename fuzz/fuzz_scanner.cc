// Fuzz target: the definition scanner over arbitrary file contents, compared
// byte for byte with a plain model of the scanner's rules that walks each
// line one byte at a time; and the scanner library's records, whose texts
// laid end to end must be what the tool wrote.
//
// Input layout:
//   byte 0   kind mask (low six bits)
//   byte 1   flags: 0x01 banner (pr_fname), 0x02 a name list follows,
//            0x04 scan the file a second time (a fresh start per file)
//   then     with 0x02: the comma list up to the first '\n' (not included)
//   rest     the file's bytes
//
// Inputs with a line read of 1023 bytes or more are skipped: the scanner
// ends the process there, by design.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/namelist.h"
#include "fuzz_common.h"
#include "kolvu/errmsg.h"
#include "kolvu/scan.h"
#include "kolvu/textio.h"
#include "driver/scan_file.h"

namespace {

const char kName[] = "fz.h";
fuzz::MemFile *file;
fuzz::CapturedStdout *out;

// ---- the model -------------------------------------------------------------

enum Emit { IDLE, IN_DEFINE, IN_TYPEDEF, IN_BLOCK };

bool lead(int c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool cspace(int c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }
bool blank(int c) { return c == ' ' || c == '\t'; }
bool ident(int c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

class Model {
 public:
  Model(const std::vector<std::string> &entries, int mask, bool banner)
      : entries_(entries), mask_(mask), banner_(banner) {}

  // Scans one file given as its cooked text; appends to the output.
  void scan(const std::string &text) {
    quote_ = 0;
    block_ = false;
    paren_ = 0;
    emit_ = IDLE;
    brace_ = 0;
    capture_ = false;
    printed_ = false;
    fuzz::for_each_read(text, [&](size_t pos, size_t len) {
      line_ = text.substr(pos, fuzz::read_strlen(text, pos, len));
      scan_line();
    });
  }
  const std::string &output() const { return out_; }

 private:
  // The line's bytes, a zero after its text.
  int at(long i) const { return i < static_cast<long>(line_.size()) ? static_cast<unsigned char>(line_[i]) : 0; }
  bool word_at(long p, const char *w) const { return line_.compare(p, std::strlen(w), w) == 0; }
  int wanted(long p) const { return fuzz::list_wants(entries_, line_.c_str() + p); }

  void banner_if_due() {
    if (banner_ && !printed_) {
      out_ += std::string("/* === ") + kName + " === */\n";
      printed_ = true;
    }
  }
  void emit(int c) {
    banner_if_due();
    (capture_ ? capture_text_ : out_).push_back(static_cast<char>(c));
  }
  // The rest of the line after a ';' that ends a definition, closed by a
  // '\n' when the line has none.
  void write_rest(long from) {
    std::string rest = line_.substr(static_cast<size_t>(from));
    out_ += rest;
    if (rest.empty() || rest.back() != '\n') out_ += '\n';
  }

  // The first '{' or ';' from q, stepping over double-byte characters; 0 at
  // the end of the text.
  int look_forward(long q) const {
    for (; at(q) != 0; q += lead(at(q)) && at(q + 1) != 0 ? 2 : 1)
      if (at(q) == '{' || at(q) == ';') return at(q);
    return 0;
  }

  bool continued() const {
    long last = -1;
    for (long q = 0; at(q) != 0; q += lead(at(q)) && at(q + 1) != 0 ? 2 : 1)
      if (at(q) == '\\') last = q;
    return last >= 0 && at(last + 1) == '\n';
  }

  void recognize(long p) {
    if (at(p) == '#') {
      long q = p + 1;
      while (cspace(at(q))) ++q;
      if (!word_at(q, "define") || !cspace(at(q + 6))) return;
      q += 6;
      while (blank(at(q))) ++q;
      if (wanted(q) != 1) return;
      bool selected = mask_ == 0;
      if (!selected && (mask_ & 0x03)) selected = mask_ & (continued() ? 0x02 : 0x01);
      if (selected) emit_ = IN_DEFINE;
      return;
    }
    if (word_at(p, "typedef") && cspace(at(p + 7))) {
      pending_ = p;
      if (!(mask_ & 0x0C)) return;
      if (!entries_.empty()) {
        capture_ = true;
        capture_text_.clear();
      }
      long q = p + 7;
      while (blank(at(q))) ++q;
      if (word_at(q, "struct") || word_at(q, "union")) {
        if (look_forward(q + (word_at(q, "struct") ? 6 : 5)) == ';') {
          if (mask_ & 0x04) emit_ = IN_TYPEDEF;
        } else if (mask_ & 0x08) {
          emit_ = IN_BLOCK;
          brace_ = 0;
        }
      } else if ((mask_ & 0x04) && look_forward(q) == ';') {
        emit_ = IN_TYPEDEF;
      }
      return;
    }
    long kw = 0;
    if (paren_ == 0 && (mask_ & 0x10) && word_at(p, "struct") && (at(p + 6) == '{' || cspace(at(p + 6))))
      kw = 6;
    else if (paren_ == 0 && (mask_ & 0x20) && word_at(p, "union") && (at(p + 5) == '{' || cspace(at(p + 5))))
      kw = 5;
    if (kw == 0) return;
    long tag = p + kw;
    while (blank(at(tag))) ++tag;
    if (wanted(tag) != 1 || look_forward(p + kw) == ';') return;
    emit_ = IN_BLOCK;
    brace_ = 0;
    if (pending_ >= 0) {
      banner_if_due();
      out_ += line_.substr(static_cast<size_t>(pending_), static_cast<size_t>(p - pending_));
      pending_ = -1;
    }
  }

  void end_at_semicolon(long p) {
    if (capture_) {
      long q = p - 1;
      while (q >= 0 && blank(at(q))) --q;
      while (q >= 0 && ident(at(q))) --q;
      if (wanted(q + 1)) {
        out_ += capture_text_;
        write_rest(p + 1);
      }
      emit_ = IDLE;
      capture_ = false;
    } else if (emit_ == IN_BLOCK) {
      write_rest(p + 1);
      emit_ = IDLE;
    }
  }

  void scan_line() {
    bool line_comment = false;
    pending_ = -1;
    // second[i]: the byte at i is the second byte of a double-byte character.
    std::vector<bool> second(line_.size() + 1, false);
    for (size_t i = 0; i + 1 < line_.size(); ++i)
      if (!second[i] && lead(at(static_cast<long>(i)))) second[i + 1] = true;
    long stop = 0;
    while (at(stop) != '\n' && at(stop) != 0) ++stop;
    long p = 0;
    for (; p < stop; ++p) {
      int c = at(p);
      if (quote_ != 0 && !second[p] && c == '\\' && p + 1 < stop) {
        if (emit_ != IDLE) emit(c);
        c = at(++p);
      } else if (!block_ && quote_ == 0 && c == '/' && at(p + 1) == '/') {
        line_comment = true;
      } else if (!block_ && !line_comment && quote_ == 0 && c == '/' && at(p + 1) == '*') {
        block_ = true;
      } else if (block_) {
        if (c == '*' && at(p + 1) == '/') block_ = false;
      } else if (!line_comment && quote_ == 0 && (c == '\'' || c == '"')) {
        quote_ = c;
      } else if (!line_comment && quote_ != 0 && c == quote_) {
        quote_ = 0;
      }
      if (quote_ == 0 && !line_comment && !block_) {
        if (c == '(') ++paren_;
        if (c == ')' && paren_ > 0) --paren_;
        if (emit_ != IDLE) {
          if (!second[p] && c == '{') ++brace_;
          if (!second[p] && c == '}') --brace_;
        } else {
          recognize(p);
        }
      }
      if (emit_ != IDLE) emit(c);
      if (c == ';' && brace_ == 0) end_at_semicolon(p);
    }
    if (emit_ != IDLE) emit('\n');
    const bool splice = p > 0 && at(p - 1) == '\\' && !second[p - 1];
    if (emit_ == IN_TYPEDEF || (emit_ == IN_DEFINE && !splice)) emit_ = IDLE;
    if (!splice) quote_ = 0;
  }

  const std::vector<std::string> &entries_;
  const int mask_;
  const bool banner_;
  std::string out_;
  std::string capture_text_;
  std::string line_;
  int quote_ = 0;
  bool block_ = false;
  int paren_ = 0;
  Emit emit_ = IDLE;
  int brace_ = 0;
  bool capture_ = false;
  bool printed_ = false;
  long pending_ = -1;
};

// The entries set_list makes of a comma list: split at every comma, at most
// as many as the table holds.
std::vector<std::string> comma_entries(const char *text) {
  std::vector<std::string> v(1);
  for (const char *p = text; *p != '\0'; ++p) {
    if (*p == ',')
      v.emplace_back();
    else
      v.back().push_back(*p);
  }
  if (v.size() > static_cast<size_t>(kolvu::kListSize)) v.resize(kolvu::kListSize);
  return v;
}

// ---- the target ------------------------------------------------------------

void clear_list() {
  for (int i = 0; i < kolvu::list_cnt; ++i) std::free(kolvu::list[i]);
  kolvu::list_cnt = 0;
}

void scan_once(int mask) {
  kolvu::TextFile *f = kolvu::text_open(file->path());
  FUZZ_CHECK(f != nullptr, "cannot open %s", file->path());
  kolvu::scan_file(f, kName, mask);
  FUZZ_CHECK(kolvu::text_close(f) == 0, "close failed");
}

// The first place where two texts differ, for the report.
size_t first_difference(const std::string &a, const std::string &b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  file = new fuzz::MemFile;
  out = new fuzz::CapturedStdout;
  // The overflow message of a long list goes to the captured output too,
  // not to the fuzzer's log.
  kolvu::errfp = KOLVU_ERRFP_STDOUT;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  const int mask = data[0] & 0x3F;
  const int flags = data[1];
  size_t at = 2;

  std::vector<char> list_text;
  if (flags & 0x02) {
    while (at < size && data[at] != '\n') list_text.push_back(static_cast<char>(data[at++]));
    if (at < size) ++at;  // the separator
  }
  list_text.push_back('\0');
  const uint8_t *body = data + at;
  const size_t body_size = size - at;

  const std::string text = fuzz::cooked(body, body_size);
  if (fuzz::has_overlong_read(text)) return 0;

  std::vector<std::string> entries;
  if (flags & 0x02) {
    entries = comma_entries(list_text.data());
    kolvu::set_list(list_text.data());  // a C string: the list ends at its first NUL
    FUZZ_CHECK(static_cast<size_t>(kolvu::list_cnt) == entries.size(), "list_cnt %d", kolvu::list_cnt);
  }
  out->take();  // drop any list message

  kolvu::pr_fname = flags & 0x01;
  file->set(body, body_size);
  Model model(entries, mask, kolvu::pr_fname != 0);
  scan_once(mask);
  model.scan(text);
  if (flags & 0x04) {
    scan_once(mask);
    model.scan(text);
  }
  const std::string written = out->take();
  const std::string &want = model.output();
  FUZZ_CHECK(written == want, "mask 0x%02x: %zu bytes written, %zu expected; first difference at byte %zu", mask,
             written.size(), want.size(), first_difference(written, want));

  // The library's records, without the banner the tool may write, and for
  // text whose lines all fit one read (the library takes longer lines whole,
  // where the tool reads on after a NUL in the first 1023 bytes).
  bool lines_fit = true;
  fuzz::for_each_read(text, [&](size_t, size_t len) {
    if (len >= 1023) lines_fit = false;
  });
  if (!(flags & 0x01) && lines_fit) {
    kolvu::NameList names;
    for (const std::string &e : entries) FUZZ_CHECK(names.add(e), "no memory for an entry");
    kolvu::ScanOptions options;
    options.kinds = mask;
    options.names = &names;
    options.encoding = kolvu::Encoding::kShiftJis;
    std::string joined;
    for (int pass = 0; pass < (flags & 0x04 ? 2 : 1); ++pass) {
      kolvu::ScanResult r = kolvu::scan_definitions(reinterpret_cast<const char *>(body), body_size, options,
                                                    [&](const kolvu::Definition &d) { joined += d.text; });
      FUZZ_CHECK(r.status == kolvu::ScanStatus::kOk, "library scan failed");
    }
    FUZZ_CHECK(joined == written, "mask 0x%02x: records hold %zu bytes, the tool wrote %zu; first difference at byte %zu",
               mask, joined.size(), written.size(), first_difference(joined, written));
  }

  kolvu::pr_fname = 0;
  clear_list();
  return 0;
}
