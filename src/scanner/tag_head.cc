#include "scanner/tag_head.h"

#include "kolvu/bytes.h"
#include "scanner/declarators.h"
#include "scanner/lexer.h"

namespace kolvu {
namespace lex {
namespace {

// The most words, groups and "::" a strict head may have.
const int kMostSteps = 16;

// All capitals, digits and '_': the shape of a macro whose arguments may
// stand between a struct's tag and its body.
bool macro_like(const char *p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= '0' && p[i] <= '9') || p[i] == '_'))
      return false;
  return n > 0;
}

}  // namespace

int TagHead::group(char open) {
  phase_ = kGroup;
  open_ = open;
  depth_ = 1;
  group_bytes_ = 0;
  return kMore;
}

// A strict head's name before: the tag, unless it is `final` after a tag.
void TagHead::take_pending_as_tag() {
  if (!(tag_len_ > 0 && word_is(pend_, pend_len_, "final"))) {
    tag_off_ = pend_off_;
    tag_len_ = pend_len_;
  }
  pend_ = nullptr;
}

int TagHead::name(const char *p, size_t len, size_t off) {
  switch (phase_) {
    case kTag:
      if (policy_ == HeadPolicy::kTool) {
        tag_off_ = off;
        tag_len_ = len;
        phase_ = kAfterName;
        return kMore;
      }
      break;
    case kAfterName:
      if (policy_ == HeadPolicy::kTool) {
        phase_ = kBody;  // a second word: the tag's chance of a group is over
        return kMore;
      }
      take_pending_as_tag();
      break;
    default:
      return kMore;  // inside a group, a base clause or the tool's body
  }
  if (steps_++ >= kMostSteps) return ';';
  pend_ = p;
  pend_len_ = len;
  pend_off_ = off;
  pend_first_ = first_;
  first_ = false;
  phase_ = kAfterName;
  return kMore;
}

int TagHead::byte(char c, char next, int *used) {
  *used = 1;
  if (phase_ == kGroup) {
    if (c == ';' || c == '{' || c == '}') {
      if (policy_ == HeadPolicy::kStrict) return ';';
      phase_ = kBody;  // the tool's group ends; the byte decides below
    } else {
      const char close = open_ == '<' ? '>' : open_ == '[' ? ']' : ')';
      if (c == open_) {
        ++depth_;
      } else if (c == close && --depth_ == 0) {
        phase_ = policy_ == HeadPolicy::kTool ? kBody : kTag;
      }
      return kMore;
    }
  }
  if (policy_ == HeadPolicy::kStrict) return strict_byte(c, next, used);
  switch (phase_) {
    case kTag:
      if (is_cspace(c)) return kMore;
      phase_ = kBody;
      break;
    case kAfterName:
      if (is_blank(c)) return kMore;
      if (c == ':' && next == ':') {  // a qualified tag, A::B, goes on
        *used = 2;
        phase_ = kTag;
        return kMore;
      }
      if (c == '<' || c == '(') return group(c);
      phase_ = kBody;
      break;
    default:
      break;
  }
  if (c == '{' || c == ';' || (c == '(' && !colon_)) return c;
  if (c == ':') {
    if (next == ':')
      *used = 2;  // a scope, no base clause
    else
      colon_ = true;
  }
  return kMore;
}

int TagHead::strict_byte(char c, char next, int *used) {
  if (is_cspace(c)) return kMore;
  if (phase_ == kBase) {
    if (c == '{') return '{';
    return c == ';' || c == '}' ? ';' : kMore;
  }
  if (phase_ == kAfterName) {
    const bool attribute = c == '(' && is_attribute_word(pend_, pend_len_);
    if (c == '(') {
      // A function's name and its parameters, unless the word is the first
      // or one that takes a group.
      if (!pend_first_ && !attribute && !macro_like(pend_, pend_len_)) return ';';
      pend_ = nullptr;
      return group('(');
    }
    take_pending_as_tag();
    if (c == '<') return group('<');
    phase_ = kTag;
  }
  // A new step, after the keyword, a name or a group.
  first_ = false;
  if (c == '[' && next == '[') {  // an attribute list: union [[gnu::may_alias]] U
    if (steps_++ >= kMostSteps) return ';';
    return group('[');
  }
  if (c == ':' && next == ':') {
    if (steps_++ >= kMostSteps) return ';';
    *used = 2;
    return kMore;
  }
  if (steps_ >= kMostSteps) return ';';
  if (c == ':') {  // a base clause: its parentheses count for nothing
    phase_ = kBase;
    return kMore;
  }
  return c == '{' ? '{' : ';';
}

void TagHead::line_end() {
  if (policy_ == HeadPolicy::kTool && phase_ == kAfterName) phase_ = kBody;
}

}  // namespace lex
}  // namespace kolvu
