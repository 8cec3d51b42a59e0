// The plain scanner the fast one is checked against: every byte of a line
// goes through every rule in order (comments and literals, double-byte
// characters, parentheses, braces and recognition, emission, the end at
// ';'), one byte at a time, with no skipping.
#include "scanner/reference_scanner.h"

#include <cstring>
#include <vector>

#include "driver/namelist.h"
#include "kolvu/bytes.h"
#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "kolvu/mem.h"
#include "kolvu/search.h"
#include "driver/scan_file.h"
#include "scanner/line_limit.h"

namespace kolvu {
namespace reference {
namespace {

enum Emit { IDLE, IN_DEFINE, IN_TYPEDEF, IN_BLOCK };

// Held-back typedef text. It grows as needed, so a typedef of any length is
// captured whole and never overwrites anything.
struct Capture {
  char *buf = nullptr;
  size_t size = 0;
  size_t idx = 0;

  void put(char c) {
    if (idx == size) grow();
    buf[idx++] = c;
  }

  void grow() {
    const size_t kMax = 0x7fffffff;  // the largest block an int size asks for
    if (size == kMax) {
      errmsg("cannot get memory\n");
      exit_process(kExitFailure);
    }
    size_t grown = size == 0 ? 16 * 1024 : size * 2;
    if (grown > kMax) grown = kMax;
    buf = static_cast<char *>(moremem(buf, static_cast<int>(grown)));
    size = grown;
  }
};

Capture capture_buf;

bool at(const char *s, const char *word, size_t n) { return std::strncmp(s, word, n) == 0; }

// Steps over double-byte characters to the first '{' or ';'; returns it, or
// 0 at the end of the line's text.
char look_forward(const char *s) {
  while (*s != '\0') {
    if (*s == '{' || *s == ';') return *s;
    s += starts_double(s) ? 2 : 1;
  }
  return '\0';
}

// A #define line continues when its last backslash that is not the second
// byte of a double-byte character is followed directly by '\n'.
bool is_continued(const char *line) {
  const char *last = Strrchr(line, '\\');
  return last != nullptr && last[1] == '\n';
}

class Scanner {
 public:
  Scanner(const char *name, int mask) : name_(name), mask_(mask) {}

  void scan_line(const char *line);

 private:
  void banner_if_due() {
    if (pr_fname && !printed_fname_) {
      out_puts("/* === ");
      out_puts(name_);
      out_puts(" === */\n");
      printed_fname_ = true;
    }
  }

  void emit(char c) {
    banner_if_due();
    if (capture_)
      capture_buf.put(c);
    else
      out_putc(c);
  }

  // The rest of the line after a ';' that ends a definition, always closed
  // by a '\n' so the next output starts on a line of its own.
  static void write_rest(const char *s) {
    size_t n = std::strlen(s);
    out_write(s, n);
    if (n == 0 || s[n - 1] != '\n') out_putc('\n');
  }

  void recognize(const char *line, int p);
  void end_at_semicolon(const char *line, int p);

  const char *name_;
  int mask_;
  // Kept from line to line.
  char quote_ = 0;
  bool block_comment_ = false;
  int paren_ = 0;
  Emit emit_ = IDLE;
  int brace_ = 0;
  bool capture_ = false;
  bool printed_fname_ = false;
  // Per line.
  int pending_ = -1;  // position of the last typedef keyword on this line
};

void Scanner::recognize(const char *line, int p) {
  const char *s = line + p;
  if (*s == '#') {
    const char *q = s + 1;
    while (is_cspace(*q)) ++q;
    if (!at(q, "define", 6) || !is_cspace(q[6])) return;
    q += 6;
    while (is_blank(*q)) ++q;
    if (chk_type(q) != 1) return;
    bool selected = mask_ == 0;
    if (!selected && (mask_ & (DEF_SINGLE | DEF_CONT)))
      selected = mask_ & (is_continued(line) ? DEF_CONT : DEF_SINGLE);
    if (selected) emit_ = IN_DEFINE;
    return;
  }
  if (at(s, "typedef", 7) && is_cspace(s[7])) {
    pending_ = p;
    if (!(mask_ & (TD_SIMPLE | TD_BLOCK))) return;
    if (list_cnt != 0) {
      capture_ = true;
      capture_buf.idx = 0;
    }
    const char *q = s + 7;
    while (is_blank(*q)) ++q;
    bool is_struct = at(q, "struct", 6);
    if (is_struct || at(q, "union", 5)) {
      if (look_forward(q + (is_struct ? 6 : 5)) == ';') {
        if (mask_ & TD_SIMPLE) emit_ = IN_TYPEDEF;
      } else if (mask_ & TD_BLOCK) {
        emit_ = IN_BLOCK;
        brace_ = 0;
      }
    } else if ((mask_ & TD_SIMPLE) && look_forward(q) == ';') {
      emit_ = IN_TYPEDEF;
    }
    return;
  }
  int kw = 0;
  if (paren_ == 0 && (mask_ & SU_STRUCT) && at(s, "struct", 6) && (s[6] == '{' || is_cspace(s[6])))
    kw = 6;
  else if (paren_ == 0 && (mask_ & SU_UNION) && at(s, "union", 5) && (s[5] == '{' || is_cspace(s[5])))
    kw = 5;
  if (kw == 0) return;
  const char *tag = s + kw;
  while (is_blank(*tag)) ++tag;
  if (chk_type(tag) != 1 || look_forward(s + kw) == ';') return;
  emit_ = IN_BLOCK;
  brace_ = 0;
  if (pending_ >= 0) {
    banner_if_due();
    out_write(line + pending_, static_cast<size_t>(p - pending_));
    pending_ = -1;
  }
}

void Scanner::end_at_semicolon(const char *line, int p) {
  if (capture_) {
    // The name before the ';': back over blanks, then over a name. The
    // first byte of the line is tested like any other.
    int q = p - 1;
    while (q >= 0 && is_blank(line[q])) --q;
    while (q >= 0 && is_ident(line[q])) --q;
    if (chk_type(line + q + 1)) {
      out_write(capture_buf.buf, capture_buf.idx);
      write_rest(line + p + 1);
    }
    emit_ = IDLE;
    capture_ = false;
  } else if (emit_ == IN_BLOCK) {
    write_rest(line + p + 1);
    emit_ = IDLE;
  }
}

void Scanner::scan_line(const char *line) {
  bool line_comment = false;
  pending_ = -1;
  // Walking by characters: second[p] is true at the second byte of a
  // double-byte character, whose first byte is a lead byte not itself a
  // second byte and followed by a byte of the text.
  const size_t n = std::strlen(line);
  std::vector<bool> second(n + 1, false);
  for (size_t i = 0; i + 1 < n; ++i)
    if (!second[i] && is_lead(line[i])) second[i + 1] = true;
  // The examination stops at the line's '\n' or the end of its text.
  int stop = 0;
  while (line[stop] != '\n' && line[stop] != '\0') ++stop;
  int p = 0;
  for (; p < stop; ++p) {
    char c = line[p];
    // B: comments and literals. A backslash before the stop is an escape;
    // just before it, a line splice.
    if (quote_ != 0 && !second[p] && c == '\\' && p + 1 < stop) {
      if (emit_ != IDLE) emit(c);
      c = line[++p];  // the escaped byte, never taken for a quote
    } else if (!block_comment_ && quote_ == 0 && c == '/' && line[p + 1] == '/') {
      line_comment = true;
    } else if (!block_comment_ && !line_comment && quote_ == 0 && c == '/' && line[p + 1] == '*') {
      block_comment_ = true;
    } else if (block_comment_) {
      if (c == '*' && line[p + 1] == '/') block_comment_ = false;
    } else if (!line_comment && (c == '\'' || c == '"')) {
      if (quote_ == 0)
        quote_ = c;
      else if (quote_ == c)
        quote_ = 0;
    }
    // D: structure, outside comments and literals.
    if (quote_ == 0 && !line_comment && !block_comment_) {
      if (c == '(')
        ++paren_;
      else if (c == ')' && paren_ > 0)
        --paren_;
      if (emit_ != IDLE) {
        if (!second[p]) {  // a brace that is a second byte is no brace
          if (c == '{')
            ++brace_;
          else if (c == '}')
            --brace_;
        }
      } else {
        recognize(line, p);
      }
    }
    // E: emission.
    if (emit_ != IDLE) emit(c);
    // F: the end of a definition.
    if (c == ';' && brace_ == 0) end_at_semicolon(line, p);
  }
  // End of line. A splice carries a #define and a literal on; else a
  // literal ends with its line.
  if (emit_ != IDLE) emit('\n');
  const bool splice = p > 0 && line[p - 1] == '\\' && !second[p - 1];
  if (emit_ == IN_TYPEDEF || (emit_ == IN_DEFINE && !splice)) emit_ = IDLE;
  if (!splice) quote_ = 0;
}

}  // namespace

void scan_file(TextFile *stream, const char *name, int mask) {
  Scanner scanner(name, mask);
  char line[kLineBufSize + 1] = {};  // a zero always follows the last byte
  while (text_gets(line, kLineBufSize, stream) > 0) {
    if (std::strlen(line) >= static_cast<size_t>(kLineTooLong)) fail_long_line(line);
    scanner.scan_line(line);
  }
}

}  // namespace reference
}  // namespace kolvu
