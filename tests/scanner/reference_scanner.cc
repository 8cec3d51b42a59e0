// The model reads the way the tool's rules are told: text input cut into
// line reads; then, for each byte of a read, comments and literals,
// parentheses, braces and recognition, emission, and the end at ';'. A
// struct line that ends after its tag is decided by a second walk over the
// lines that follow, with the same reading of comments and literals.
#include "scanner/reference_scanner.h"

#include <string>
#include <utility>
#include <vector>

namespace kolvu {
namespace reference {
namespace {

// The kind mask's bits.
const int kDefineOneLine = 0x01, kDefineContinued = 0x02, kTypedefSimple = 0x04,
          kTypedefBlock = 0x08, kStructs = 0x10, kUnions = 0x20;

// Byte classes, from a table of all 256 values.
enum ByteClass : unsigned {
  kLeadByte = 1,   // may begin a double-byte character: 0x80-0x9F, 0xE0-0xFC
  kNameByte = 2,   // ASCII letter, digit or '_'
  kWhite = 4,      // isspace in the "C" locale: 0x09-0x0D and 0x20
  kSpaceTab = 8,   // 0x20 and 0x09
  kDigitByte = 16,
  kLetterOrDigit = 32,
};

struct ClassTable {
  unsigned bits[256] = {};
  ClassTable() {
    for (int b = 0x80; b <= 0x9F; ++b) bits[b] |= kLeadByte;
    for (int b = 0xE0; b <= 0xFC; ++b) bits[b] |= kLeadByte;
    for (int b = '0'; b <= '9'; ++b) bits[b] |= kNameByte | kDigitByte | kLetterOrDigit;
    for (int b = 'a'; b <= 'z'; ++b) bits[b] |= kNameByte | kLetterOrDigit;
    for (int b = 'A'; b <= 'Z'; ++b) bits[b] |= kNameByte | kLetterOrDigit;
    bits[static_cast<int>('_')] |= kNameByte;
    for (int b = 0x09; b <= 0x0D; ++b) bits[b] |= kWhite;
    bits[static_cast<int>(' ')] |= kWhite | kSpaceTab;
    bits[static_cast<int>('\t')] |= kSpaceTab;
  }
};

bool is(int byte, unsigned cls) {
  static const ClassTable table;
  return (table.bits[byte & 0xFF] & cls) != 0;
}

// One line read: its text up to the first NUL, where the examination
// stops (its '\n' or the end of the text), and which of its bytes are the
// second byte of a double-byte character.
struct Line {
  std::string text;
  long stop = 0;
  std::vector<bool> second;

  explicit Line(std::string t) : text(std::move(t)) {
    const long n = static_cast<long>(text.size());
    while (stop < n && text[stop] != '\n') ++stop;
    // Walking by characters from the first byte: a lead byte that is not
    // itself a second byte, with a byte of the text after it, pairs with it.
    second.assign(text.size() + 1, false);
    for (long i = 0; i + 1 < n; ++i)
      if (!second[i] && is(text[i], kLeadByte)) second[i + 1] = true;
  }
  int at(long i) const {
    return i >= 0 && i < static_cast<long>(text.size()) ? static_cast<unsigned char>(text[i]) : 0;
  }
  bool starts_with(long i, const char *word) const { return text.compare(i, std::char_traits<char>::length(word), word) == 0; }
  // The line ends in a splice: a backslash just before the stop that is
  // not a second byte.
  bool spliced() const { return stop > 0 && at(stop - 1) == '\\' && !second[stop - 1]; }
};

// Text input: carriage returns dropped, nothing from a Ctrl-Z on, reads of
// at most 1023 bytes that end after their first '\n', each taken up to its
// first NUL. A read whose text is 1023 bytes long ends the run: the lines
// are those before it.
std::vector<Line> line_reads(const std::string &bytes, ModelRun *run) {
  std::string text;
  for (char c : bytes) {
    if (c == '\x1a') break;
    if (c != '\r') text += c;
  }
  std::vector<Line> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t len = 0;
    while (at + len < text.size() && len < 1023) {
      ++len;
      if (text[at + len - 1] == '\n') break;
    }
    std::string read = text.substr(at, len);
    read = read.substr(0, read.find('\0'));
    at += len;
    if (read.size() >= 1023) {
      run->too_long = true;
      run->long_read = read;
      break;
    }
    lines.emplace_back(read);
  }
  return lines;
}

// Where the reading of comments and literals stands.
struct Lexical {
  int quote = 0;              // the quote that opened the literal we are in
  bool block_comment = false;
  bool line_comment = false;  // after "//" on this line
  bool code() const { return quote == 0 && !block_comment && !line_comment; }
};

// A ' at p that stands inside a number: the run of letters, digits, '_'
// and '.' before it (second bytes are no part of it) begins with a digit,
// and a letter or digit follows.
bool digit_separator(const Line &l, long p) {
  long s = p;
  while (s > 0 && (is(l.at(s - 1), kNameByte) || l.at(s - 1) == '.') && !l.second[s - 1]) --s;
  return s < p && is(l.at(s), kDigitByte) && is(l.at(p + 1), kLetterOrDigit);
}

// The comment and literal rules at the byte at p. Returns true when that
// byte is a backslash that escapes the next one: the caller moves on to
// the escaped byte, which no rule here looks at. A backslash escapes inside
// a literal unless it is a second byte or the last byte before the stop
// (there it splices the line).
bool comments_and_literals(const Line &l, long p, Lexical &lx) {
  const int c = l.at(p), next = l.at(p + 1);
  if (lx.quote != 0 && c == '\\' && !l.second[p] && p + 1 < l.stop) return true;
  if (!lx.block_comment && lx.quote == 0 && c == '/' && next == '/') {
    lx.line_comment = true;
  } else if (!lx.block_comment && !lx.line_comment && lx.quote == 0 && c == '/' && next == '*') {
    lx.block_comment = true;
  } else if (lx.block_comment) {
    if (c == '*' && next == '/') lx.block_comment = false;
  } else if (!lx.line_comment && (c == '\'' || c == '"')) {
    if (lx.quote == 0) {
      if (c == '"' || !digit_separator(l, p)) lx.quote = c;
    } else if (lx.quote == c) {
      lx.quote = 0;
    }
  }
  return false;
}

// The lines that follow a struct or union line that ends after its tag:
// the first '{', ';' or '(' of code from start on decides whether the
// definition starts.
class LookPastLine {
 public:
  LookPastLine(const std::vector<Line> &lines, size_t line, bool in_directive, bool in_macro)
      : lines_(lines), line_(line), in_directive_(in_directive), inside_macro_(in_macro) {}

  int first_decider(long start);

 private:
  enum Phase { kBeforeTag, kAfterTag, kGroup, kRest };
  // Returns the byte that decides, or 0 to go on.
  int code_byte(const Line &l, long &i);

  const std::vector<Line> &lines_;
  size_t line_;
  // The keyword stands in a directive's line, whose code is passed over;
  // or in a #define's, a macro's body: the look stays in it, and the
  // macro's end decides "nothing".
  const bool in_directive_;
  const bool inside_macro_;
  Phase phase_ = kBeforeTag;
  int group_open_ = 0, group_close_ = 0, group_depth_ = 0;
  long group_bytes_ = 0;
  bool base_clause_ = false;
};

int LookPastLine::first_decider(long start) {
  Lexical lx;
  bool directive = in_directive_;
  long i = start;
  for (size_t n = line_; n < lines_.size(); ++n, i = 0) {
    const Line &l = lines_[n];
    lx.line_comment = false;
    if (n != line_ && !directive && lx.quote == 0 && !lx.block_comment) {
      long k = 0;
      while (is(l.at(k), kSpaceTab)) ++k;
      directive = l.at(k) == '#';
    }
    bool comment_ends = false;  // at the '/' of a comment's "*/"
    for (; i < l.stop; ++i) {
      if (phase_ == kGroup && ++group_bytes_ > 256) phase_ = kRest;  // no group is that long
      // A comment or a literal is passed over whole, its quotes and
      // markers too.
      const bool was_code = lx.code() && !comment_ends, was_comment = lx.block_comment;
      if (comments_and_literals(l, i, lx)) {
        ++i;
        if (phase_ == kGroup && ++group_bytes_ > 256) phase_ = kRest;
        continue;
      }
      comment_ends = was_comment && !lx.block_comment;
      if (!was_code || !lx.code() || (directive && !inside_macro_)) continue;
      if (l.second[i] || l.second[i + 1]) continue;  // a double-byte character, stepped over
      if (int decider = code_byte(l, i)) return decider;
    }
    if (!l.spliced()) {
      lx.quote = 0;
      if (inside_macro_) return 0;
      directive = false;
    }
    if (phase_ == kAfterTag) phase_ = kRest;  // a tag's group starts on its line
  }
  return 0;  // the end of the file
}

int LookPastLine::code_byte(const Line &l, long &i) {
  const int c = l.at(i);
  switch (phase_) {
    case kBeforeTag:
      if (is(c, kWhite)) return 0;
      if (is(c, kNameByte)) {
        while (is(l.at(i + 1), kNameByte)) ++i;
        phase_ = kAfterTag;
        return 0;
      }
      phase_ = kRest;
      break;
    case kAfterTag:
      if (is(c, kSpaceTab)) return 0;
      if (c == ':' && l.at(i + 1) == ':') {  // the tag is qualified: A::B
        ++i;
        phase_ = kBeforeTag;
        return 0;
      }
      if (c == '<' || c == '(') {
        phase_ = kGroup;
        group_open_ = c;
        group_close_ = c == '<' ? '>' : ')';
        group_depth_ = 1;
        group_bytes_ = 0;
        return 0;
      }
      phase_ = kRest;
      break;
    case kGroup:
      if (c == ';' || c == '{' || c == '}') {  // code that no group holds
        phase_ = kRest;
        break;
      }
      if (c == group_open_) ++group_depth_;
      if (c == group_close_ && --group_depth_ == 0) phase_ = kRest;
      return 0;
    case kRest:
      break;
  }
  if (c == '{' || c == ';') return c;
  if (c == '(' && !base_clause_) return c;
  if (c == ':') {
    if (l.at(i + 1) == ':')
      ++i;  // a scope, not a base clause
    else
      base_clause_ = true;
  }
  return 0;
}

enum Emit { IDLE, IN_DEFINE, IN_TYPEDEF, IN_BLOCK };

class Model {
 public:
  Model(const std::vector<Line> &lines, const ModelSetup &setup, std::string *out)
      : lines_(lines), setup_(setup), out_(*out) {}

  void run() {
    for (line_no_ = 0; line_no_ < lines_.size(); ++line_no_) scan_line(lines_[line_no_]);
  }

 private:
  void scan_line(const Line &l);
  void directive_at_line_start(const Line &l);
  void recognize(const Line &l, long p);
  bool define_at(const Line &l, long p);
  bool typedef_at(const Line &l, long p);
  void struct_or_union_at(const Line &l, long p);
  void end_at_semicolon(const Line &l, long p);

  int wanted(const Line &l, long p) const { return setup_.wants ? setup_.wants(l.text.c_str() + p) : 1; }
  void banner_if_due() {
    if (setup_.banner && !banner_written_) {
      out_ += "/* === " + setup_.name + " === */\n";
      banner_written_ = true;
    }
  }
  void emit(int c) {
    banner_if_due();
    (capturing_ ? capture_ : out_) += static_cast<char>(c);
  }
  // What follows the ';' that ends a definition, to the end of the line,
  // with a '\n' where the line has none.
  void write_rest_of_line(const Line &l, long p) {
    std::string rest = l.text.substr(static_cast<size_t>(p + 1));
    if (rest.empty() || rest.back() != '\n') rest += '\n';
    out_ += rest;
  }

  const std::vector<Line> &lines_;
  const ModelSetup &setup_;
  std::string &out_;
  size_t line_no_ = 0;

  // For the whole file.
  Lexical lex_;
  int parens_ = 0;
  Emit emit_ = IDLE;
  int braces_ = 0;
  bool capturing_ = false;
  std::string capture_;
  bool banner_written_ = false;
  bool in_directive_ = false;     // this line is a directive's, or continues one
  std::string directive_word_;    // the name after its '#'
  int parens_before_directive_ = 0;
  int if0_nesting_ = 0;           // inside an #if 0 group: how many #if deep
  int parens_at_if0_ = 0;

  // For the line.
  long typedef_at_ = -1;  // the last typedef keyword recognized on it
};

void Model::scan_line(const Line &l) {
  lex_.line_comment = false;
  typedef_at_ = -1;
  if (lex_.quote == 0 && !lex_.block_comment && !in_directive_) directive_at_line_start(l);
  for (long p = 0; p < l.stop; ++p) {
    if (comments_and_literals(l, p, lex_)) {
      if (emit_ != IDLE) emit('\\');
      ++p;
    }
    const int c = l.at(p);
    if (lex_.code()) {
      if (c == '(') {
        ++parens_;
      } else if (c == ')') {
        if (parens_ > 0) --parens_;
      } else if ((c == ';' || c == '{' || c == '}') && !l.second[p]) {
        parens_ = 0;  // a statement or a brace closes every parenthesis
      }
      if (emit_ == IDLE) {
        recognize(l, p);
      } else if (!l.second[p]) {
        if (c == '{') ++braces_;
        if (c == '}') --braces_;
      }
    }
    if (emit_ != IDLE) emit(c);
    if (c == ';' && braces_ == 0) end_at_semicolon(l, p);
  }
  if (emit_ != IDLE) emit('\n');
  const bool spliced = l.spliced();
  if (emit_ == IN_TYPEDEF || (emit_ == IN_DEFINE && !spliced)) emit_ = IDLE;
  if (!spliced) {
    lex_.quote = 0;  // a literal ends with its line
    if (in_directive_) {
      parens_ = parens_before_directive_;  // a directive's parentheses are its own
      in_directive_ = false;
    }
  }
}

// A line whose first byte after spaces and tabs is '#' begins a directive.
// The lines of an #if 0 group, up to the #elif, #else or #endif that ends
// it, are no code: where it ends, the parentheses are as at its #if 0.
void Model::directive_at_line_start(const Line &l) {
  long i = 0;
  while (is(l.at(i), kSpaceTab)) ++i;
  if (l.at(i) != '#') return;
  ++i;
  while (is(l.at(i), kSpaceTab)) ++i;
  const long word_at = i;
  while (is(l.at(i), kNameByte)) ++i;
  const std::string word = l.text.substr(static_cast<size_t>(word_at), static_cast<size_t>(i - word_at));
  if (if0_nesting_ > 0) {
    if (word == "if" || word == "ifdef" || word == "ifndef") {
      ++if0_nesting_;
    } else if (word == "endif") {
      --if0_nesting_;
    } else if (if0_nesting_ == 1 && (word == "else" || word == "elif" || word == "elifdef" || word == "elifndef")) {
      if0_nesting_ = 0;
    }
    if (if0_nesting_ == 0) parens_ = parens_at_if0_;
  } else if (word == "if") {
    while (is(l.at(i), kSpaceTab)) ++i;
    if (l.at(i) == '0') {
      ++i;
      while (is(l.at(i), kSpaceTab)) ++i;
      if (i >= l.stop || l.starts_with(i, "//") || l.starts_with(i, "/*")) {
        if0_nesting_ = 1;
        parens_at_if0_ = parens_;
      }
    }
  }
  in_directive_ = true;
  directive_word_ = word;
  parens_before_directive_ = parens_;
}

void Model::recognize(const Line &l, long p) {
  if (define_at(l, p) || typedef_at(l, p)) return;
  struct_or_union_at(l, p);
}

// Forward on the line from q, double-byte characters stepped over: the
// first '{' or ';', or 0 at the end of the text.
int brace_or_semicolon(const Line &l, long q) {
  for (long i = q; i < static_cast<long>(l.text.size()); ++i) {
    if (l.second[i]) continue;
    if (l.at(i) == '{' || l.at(i) == ';') return l.at(i);
  }
  return 0;
}

// True when the keyword matched (whatever then starts).
bool Model::define_at(const Line &l, long p) {
  if (l.at(p) != '#') return false;
  long q = p + 1;
  while (is(l.at(q), kWhite)) ++q;
  if (!l.starts_with(q, "define") || !is(l.at(q + 6), kWhite)) return false;
  q += 6;
  while (is(l.at(q), kSpaceTab)) ++q;
  if (wanted(l, q) != 1) return true;
  // Continued: the line's last backslash that is no second byte stands
  // just before its '\n'.
  long last_backslash = -1;
  for (long i = 0; i < static_cast<long>(l.text.size()); ++i)
    if (l.at(i) == '\\' && !l.second[i]) last_backslash = i;
  const bool continued = last_backslash >= 0 && l.at(last_backslash + 1) == '\n';
  const int mask = setup_.mask;
  if (mask == 0 || (mask & (continued ? kDefineContinued : kDefineOneLine))) emit_ = IN_DEFINE;
  return true;
}

bool Model::typedef_at(const Line &l, long p) {
  if (!l.starts_with(p, "typedef") || !is(l.at(p + 7), kWhite)) return false;
  typedef_at_ = p;
  const int mask = setup_.mask;
  if (!(mask & (kTypedefSimple | kTypedefBlock))) return true;
  if (setup_.has_list) {
    capturing_ = true;
    capture_.clear();
  }
  long q = p + 7;
  while (is(l.at(q), kSpaceTab)) ++q;
  const long keyword = l.starts_with(q, "struct") ? 6 : l.starts_with(q, "union") ? 5 : 0;
  if (keyword != 0) {
    if (brace_or_semicolon(l, q + keyword) == ';') {
      if (mask & kTypedefSimple) emit_ = IN_TYPEDEF;
    } else if (mask & kTypedefBlock) {
      emit_ = IN_BLOCK;
      braces_ = 0;
    }
  } else if ((mask & kTypedefSimple) && brace_or_semicolon(l, q) == ';') {
    emit_ = IN_TYPEDEF;
  }
  return true;
}

void Model::struct_or_union_at(const Line &l, long p) {
  long keyword = 0;
  if ((setup_.mask & kStructs) && l.starts_with(p, "struct"))
    keyword = 6;
  else if ((setup_.mask & kUnions) && l.starts_with(p, "union"))
    keyword = 5;
  if (keyword == 0 || !(l.at(p + keyword) == '{' || is(l.at(p + keyword), kWhite))) return;
  if (parens_ != 0) return;  // a parameter's or a cast's type
  long tag = p + keyword;
  while (is(l.at(tag), kSpaceTab)) ++tag;
  if (wanted(l, tag) != 1) return;
  const int found = brace_or_semicolon(l, p + keyword);
  if (found == ';') return;
  if (found == 0 && LookPastLine(lines_, line_no_, in_directive_,
                                 in_directive_ && directive_word_ == "define")
                        .first_decider(p + keyword) != '{')
    return;
  emit_ = IN_BLOCK;
  braces_ = 0;
  if (typedef_at_ >= 0) {  // written from the typedef before it on the line
    banner_if_due();
    out_ += l.text.substr(static_cast<size_t>(typedef_at_), static_cast<size_t>(p - typedef_at_));
    typedef_at_ = -1;
  }
}

void Model::end_at_semicolon(const Line &l, long p) {
  if (capturing_) {
    // The name before the ';': back over spaces and tabs, then over the
    // name's bytes; the line's first byte may be one of them.
    long q = p - 1;
    while (q >= 0 && is(l.at(q), kSpaceTab)) --q;
    while (q >= 0 && is(l.at(q), kNameByte)) --q;
    if (wanted(l, q + 1) != 0) {
      out_ += capture_;
      write_rest_of_line(l, p);
    }
    emit_ = IDLE;
    capturing_ = false;
  } else if (emit_ == IN_BLOCK) {
    write_rest_of_line(l, p);
    emit_ = IDLE;
  }
}

}  // namespace

ModelRun scan_source(const std::string &bytes, const ModelSetup &setup) {
  ModelRun run;
  const std::vector<Line> lines = line_reads(bytes, &run);
  Model(lines, setup, &run.out).run();
  return run;
}

}  // namespace reference
}  // namespace kolvu
