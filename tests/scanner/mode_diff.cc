#include "scanner/mode_diff.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace kolvu {
namespace modes {
namespace {

// Whether the explanations below read double-byte characters: the source
// was read as Shift_JIS. Set by compare() for the comparison at hand.
thread_local bool t_double_bytes = true;

std::vector<Record> records(const std::string &src, Encoding encoding, int kinds, bool complete,
                            Encoding *read_as = nullptr) {
  ScanOptions opt;
  opt.kinds = kinds;
  opt.encoding = encoding;
  opt.complete = complete;
  std::vector<Record> out;
  ScanResult r = scan_definitions(src.data(), src.size(), opt, [&](const Definition &d) {
    out.push_back({d.kind, d.begin, d.end, d.parent, std::string(d.text)});
  });
  if (read_as != nullptr) *read_as = r.encoding;
  return out;
}

// The tool's text ends with a '\n' where the source's line has none.
bool same_but_last_newline(const std::string &tool, const std::string &complete) {
  return tool.size() == complete.size() + 1 && tool.back() == '\n' &&
         tool.compare(0, complete.size(), complete) == 0;
}

// The complete mode takes a comment still open at the tool's end to its
// own end, which may be the end of the source.
bool comment_goes_on(const std::string &tool, const std::string &complete) {
  std::string t = tool;
  if (!t.empty() && t.back() == '\n') t.pop_back();
  if (complete.size() <= t.size() || complete.compare(0, t.size(), t) != 0) return false;
  const size_t open = t.rfind("/*");
  return open != std::string::npos && t.find("*/", open + 2) == std::string::npos;
}

bool same(const Record &tool, const Record &complete) {
  return tool.text == complete.text || same_but_last_newline(tool.text, complete.text) ||
         comment_goes_on(tool.text, complete.text);
}

long line_of(const std::string &src, size_t at) {
  return 1 + static_cast<long>(std::count(src.begin(), src.begin() + static_cast<long>(std::min(at, src.size())), '\n'));
}

}  // namespace

std::string Comparison::describe(const Difference &d) const {
  std::string s = "line " + std::to_string(d.line) + ": ";
  s += d.why ? std::string(d.why->name) : "unexplained";
  s += "\n  tool:     " + (d.tool ? "[" + std::string(kind_name(d.tool->kind)) + "] " + d.tool->text : "(none)");
  s += "\n  complete: " +
       (d.complete ? "[" + std::string(kind_name(d.complete->kind)) + "] " + d.complete->text : "(none)");
  return s;
}

Comparison compare(const std::string &src, Encoding encoding) {
  Comparison c;
  const int defines = DEF_SINGLE | DEF_CONT, others = TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;
  Encoding read_as = encoding;
  c.tool = records(src, encoding, defines, false, &read_as);
  t_double_bytes = read_as == Encoding::kShiftJis;
  const size_t tool_defines = c.tool.size();
  for (Record &r : records(src, encoding, others, false)) c.tool.push_back(std::move(r));
  c.complete = records(src, encoding, defines | others, true);

  // The complete mode's records by where they begin: defines anywhere,
  // the others at the top level.
  std::map<size_t, const Record *> complete_defines, complete_top;
  for (const Record &r : c.complete) {
    if (r.kind == DefKind::kDefine)
      complete_defines.emplace(r.begin, &r);
    else if (r.parent < 0)
      complete_top.emplace(r.begin, &r);
  }
  auto differ = [&](size_t begin, const Record *tool, const Record *complete) {
    Difference d;
    d.begin = begin;
    d.line = line_of(src, begin);
    d.tool = tool;
    d.complete = complete;
    for (const auto *table : {&kByDesign, &kKnownFaults}) {
      for (const Explanation &e : *table) {
        if (e.applies(src, c, d)) {
          d.why = &e;
          break;
        }
      }
      if (d.why != nullptr) break;
    }
    c.differences.push_back(d);
  };
  for (size_t i = 0; i < c.tool.size(); ++i) {
    const Record &t = c.tool[i];
    auto &in = i < tool_defines ? complete_defines : complete_top;
    auto found = in.find(t.begin);
    const Record *other = found == in.end() ? nullptr : found->second;
    if (other == nullptr || other->kind != t.kind || !same(t, *other)) differ(t.begin, &t, other);
    if (found != in.end() && i >= tool_defines) in.erase(found);
  }
  for (const auto &[begin, r] : complete_top) differ(begin, nullptr, r);
  std::sort(c.differences.begin(), c.differences.end(),
            [](const Difference &a, const Difference &b) { return a.begin < b.begin; });
  // A known fault changes what the mode reads after it: what differs
  // further on, unexplained, is put down to it.
  const Explanation *earlier_fault = nullptr;
  for (Difference &d : c.differences) {
    if (d.why == nullptr && earlier_fault != nullptr) d.why = &kKnownFaults.back();
    if (d.why != nullptr && d.why >= &kKnownFaults.front() && d.why < &kKnownFaults.back()) earlier_fault = d.why;
  }
  return c;
}

namespace {

// A byte of 0x80-0x9F or 0xE0-0xFC, which may begin a double-byte character
// where the source is read as Shift_JIS.
bool lead_byte(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return t_double_bytes && ((b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

bool is_name_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The source's bytes from the difference's begin to the later end of its
// records.
std::string span(const std::string &src, const Difference &d) {
  size_t end = d.begin;
  if (d.tool) end = std::max(end, d.tool->end);
  if (d.complete) end = std::max(end, d.complete->end);
  return src.substr(d.begin, end - d.begin);
}

std::string first_line(const std::string &text) { return text.substr(0, text.find('\n')); }

// The directive's name at i of text is word.
bool directive_word(const std::string &text, size_t i, const char *word) {
  const size_t n = std::strlen(word);
  return i != std::string::npos && text.compare(i, n, word) == 0 && (i + n == text.size() || !is_name_byte(text[i + n]));
}

// Lines of text that begin, after blanks, with '#' and one of the words.
bool has_directive(const std::string &text, std::initializer_list<const char *> words) {
  size_t at = 0;
  while (at < text.size()) {
    size_t i = at;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '#') {
      ++i;
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      for (const char *w : words)
        if (directive_word(text, i, w)) return true;
    }
    size_t nl = text.find('\n', at);
    if (nl == std::string::npos) break;
    at = nl + 1;
  }
  return false;
}

// The byte at stands in a directive's line or one of its continuations.
bool in_directive(const std::string &src, size_t at) {
  size_t from = at;
  for (;;) {
    while (from > 0 && src[from - 1] != '\n') --from;
    if (from < 2 || src[from - 2] != '\\') break;
    from -= 1;  // the line before ends in a splice
  }
  const size_t hash = src.find_first_not_of(" \t", from);
  return hash != std::string::npos && hash <= at && src[hash] == '#';
}

// A block comment is open at the start of the line at from: a rough walk
// of comments and literals from the text's start (double-byte characters
// stepped over).
// *in_directive: the open comment began on a directive's line, whose text
// then goes on past the comment's end.
bool comment_open_at(const std::string &src, size_t from, bool *in_directive) {
  bool block = false;
  char quote = 0;
  size_t began = 0;
  for (size_t i = 0; i < from; ++i) {
    const char c = src[i];
    if (block) {
      if (c == '*' && i + 1 < from && src[i + 1] == '/') block = false, ++i;
    } else if (quote != 0) {
      if (c == '\\' && i + 1 < from && src[i + 1] != '\n') ++i;
      else if (c == quote || c == '\n') quote = 0;
      else if (lead_byte(c) && i + 1 < from && src[i + 1] != '\n') ++i;
    } else if (c == '/' && i + 1 < from && src[i + 1] == '*') {
      began = i;
      block = true, ++i;
    } else if (c == '/' && i + 1 < from && src[i + 1] == '/') {
      while (i < from && src[i] != '\n') ++i;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (lead_byte(c)) {
      ++i;
    }
  }
  if (block) {
    size_t line = began;
    while (line > 0 && src[line - 1] != '\n') --line;
    const size_t first = src.find_first_not_of(" \t", line);
    *in_directive = first < began && src[first] == '#';
  }
  return block;
}

bool c_directive_at(const std::string &src, size_t at) {
  size_t from = at;
  while (from > 0 && src[from - 1] != '\n') --from;
  if (from >= 2 && src[from - 2] == '\\' && !(from >= 3 && lead_byte(src[from - 3]))) {
    // The line before goes on into this one: the '#' is first on the line
    // they make only when that line holds nothing before its splice.
    size_t before_from = from - 1;
    while (before_from > 0 && src[before_from - 1] != '\n') --before_from;
    if (src.find_first_not_of(" \t", before_from) != from - 2) return false;
  }
  std::string before = src.substr(from, at - from);
  // Only blanks and comments before it: a comment open at the line's start
  // ends there, another may open and end.
  bool in_directive = false;
  bool open = comment_open_at(src, from, &in_directive);
  if (open && in_directive) return false;  // the line goes on an earlier directive
  for (;;) {
    const size_t text = before.find_first_not_of(" \t");
    if (text == std::string::npos) return true;
    before.erase(0, text);
    if (!open && before.compare(0, 2, "/*") != 0) return false;
    const size_t close = before.find("*/", open ? 0 : 2);
    if (close == std::string::npos) return false;
    before.erase(0, close + 2);
    open = false;
  }
}

// The byte at stands in an #if 0 group: the lines before it open one
// that no #else, #elif or #endif has closed.
bool in_if0_group(const std::string &src, size_t at) {
  int nesting = 0;  // inside a group: how many #if deep
  for (size_t line = 0; line < at;) {
    // The line's directive: a '#' with only blanks and comments before it.
    size_t i = src.find('#', line);
    const size_t line_end = src.find('\n', line);
    if (i != std::string::npos && i < at && i < line_end && c_directive_at(src, i)) {
      i = src.find_first_not_of(" \t", i + 1);
      auto word = [&](const char *w) { return directive_word(src, i, w); };
      if (nesting > 0) {
        if (word("if")) ++nesting;
        else if (word("endif")) --nesting;
        else if (nesting == 1 && (word("else") || word("elif"))) nesting = 0;
      } else if (word("if")) {
        const size_t z = src.find_first_not_of(" \t", i + 2);
        if (z != std::string::npos && src[z] == '0' && (z + 1 == src.size() || !is_name_byte(src[z + 1]))) nesting = 1;
      }
    }
    const size_t nl = src.find('\n', line);
    if (nl == std::string::npos) break;
    line = nl + 1;
  }
  return nesting > 0;
}

// A record of the other mode, not a define, that begins before at and
// ends after it.
bool held_in(const std::vector<Record> &records, size_t at) {
  for (const Record &r : records)
    if (r.kind != DefKind::kDefine && r.parent < 0 && r.begin < at && r.end > at) return true;
  return false;
}

// A '#' at `at` begins a directive as C reads it: only blanks and comments
// stand before it on its line (a comment may end there that began on an
// earlier line), and the line continues no other.
// The byte at stands in a later branch (#elif, #else) of some #if.
bool in_later_branch(const std::string &src, size_t at) {
  std::vector<bool> later;  // per open #if: past its first branch
  for (size_t line = 0; line < at;) {
    size_t i = src.find_first_not_of(" \t", line);
    if (i != std::string::npos && i < at && src[i] == '#') {
      i = src.find_first_not_of(" \t", i + 1);
      auto word = [&](const char *w) { return directive_word(src, i, w); };
      if (word("if"))
        later.push_back(false);
      else if (word("endif") && !later.empty())
        later.pop_back();
      else if ((word("else") || word("elif")) && !later.empty())
        later.back() = true;
    }
    const size_t nl = src.find('\n', line);
    if (nl == std::string::npos) break;
    line = nl + 1;
  }
  return std::find(later.begin(), later.end(), true) != later.end();
}

// The first c in text that is no second byte of a double-byte character.
size_t plain_find(const std::string &text, char c) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == c) return i;
    if (lead_byte(text[i]) && i + 1 < text.size()) ++i;
  }
  return std::string::npos;
}

// Some line of text that begins, after blanks, with '#' holds a brace.
bool brace_in_directive(const std::string &text) {
  for (size_t at = 0; at < text.size();) {
    size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    const size_t hash = text.find_first_not_of(" \t", at);
    if (hash < nl && text[hash] == '#' && text.substr(hash, nl - hash).find_first_of("{}") != std::string::npos)
      return true;
    at = nl + 1;
  }
  return false;
}

}  // namespace

const std::vector<Explanation> kByDesign = {
    {"keyword inside a longer word",
     "the tool recognizes a keyword at any byte (`mystruct x {` is a struct to it); the complete mode only a whole word",
     [](const std::string &src, const Comparison &, const Difference &d) {
       if (d.begin > 0 && is_name_byte(src[d.begin - 1])) return true;
       // A struct written from a typedef before it on the line.
       if (!d.tool || (d.tool->kind != DefKind::kStruct && d.tool->kind != DefKind::kUnion)) return false;
       const std::string line = first_line(d.tool->text);
       const size_t word = line.find(kind_name(d.tool->kind), 1);
       return line.compare(0, 7, "typedef") == 0 && word != std::string::npos && is_name_byte(line[word - 1]);
     }},
    {"a struct written from its typedef",
     "a typedef that did not start by its own shape, with a struct or union definition after it on its line: the tool "
     "writes the struct from the typedef as a struct, the complete mode makes the whole a typedef",
     [](const std::string &, const Comparison &, const Difference &d) {
       return d.tool && (d.tool->kind == DefKind::kStruct || d.tool->kind == DefKind::kUnion) &&
              d.tool->text.compare(0, 7, "typedef") == 0 && (!d.complete || d.complete->kind == DefKind::kTypedef);
     }},
    {"a directive only where C has one",
     "the tool takes `#define` anywhere in code (`/* c */ #define X`, `x; # define Y`); the complete mode only where a "
     "directive can begin",
     [](const std::string &src, const Comparison &, const Difference &d) {
       if (!d.tool || d.tool->kind != DefKind::kDefine || d.complete) return false;
       return !c_directive_at(src, d.begin);
     }},
    {"a definition in a macro's body",
     "the complete mode holds a typedef, struct or union inside a #define's body in the define's record; the tool's "
     "mode gives it a record of its own",
     [](const std::string &src, const Comparison &, const Difference &d) {
       return d.tool && !d.complete && d.tool->kind != DefKind::kDefine && in_directive(src, d.begin);
     }},
    {"an #if 0 group is no code",
     "the complete mode lists only the #define lines of an #if 0 group; the tool reads the group as any other lines",
     [](const std::string &src, const Comparison &, const Difference &d) { return d.tool && !d.complete && in_if0_group(src, d.begin); }},
    {"typedef alone on its line",
     "`typedef` alone on its line, its struct or union on the next: the tool's record begins at the struct, the "
     "complete mode's at the typedef",
     [](const std::string &src, const Comparison &, const Difference &d) {
       if (!d.tool || d.complete || d.tool->kind == DefKind::kDefine) return false;
       const size_t word = src.find_last_not_of(" \t\r\n", d.begin == 0 ? 0 : d.begin - 1);
       return word != std::string::npos && word >= 6 && src.compare(word - 6, 7, "typedef") == 0;
     }},
    {"inside a longer record of the other mode",
     "a definition that one mode holds inside the text of an earlier one (the tool writes a body to the ';' at brace "
     "depth 0 that ends it, the complete mode to its own end) has no record of its own there",
     [](const std::string &, const Comparison &c, const Difference &d) {
       return (d.tool && !d.complete && held_in(c.complete, d.begin)) ||
              (!d.tool && d.complete && held_in(c.tool, d.begin));
     }},
    {"a brace of an initializer",
     "`struct tag name = {`, `union ( {`: the tool starts a definition at the first '{' of a struct line whatever "
     "stands before it, the complete mode only at the brace of a body after a head",
     [](const std::string &, const Comparison &, const Difference &d) {
       if (!d.tool || d.complete || d.tool->kind == DefKind::kDefine) return false;
       const std::string line = first_line(d.tool->text);
       const size_t brace = line.find('{');
       if (brace == std::string::npos) return false;
       const std::string head = line.substr(0, brace);
       return head.find_first_of("=()") != std::string::npos ||
              head.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$ \t:<>,") !=
                  std::string::npos;
     }},
    {"a group of more than 256 bytes",
     "the tool's look past a struct line passes a group after the tag of up to 256 bytes; the complete mode any",
     [](const std::string &, const Comparison &, const Difference &d) {
       if (d.tool || (d.complete->kind != DefKind::kStruct && d.complete->kind != DefKind::kUnion)) return false;
       const std::string head = d.complete->text.substr(0, d.complete->text.find('{'));
       return head.size() > 256 && head.find_first_of("<(") != std::string::npos;
     }},
    {"a #define with no name",
     "the tool writes a #define whatever follows it (`#define 1`); the complete mode records a macro only with its "
     "name",
     [](const std::string &, const Comparison &, const Difference &d) {
       if (!d.tool || d.complete || d.tool->kind != DefKind::kDefine) return false;
       const std::string &t = d.tool->text;
       size_t at = t.find("define") + 6;
       while (at < t.size() && (t[at] == ' ' || t[at] == '\t')) ++at;
       return at >= t.size() || !is_name_byte(t[at]) || (t[at] >= '0' && t[at] <= '9');
     }},
    {"`/*/` and `*/*`",
     "the tool sees each comment marker at its first byte and reads the next byte afresh, so in `/*/` the '*' also "
     "closes the comment and in `*/*` the '/' opens another; the complete mode reads C's comments",
     [](const std::string &src, const Comparison &, const Difference &d) {
       const size_t end = d.begin + span(src, d).size();
       return src.find("/*/") < end || src.find("*/*") < end;
     }},
    {"C's other spellings",
     "the complete mode reads `?" "?/` before a line's end as a splice, `%:` and `?" "?=` as '#', `<%` `%>` `?" "?<` `?" "?>` as "
     "braces; the tool reads them as the bytes they are",
     [](const std::string &src, const Comparison &, const Difference &d) {
       const std::string s = span(src, d);
       for (const char *spelling : {"?" "?/", "%:", "?" "?=", "<%", "%>", "?" "?<", "?" "?>"})
         if (s.find(spelling) != std::string::npos) return true;
       return false;
     }},
    {"NUL as a byte", "a NUL byte ends the tool's line; the complete mode reads it as any other byte",
     [](const std::string &src, const Comparison &, const Difference &d) {
       // What the tool drops after a NUL changes what it reads further on.
       return src.find('\0') < d.begin + span(src, d).size();
     }},
    {"braces in a directive",
     "the tool counts the braces of a #define line inside a body, the complete mode leaves a directive's braces to it",
     [](const std::string &src, const Comparison &, const Difference &d) { return brace_in_directive(span(src, d)); }},
    {"a ';' in a directive",
     "the tool ends a body or a typedef at a ';' of a directive's line too (`#define X a;` inside a struct); the "
     "complete mode leaves a directive's ';' to it",
     [](const std::string &, const Comparison &, const Difference &d) {
       if (!d.tool || !d.complete || d.tool->kind == DefKind::kDefine) return false;
       std::string t = d.tool->text;
       if (!t.empty() && t.back() == '\n') t.pop_back();
       const size_t last = t.rfind('\n');
       const size_t hash = t.find_first_not_of(" \t", last == std::string::npos ? 0 : last + 1);
       return hash != std::string::npos && t[hash] == '#';
     }},
    {"the first #if branch for braces",
     "the complete mode counts braces in the first branch of #if ... #else only, the tool in every branch",
     [](const std::string &src, const Comparison &, const Difference &d) {
       // A conditional inside either record, or a record in a later branch.
       return has_directive(span(src, d), {"if", "else", "elif", "endif"}) || in_later_branch(src, d.begin);
     }},
    {"typedefs over lines",
     "the tool writes a typedef of another type only when its ';' comes before any '{' on its first line; the complete "
     "mode every typedef, to its ';'",
     [](const std::string &, const Comparison &, const Difference &d) {
       if (d.tool || d.complete->kind != DefKind::kTypedef) return false;
       const std::string line = first_line(d.complete->text);
       const size_t semi = plain_find(line, ';'), brace = plain_find(line, '{');
       return semi == std::string::npos || (brace != std::string::npos && brace < semi);
     }},
    {"the rest of the ';' line",
     "the tool writes the rest of the line after the ';' that ends a definition (a one-line typedef's whole line), code "
     "too; the complete mode only comments there",
     [](const std::string &, const Comparison &, const Difference &d) {
       if (!d.tool || !d.complete) return false;
       std::string c = d.complete->text;
       if (!c.empty() && c.back() == '\n') c.pop_back();
       const std::string &t = d.tool->text;
       return t.size() > c.size() && t.compare(0, c.size(), c) == 0 && t.find('\n', c.size()) == t.size() - 1;
     }},
    {"a comment or literal before the line's first ';' or '{'",
     "the tool decides a typedef or a struct line by the first ';' or '{' on it, inside comments and literals too "
     "(`typedef unsi'ned long U;` ends on its line); the complete mode passes over comments and literals",
     [](const std::string &, const Comparison &, const Difference &d) {
       if ((d.tool ? d.tool->kind : d.complete->kind) == DefKind::kDefine) return false;
       const std::string line = first_line(d.tool ? d.tool->text : d.complete->text);
       const std::string head = line.substr(0, line.find_first_of(";{"));
       return head.find_first_of("'\"") != std::string::npos || head.find("/*") != std::string::npos ||
              head.find("//") != std::string::npos;
     }},
    {"the strict S5 form",
     "a struct or union line that ends after its tag: the tool decides by the first '{', ';' or '(' after it, passing "
     "over the tag's own group; the complete mode only where '{' follows the head",
     [](const std::string &, const Comparison &, const Difference &d) {
       return d.tool && !d.complete && (d.tool->kind == DefKind::kStruct || d.tool->kind == DefKind::kUnion) &&
              first_line(d.tool->text).find('{') == std::string::npos;
     }},
    {"a backslash before blanks",
     "a backslash followed by blanks at a line's end continues nothing for the tool; the complete mode takes it for a "
     "splice, as compilers do",
     [](const std::string &src, const Comparison &, const Difference &d) {
       const std::string s = span(src, d);
       for (size_t i = s.find('\\'); i != std::string::npos; i = s.find('\\', i + 1)) {
         size_t j = i + 1;
         while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
         if (j > i + 1 && j < s.size() && s[j] == '\n') return true;
       }
       return false;
     }},
};

const std::vector<Explanation> kKnownFaults = {
    // Kept last: given by compare() to what differs after a fault above.
    {"after a known fault", "an earlier known fault in the same source changed what one mode read from there on",
     [](const std::string &, const Comparison &, const Difference &) { return false; }},
};

}  // namespace modes
}  // namespace kolvu
