// Whether a struct or union keyword begins a definition, decided by what
// follows it: the tag, groups that belong to it, a base clause, then a '{'.
// The one statement of that rule, for both readings:
// - kTool, the tool's: the first name is the tag; a '(' or '<' group right
//   after it (on its line, at most 256 bytes, ended early by a ';', '{' or
//   '}') belongs to it, and so does "::" with another name; then the first
//   '{', ';' or '(' of code decides (after a single ':', a base clause, a
//   '(' counts for nothing); other words and bytes count for nothing.
// - kStrict, the lookups': up to 16 words, groups and "::"; the tag is the
//   last plain word (not `final` after a tag); a '(' group may follow the
//   first word, an attribute word (__attribute__, __declspec, alignas ...)
//   or a macro in capitals, a '<' group any word, and "[[...]]" lists stand
//   anywhere; after a ':' the first '{' decides for, a ';' or '}' against;
//   any other byte decides for when it is '{' and against otherwise, and so
//   does a ';', '{' or '}' inside a group.
//
// The caller walks the code after the keyword (passing comments, line
// ends, directives and, where passes_literals() says so, literals) and
// hands over each name whole (its end from name_end) and each other byte
// with the byte of code after it; C's spelled braces ("<%", "%>") are given
// as '{' and '}' by a caller that reads them. Each call answers kMore, or
// '{' (a definition begins), ';' or '(' (none does).
#ifndef KOLVU_SCANNER_TAG_HEAD_H_
#define KOLVU_SCANNER_TAG_HEAD_H_

#include <cstddef>

#include "kolvu/bytes.h"
#include "scanner/lexer.h"

namespace kolvu {
namespace lex {

enum class HeadPolicy { kTool, kStrict };

class TagHead {
 public:
  static constexpr int kMore = 0;

  explicit TagHead(HeadPolicy policy) : policy_(policy) {}

  /// Just past the name that starts at t[i] (at most n), by the policy's
  /// rule of names; i when none starts there.
  size_t name_end(const char *t, size_t i, size_t n) const {
    if (policy_ == HeadPolicy::kTool) {
      while (i < n && is_ident(t[i])) ++i;
      return i;
    }
    if (i >= n || !is(t[i], kNameByte) || is(t[i], kDigit)) return i;
    return lex::name_end(t, i, n);
  }

  /// A name of code, p[0, len), at offset off of the caller's text.
  int name(const char *p, size_t len, size_t off);

  /// A byte of code c (no name's), next the byte of code after it; *used:
  /// the bytes taken (2 for "::" and "[["; else 1).
  int byte(char c, char next, int *used);

  /// A line ends (not spliced): the tool's group must follow its tag on
  /// the tag's line.
  void line_end();

  /// A byte of the text was walked (any byte, in comments and literals
  /// too): the tool's group ends after 256. True when that changed the
  /// state.
  bool walked() {
    if (phase_ != kGroup || policy_ != HeadPolicy::kTool || ++group_bytes_ <= kMostGroupBytes)
      return false;
    phase_ = kBody;  // no group is that long
    return true;
  }

  /// Literals are passed over by the caller, not handed over as bytes.
  bool passes_literals() const {
    return policy_ == HeadPolicy::kTool || phase_ == kGroup || phase_ == kBase;
  }

  /// The state, where the rest of the decision depends on nothing more (no
  /// tag or group under way): equal values decide equal texts alike; -1
  /// where it depends on more.
  int settled() const {
    if (phase_ != kTag && phase_ != kBody) return -1;
    return (phase_ == kBody ? 1 : 0) | (colon_ ? 2 : 0);
  }

  /// The tag found so far (length 0: none).
  size_t tag_off() const { return tag_off_; }
  size_t tag_len() const { return tag_len_; }

 private:
  enum Phase { kTag, kAfterName, kGroup, kBody, kBase };
  // The most bytes of a group after the tool's tag.
  static constexpr int kMostGroupBytes = 256;

  int group(char open);
  int strict_byte(char c, char next, int *used);
  void take_pending_as_tag();

  HeadPolicy policy_;
  Phase phase_ = kTag;
  char open_ = 0;
  int depth_ = 0;
  int group_bytes_ = 0;
  bool colon_ = false;  // the tool's base clause
  bool first_ = true;   // nothing has been handed over yet
  int steps_ = 0;       // words, groups and "::" (strict)
  // The name before, whose follower decides what it is (strict).
  const char *pend_ = nullptr;
  size_t pend_len_ = 0, pend_off_ = 0;
  bool pend_first_ = false;
  size_t tag_off_ = 0, tag_len_ = 0;
};

}  // namespace lex
}  // namespace kolvu

#endif  // KOLVU_SCANNER_TAG_HEAD_H_
