// The plain scanner the fast one is checked against: every byte of a line
// goes through every rule in order (comments and literals, double-byte
// characters, parentheses, braces and recognition, emission, the end at
// ';'), one byte at a time, with no skipping.
#include "scanner/reference_scanner.h"

#include <cstring>
#include <string>
#include <vector>

#include "driver/namelist.h"
#include "driver/scan_file.h"
#include "kolvu/scan.h"
#include "kolvu/bytes.h"
#include "kolvu/errmsg.h"
#include "scanner/line_limit.h"

namespace kolvu {
namespace reference {
namespace {

enum Emit { IDLE, IN_DEFINE, IN_TYPEDEF, IN_BLOCK };

class Model {
 public:
  Model(const std::vector<std::string> &reads, const ModelSetup &setup)
      : reads_(reads), setup_(setup) {}

  std::string run() {
    for (line_no_ = 0; line_no_ < reads_.size(); ++line_no_) scan_line(reads_[line_no_]);
    return out_;
  }

 private:
  // The byte at i of the line, 0 past its text.
  int at(long i) const {
    return i >= 0 && i < static_cast<long>(line_.size()) ? static_cast<unsigned char>(line_[i]) : 0;
  }
  bool word_at(long p, const char *w) const { return line_.compare(p, std::strlen(w), w) == 0; }
  int wanted(long p) const { return setup_.wants ? setup_.wants(line_.c_str() + p) : 1; }
  bool starts_double(long q) const { return is_lead(at(q)) && at(q + 1) != 0; }

  void banner_if_due() {
    if (setup_.banner && !printed_fname_) {
      out_ += "/* === " + setup_.name + " === */\n";
      printed_fname_ = true;
    }
  }

  void emit(int c) {
    banner_if_due();
    (capture_ ? capture_text_ : out_).push_back(static_cast<char>(c));
  }

  // The rest of the line after a ';' that ends a definition, always closed
  // by a '\n' so the next output starts on a line of its own.
  void write_rest(long from) {
    std::string rest = line_.substr(static_cast<size_t>(from));
    out_ += rest;
    if (rest.empty() || rest.back() != '\n') out_ += '\n';
  }

  // Steps over double-byte characters to the first '{' or ';' from q;
  // returns it, or 0 at the end of the line's text.
  int look_forward(long q) const {
    for (; at(q) != 0; q += starts_double(q) ? 2 : 1)
      if (at(q) == '{' || at(q) == ';') return at(q);
    return 0;
  }

  // A #define line continues when its last backslash that is not the second
  // byte of a double-byte character is followed directly by '\n'.
  bool continued() const {
    long last = -1;
    for (long q = 0; at(q) != 0; q += starts_double(q) ? 2 : 1)
      if (at(q) == '\\') last = q;
    return last >= 0 && at(last + 1) == '\n';
  }

  void recognize(long p);
  void end_at_semicolon(long p);
  void scan_line(const std::string &line);
  void directive_starts(const std::string &line);
  int far_look(long q) const;

  // second[i]: the byte at i of text is the second byte of a double-byte
  // character, walking the text by characters from its start.
  static std::vector<bool> second_bytes(const std::string &text) {
    std::vector<bool> second(text.size() + 1, false);
    for (size_t i = 0; i + 1 < text.size(); ++i)
      if (!second[i] && is_lead(text[i])) second[i + 1] = true;
    return second;
  }
  static bool digit(int c) { return c >= '0' && c <= '9'; }
  static bool letter_or_digit(int c) { return digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  // A ' at p of text is a digit separator: the run of letters, digits, '_'
  // and '.' before it (second bytes not counted) begins with a digit, and a
  // letter or digit follows it.
  static bool digit_separator(const std::string &text, const std::vector<bool> &second, long p) {
    long s = p;
    while (s > 0 && (is_ident(text[s - 1]) || text[s - 1] == '.')) --s;
    if (s < p && second[s]) ++s;
    long n = static_cast<long>(text.size());
    return s < p && digit(static_cast<unsigned char>(text[s])) && p + 1 < n &&
           letter_or_digit(static_cast<unsigned char>(text[p + 1]));
  }

  const std::vector<std::string> &reads_;
  const ModelSetup &setup_;
  size_t line_no_ = 0;
  std::string line_;
  std::string out_;
  std::string capture_text_;
  // Kept from line to line.
  int quote_ = 0;
  bool block_comment_ = false;
  int paren_ = 0;
  Emit emit_ = IDLE;
  int brace_ = 0;
  bool capture_ = false;
  bool printed_fname_ = false;
  bool directive_ = false;  // the line is a directive's, or continues one
  int directive_paren_ = 0;  // the paren depth before the directive
  int if0_ = 0;              // inside an #if 0 group: its #if nesting
  int if0_paren_ = 0;        // the paren depth at its #if 0
  // Per line.
  long pending_ = -1;  // position of the last typedef keyword on this line
};

void Model::recognize(long p) {
  if (at(p) == '#') {
    long q = p + 1;
    while (is_cspace(at(q))) ++q;
    if (!word_at(q, "define") || !is_cspace(at(q + 6))) return;
    q += 6;
    while (is_blank(at(q))) ++q;
    if (wanted(q) != 1) return;
    bool selected = setup_.mask == 0;
    if (!selected && (setup_.mask & (DEF_SINGLE | DEF_CONT)))
      selected = setup_.mask & (continued() ? DEF_CONT : DEF_SINGLE);
    if (selected) emit_ = IN_DEFINE;
    return;
  }
  if (word_at(p, "typedef") && is_cspace(at(p + 7))) {
    pending_ = p;
    if (!(setup_.mask & (TD_SIMPLE | TD_BLOCK))) return;
    if (setup_.has_list) {
      capture_ = true;
      capture_text_.clear();
    }
    long q = p + 7;
    while (is_blank(at(q))) ++q;
    bool is_struct = word_at(q, "struct");
    if (is_struct || word_at(q, "union")) {
      if (look_forward(q + (is_struct ? 6 : 5)) == ';') {
        if (setup_.mask & TD_SIMPLE) emit_ = IN_TYPEDEF;
      } else if (setup_.mask & TD_BLOCK) {
        emit_ = IN_BLOCK;
        brace_ = 0;
      }
    } else if ((setup_.mask & TD_SIMPLE) && look_forward(q) == ';') {
      emit_ = IN_TYPEDEF;
    }
    return;
  }
  long kw = 0;
  if ((setup_.mask & SU_STRUCT) && word_at(p, "struct") &&
      (at(p + 6) == '{' || is_cspace(at(p + 6))))
    kw = 6;
  else if ((setup_.mask & SU_UNION) && word_at(p, "union") &&
           (at(p + 5) == '{' || is_cspace(at(p + 5))))
    kw = 5;
  // Inside parentheses it names a parameter's or a cast's type.
  if (kw == 0 || paren_ != 0) return;
  long tag = p + kw;
  while (is_blank(at(tag))) ++tag;
  if (wanted(tag) != 1) return;
  int found = look_forward(p + kw);
  if (found == ';') return;
  // The line ends before a '{' or ';': a definition only if its '{' comes
  // first, before any ';' or parenthesis of code on the lines that follow.
  if (found == 0 && far_look(p + kw) != '{') return;
  emit_ = IN_BLOCK;
  brace_ = 0;
  if (pending_ >= 0) {  // a typedef earlier on the line is written from its keyword
    banner_if_due();
    out_ += line_.substr(static_cast<size_t>(pending_), static_cast<size_t>(p - pending_));
    pending_ = -1;
  }
}

void Model::end_at_semicolon(long p) {
  if (capture_) {
    // The name before the ';': back over blanks, then over a name. The
    // first byte of the line is tested like any other.
    long q = p - 1;
    while (q >= 0 && is_blank(at(q))) --q;
    while (q >= 0 && is_ident(at(q))) --q;
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

void Model::scan_line(const std::string &line) {
  line_ = line;
  bool line_comment = false;
  pending_ = -1;
  // Walking by characters: second[p] is true at the second byte of a
  // double-byte character, whose first byte is a lead byte not itself a
  // second byte and followed by a byte of the text.
  const std::vector<bool> second = second_bytes(line_);
  if (quote_ == 0 && !block_comment_ && !directive_) directive_starts(line_);
  // The examination stops at the line's '\n' or the end of its text.
  long stop = 0;
  while (at(stop) != '\n' && at(stop) != 0) ++stop;
  long p = 0;
  for (; p < stop; ++p) {
    int c = at(p);
    // B: comments and literals. A backslash before the stop is an escape;
    // just before it, a line splice.
    if (quote_ != 0 && !second[p] && c == '\\' && p + 1 < stop) {
      if (emit_ != IDLE) emit(c);
      c = at(++p);  // the escaped byte, never taken for a quote
    } else if (!block_comment_ && quote_ == 0 && c == '/' && at(p + 1) == '/') {
      line_comment = true;
    } else if (!block_comment_ && !line_comment && quote_ == 0 && c == '/' && at(p + 1) == '*') {
      block_comment_ = true;
    } else if (block_comment_) {
      if (c == '*' && at(p + 1) == '/') block_comment_ = false;
    } else if (!line_comment && (c == '\'' || c == '"')) {
      if (quote_ == 0) {
        if (c == '"' || !digit_separator(line_, second, p)) quote_ = c;
      } else if (quote_ == c) {
        quote_ = 0;
      }
    }
    // D: structure, outside comments and literals.
    if (quote_ == 0 && !line_comment && !block_comment_) {
      if (c == '(')
        ++paren_;
      else if (c == ')' && paren_ > 0)
        --paren_;
      else if ((c == ';' || c == '{' || c == '}') && !second[p])
        paren_ = 0;  // no parenthesis stays open across a statement or a brace
      if (emit_ != IDLE) {
        if (!second[p]) {  // a brace that is a second byte is no brace
          if (c == '{')
            ++brace_;
          else if (c == '}')
            --brace_;
        }
      } else {
        recognize(p);
      }
    }
    // E: emission.
    if (emit_ != IDLE) emit(c);
    // F: the end of a definition.
    if (c == ';' && brace_ == 0) end_at_semicolon(p);
  }
  // End of line. A splice carries a #define and a literal on; else a
  // literal ends with its line.
  if (emit_ != IDLE) emit('\n');
  const bool splice = p > 0 && at(p - 1) == '\\' && !second[p - 1];
  if (emit_ == IN_TYPEDEF || (emit_ == IN_DEFINE && !splice)) emit_ = IDLE;
  if (!splice) quote_ = 0;
  // A directive's parentheses are its own.
  if (directive_ && !splice) {
    paren_ = directive_paren_;
    directive_ = false;
  }
}

// A line that begins in code with '#' (after spaces and tabs) is a
// directive. An #if 0 group's lines, to its matching #elif, #else or
// #endif, leave the paren depth where it was at the #if 0.
void Model::directive_starts(const std::string &line) {
  size_t i = 0;
  while (i < line.size() && is_blank(line[i])) ++i;
  if (i == line.size() || line[i] != '#') return;
  ++i;
  while (i < line.size() && is_blank(line[i])) ++i;
  size_t w = i;
  while (i < line.size() && is_ident(line[i])) ++i;
  const std::string word = line.substr(w, i - w);
  if (if0_ > 0) {
    if (word == "if" || word == "ifdef" || word == "ifndef") {
      ++if0_;
    } else if (word == "endif" || (if0_ == 1 && (word == "else" || word.compare(0, 4, "elif") == 0))) {
      if (word == "endif") --if0_;
      else if0_ = 0;
      if (if0_ == 0) paren_ = if0_paren_;
    }
  } else if (word == "if") {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i < line.size() && line[i] == '0') {
      ++i;
      while (i < line.size() && is_blank(line[i])) ++i;
      if (i == line.size() || line[i] == '\n' || line.compare(i, 2, "/*") == 0 ||
          line.compare(i, 2, "//") == 0) {
        if0_ = 1;
        if0_paren_ = paren_;
      }
    }
  }
  directive_ = true;
  directive_paren_ = paren_;
}

// From q on the current line (in code), over the lines that follow: the
// first '{', ';' or '(' of code, or 0 at the end of the text. Comments,
// literals and directives (with their continuations) are passed over, and
// double-byte characters stepped over. First passed over: the tag, and a
// '<...>' or '(...)' group that follows it on its line (a ';', '{' or '}'
// of code ends such a group, and so do 256 bytes of it); after a single
// ':' a '(' counts for nothing.
int Model::far_look(long q) const {
  enum Phase { kTag, kAfterTag, kGroup, kBody };
  Phase phase = kTag;
  int group_open = 0, group_depth = 0, group_bytes = 0;
  bool colon = false;
  bool block = false, directive = directive_;
  int quote = 0;
  size_t ln = line_no_;
  long i = q;
  for (;;) {
    const std::string &text = reads_[ln];
    const std::vector<bool> second = second_bytes(text);
    auto at = [&text](long k) {
      return k >= 0 && k < static_cast<long>(text.size()) ? static_cast<unsigned char>(text[k]) : 0;
    };
    if (ln != line_no_ && quote == 0 && !block && !directive) {
      long k = 0;
      while (is_blank(at(k))) ++k;
      directive = at(k) == '#';
    }
    long stop = 0;
    while (at(stop) != '\n' && at(stop) != 0) ++stop;
    bool line_comment = false;
    for (; i < stop && !line_comment; ++i) {
      int c = at(i);
      if (phase == kGroup && ++group_bytes > 256) phase = kBody;  // no group is that long
      if (block) {
        if (c == '*' && at(i + 1) == '/') block = false;
        continue;
      }
      if (quote != 0) {
        if (c == '\\' && !second[i] && i + 1 < stop)
          ++i;
        else if (c == quote)
          quote = 0;
        continue;
      }
      if (c == '/' && at(i + 1) == '/') {
        line_comment = true;
        continue;
      }
      if (c == '/' && at(i + 1) == '*') {
        block = true;
        continue;
      }
      if (c == '"' || (c == '\'' && !digit_separator(text, second, i))) {
        quote = c;
        continue;
      }
      if (directive || second[i] || is_lead(c)) continue;
      if (phase == kTag) {
        if (is_cspace(c)) continue;
        if (is_ident(c)) {
          while (is_ident(at(i + 1))) ++i;
          phase = kAfterTag;
          continue;
        }
        phase = kBody;
      } else if (phase == kAfterTag) {
        if (is_blank(c)) continue;
        if (c == '<' || c == '(') {
          phase = kGroup;
          group_open = c;
          group_depth = 1;
          group_bytes = 0;
          continue;
        }
        phase = kBody;
      } else if (phase == kGroup) {
        if (c != ';' && c != '{' && c != '}') {
          if (c == group_open) ++group_depth;
          else if (c == (group_open == '<' ? '>' : ')') && --group_depth == 0) phase = kBody;
          continue;
        }
        phase = kBody;
      }
      if (c == '{' || c == ';' || (c == '(' && !colon)) return c;
      if (c == ':') {
        if (at(i + 1) == ':')
          ++i;  // a scope, no base clause
        else
          colon = true;
      }
    }
    const bool splice = stop > 0 && at(stop - 1) == '\\' && !second[stop - 1];
    if (!splice) {
      quote = 0;
      directive = false;
    }
    if (phase == kAfterTag) phase = kBody;
    if (++ln == reads_.size()) return 0;
    i = 0;
  }
}

}  // namespace

std::string scan_reads(const std::vector<std::string> &reads, const ModelSetup &setup) {
  return Model(reads, setup).run();
}

void scan_file(TextFile *stream, const char *name, int mask) {
  // The reads up to the first that is too long, which ends the run once
  // the output of those before it is written.
  std::vector<std::string> reads;
  char line[kLineBufSize + 1] = {};  // a zero always follows the last byte
  bool too_long = false;
  while (text_gets(line, kLineBufSize, stream) > 0) {
    if (std::strlen(line) >= static_cast<size_t>(kLineTooLong)) {
      too_long = true;
      break;
    }
    reads.emplace_back(line);
  }
  ModelSetup setup;
  setup.mask = mask;
  setup.banner = pr_fname != 0;
  setup.name = name;
  setup.has_list = list_cnt != 0;
  setup.wants = [](const char *pos) { return chk_type(pos); };
  std::string out = scan_reads(reads, setup);
  out_write(out.data(), out.size());
  if (too_long) fail_long_line(line);
}

}  // namespace reference
}  // namespace kolvu
