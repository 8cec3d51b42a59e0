// Fuzz target: the search, text and file-name routines, each compared with
// a model of its rule written here from the routine's contract.
//
// Input layout:
//   byte 0     the byte searched for, inserted and written by clear
//   bytes 1-2  the tab width (1 to 4096; 0xFF in byte 2: the largest int)
//   byte 3     the count for clear, as a signed byte
//   rest       texts separated by NUL bytes: the first is the text, the
//              second the pattern of index1, the third the set of index2;
//              all of them (up to 64) are the paths sorted with comp_file,
//              and the first 16 are compared pairwise with StrCmp.
//
// exp_tab is skipped when the expansion would need more than 2048 columns,
// or a tab's blanks would reach column 2048: it ends the process there, by
// design.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "kolvu/fname.h"
#include "kolvu/search.h"
#include "kolvu/text.h"

namespace {

using Bytes = std::string;

inline unsigned u8(char c) { return static_cast<unsigned char>(c); }
bool lead(char c) { return (u8(c) >= 0x80 && u8(c) <= 0x9F) || (u8(c) >= 0xE0 && u8(c) <= 0xFC); }
bool kana(char c) { return u8(c) >= 0xA1 && u8(c) <= 0xDF; }

// Offsets, or -1 for "not found".
long off(const char *base, const char *p) { return p == nullptr ? -1 : p - base; }

// ---- models --------------------------------------------------------------

// The character starts of s, walking by the lead-byte rule.
std::vector<size_t> char_starts(const char *s) {
  std::vector<size_t> v;
  for (size_t i = 0; s[i] != '\0'; i += (lead(s[i]) && s[i + 1] != '\0') ? 2 : 1) v.push_back(i);
  return v;
}

long model_strchr(const char *s, int c, bool last) {
  long found = -1;
  for (size_t i : char_starts(s)) {
    if (u8(s[i]) != static_cast<unsigned>(c & 0xFF)) continue;
    found = static_cast<long>(i);
    if (!last) break;
  }
  return found;
}

long pos_or_none(size_t p) { return p == Bytes::npos ? -1 : static_cast<long>(p); }

// The key sequence by which StrCmp orders texts: ASCII bytes with the
// backslash first and letters folded, then half-width katakana, then
// double-byte characters by first and second byte (a first byte at the end
// has a second byte of 0).
struct Key {
  int cls, a, b;
};
std::vector<Key> strcmp_keys(const char *s) {
  std::vector<Key> k;
  while (*s != '\0') {
    unsigned c = u8(*s);
    if (c < 0x80) {
      unsigned f = (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
      k.push_back({0, c == '\\' ? 0 : static_cast<int>(f) + 1, 0});
      ++s;
    } else if (kana(*s)) {
      k.push_back({1, static_cast<int>(c), 0});
      ++s;
    } else {
      k.push_back({2, static_cast<int>(c), static_cast<int>(u8(s[1]))});
      s += s[1] == '\0' ? 1 : 2;
    }
  }
  return k;
}

int model_strcmp(const char *a, const char *b) {
  std::vector<Key> ka = strcmp_keys(a), kb = strcmp_keys(b);
  for (size_t i = 0; i < ka.size() && i < kb.size(); ++i) {
    const Key &x = ka[i], &y = kb[i];
    if (x.cls != y.cls) return x.cls < y.cls ? -1 : 1;
    if (x.a != y.a) return x.a < y.a ? -1 : 1;
    if (x.b != y.b) return x.b < y.b ? -1 : 1;
  }
  if (ka.size() != kb.size()) return ka.size() < kb.size() ? -1 : 1;
  return 0;
}

int separators(const char *s) {
  int n = 0;
  for (size_t i : char_starts(s)) n += s[i] == '\\';
  return n;
}

int model_comp_file(const char *a, const char *b) {
  int na = separators(a), nb = separators(b);
  if (na != nb) return na < nb ? -1 : 1;
  return model_strcmp(a, b);
}

Bytes model_to_upper(Bytes s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (u8(s[i]) >= 0x80) {
      if (i + 1 == s.size()) break;
      ++i;
    } else if (s[i] >= 'a' && s[i] <= 'z') {
      s[i] = static_cast<char>(s[i] - 0x20);
    }
  }
  return s;
}

Bytes model_to_lower(Bytes s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (kana(s[i])) continue;
    if (u8(s[i]) >= 0x80) {
      if (i + 1 == s.size()) break;
      ++i;
    } else if (s[i] >= 'A' && s[i] <= 'Z') {
      s[i] = static_cast<char>(s[i] + 0x20);
    }
  }
  return s;
}

// The expansion, or false when exp_tab would end the process.
bool model_exp_tab(int width, const Bytes &s, Bytes *r) {
  const long kMax = 2048;
  r->clear();
  long col = 0;
  for (char c : s) {
    if (c == '\t') {
      long n = width - col % width;
      if (col + n >= kMax) return false;
      r->append(static_cast<size_t>(n), ' ');
      col += n;
    } else {
      if (col == kMax) return false;
      r->push_back(c);
      ++col;
    }
  }
  return true;
}

// ---- checks --------------------------------------------------------------

void check_search(const Bytes &text, const Bytes &pattern, const Bytes &set, int c) {
  Bytes copy = text;  // the char * forms get storage of their own
  char *s = &copy[0];
  const char *cs = text.c_str();
  const char ch = static_cast<char>(c);

  long want = model_strchr(cs, c, false);
  FUZZ_CHECK(off(cs, kolvu::Strchr(cs, c)) == want, "Strchr 0x%02x: expected %ld", c, want);
  FUZZ_CHECK(off(s, kolvu::Strchr(s, c)) == want, "Strchr (char *) 0x%02x", c);
  FUZZ_CHECK(off(cs, kolvu::Strchr(cs, c + 0x100)) == want, "Strchr looks past the low 8 bits");
  FUZZ_CHECK(off(cs, kolvu::Strchr(cs, static_cast<signed char>(ch))) == want, "Strchr of a negative int");

  want = model_strchr(cs, c, true);
  FUZZ_CHECK(off(cs, kolvu::Strrchr(cs, c)) == want, "Strrchr 0x%02x: expected %ld", c, want);
  FUZZ_CHECK(off(s, kolvu::Strrchr(s, c)) == want, "Strrchr (char *) 0x%02x", c);
  FUZZ_CHECK(off(cs, kolvu::Strrchr(cs, c - 0x200)) == want, "Strrchr looks past the low 8 bits");

  want = c == 0 ? -1 : pos_or_none(text.find(ch));
  FUZZ_CHECK(off(cs, kolvu::index(cs, c)) == want, "index 0x%02x: expected %ld", c, want);
  FUZZ_CHECK(off(s, kolvu::index(s, c)) == want, "index (char *) 0x%02x", c);
  FUZZ_CHECK(off(cs, kolvu::index(cs, c | ~0xFF)) == want, "index looks past the low 8 bits");

  want = c == 0 ? -1 : pos_or_none(text.rfind(ch));
  FUZZ_CHECK(off(cs, kolvu::rindex(cs, c)) == want, "rindex 0x%02x: expected %ld", c, want);
  FUZZ_CHECK(off(s, kolvu::rindex(s, c)) == want, "rindex (char *) 0x%02x", c);

  want = text.empty() ? -1 : pos_or_none(text.find(pattern));
  FUZZ_CHECK(off(cs, kolvu::index1(cs, pattern.c_str())) == want, "index1: expected %ld", want);
  FUZZ_CHECK(off(s, kolvu::index1(s, pattern.c_str())) == want, "index1 (char *)");

  want = set.empty() ? -1 : pos_or_none(text.find_first_of(set));
  FUZZ_CHECK(off(cs, kolvu::index2(cs, set.c_str())) == want, "index2: expected %ld", want);
  FUZZ_CHECK(off(s, kolvu::index2(s, set.c_str())) == want, "index2 (char *)");

  want = pos_or_none(text.find_first_of("*?"));
  FUZZ_CHECK(off(cs, kolvu::srch_wild(cs)) == want, "srch_wild: expected %ld", want);
  FUZZ_CHECK(off(s, kolvu::srch_wild(s)) == want, "srch_wild (char *)");

  size_t p = text.find_first_not_of(" \t");
  want = static_cast<long>(p == Bytes::npos ? text.size() : p);
  FUZZ_CHECK(off(cs, kolvu::sp_skip(cs)) == want, "sp_skip: expected %ld", want);
  FUZZ_CHECK(off(s, kolvu::sp_skip(s)) == want, "sp_skip (char *)");

  p = text.find_first_of(" \t");
  want = static_cast<long>(p == Bytes::npos ? text.size() : p);
  FUZZ_CHECK(off(cs, kolvu::chr_skip(cs)) == want, "chr_skip: expected %ld", want);
  FUZZ_CHECK(off(s, kolvu::chr_skip(s)) == want, "chr_skip (char *)");

  FUZZ_CHECK(copy == text, "a search wrote to its text");
}

void check_edits(const Bytes &text, int c, int count) {
  // insChar: room for exactly one more byte.
  std::vector<char> buf(text.begin(), text.end());
  buf.resize(text.size() + 2, '\0');
  FUZZ_CHECK(kolvu::insChar(buf.data(), c) == 0, "insChar result");
  Bytes want = static_cast<char>(c) + text;
  FUZZ_CHECK(std::memcmp(buf.data(), want.c_str(), want.size() + 1) == 0, "insChar of 0x%02x", c);

  // clear: count bytes and not one more.
  const char fill = static_cast<char>(c), guard = static_cast<char>(~c);
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  std::vector<char> area(n + 8, guard);
  char *end = kolvu::clear(area.data(), c, count);
  FUZZ_CHECK(end == area.data() + n, "clear with count %d returned offset %ld", count, end - area.data());
  for (size_t i = 0; i < area.size(); ++i)
    FUZZ_CHECK(area[i] == (i < n ? fill : guard), "clear with count %d: byte %zu", count, i);

  // Case conversion: only ASCII letters change, each by the routine's rule.
  Bytes up = text;
  FUZZ_CHECK(kolvu::to_upper(&up[0]) == 0, "to_upper result");
  FUZZ_CHECK(up == model_to_upper(text), "to_upper");
  Bytes low = text;
  FUZZ_CHECK(kolvu::to_lower(&low[0]) == 0, "to_lower result");
  FUZZ_CHECK(low == model_to_lower(text), "to_lower");
  for (size_t i = 0; i < text.size(); ++i) {
    FUZZ_CHECK(up[i] == text[i] || (text[i] >= 'a' && text[i] <= 'z' && up[i] == text[i] - 0x20),
               "to_upper changed byte %zu", i);
    FUZZ_CHECK(low[i] == text[i] || (text[i] >= 'A' && text[i] <= 'Z' && low[i] == text[i] + 0x20),
               "to_lower changed byte %zu", i);
  }
}

void check_exp_tab(const Bytes &text, int width) {
  Bytes want;
  if (!model_exp_tab(width, text, &want)) return;
  const char *got = kolvu::exp_tab(width, text.c_str());
  FUZZ_CHECK(got == want, "exp_tab width %d: %zu bytes, expected %zu", width, std::strlen(got), want.size());
}

void check_strcmp(const std::vector<Bytes> &texts) {
  const size_t n = texts.size() < 16 ? texts.size() : 16;
  for (size_t i = 0; i < n; ++i) {
    const char *a = texts[i].c_str();
    FUZZ_CHECK(kolvu::StrCmp(a, a) == 0, "StrCmp of text %zu with itself", i);
    for (size_t j = i + 1; j < n; ++j) {
      const char *b = texts[j].c_str();
      int ab = kolvu::StrCmp(a, b), ba = kolvu::StrCmp(b, a);
      FUZZ_CHECK(ab >= -1 && ab <= 1, "StrCmp returned %d", ab);
      FUZZ_CHECK(ab == -ba, "StrCmp(%zu,%zu) = %d but StrCmp(%zu,%zu) = %d", i, j, ab, j, i, ba);
      FUZZ_CHECK(ab == model_strcmp(a, b), "StrCmp(%zu,%zu) = %d, expected %d", i, j, ab, model_strcmp(a, b));
    }
  }
}

struct Entry {
  char *path;  // comp_file reads only this first member
  size_t id;
};

void check_sort(std::vector<Bytes> texts) {
  std::vector<Entry> entries;
  for (size_t i = 0; i < texts.size(); ++i) entries.push_back({&texts[i][0], i});
  std::vector<Entry *> order;
  for (Entry &e : entries) order.push_back(&e);
  if (order.size() >= 2) {
    int r = kolvu::comp_file(&order[0], &order[1]);
    FUZZ_CHECK(r == model_comp_file(order[0]->path, order[1]->path), "comp_file returned %d", r);
  }
  std::qsort(order.data(), order.size(), sizeof(Entry *), kolvu::comp_file);
  std::vector<bool> seen(entries.size());
  for (const Entry *e : order) {
    FUZZ_CHECK(!seen[e->id], "entry %zu twice after qsort", e->id);
    seen[e->id] = true;
  }
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    int r = kolvu::comp_file(&order[i], &order[i + 1]);
    FUZZ_CHECK(r == -1 || r == 0, "comp_file of sorted neighbours %zu returned %d", i, r);
    FUZZ_CHECK(model_comp_file(order[i]->path, order[i + 1]->path) <= 0, "order after qsort at %zu", i);
  }
}

void check_fname(const Bytes &text) {
  // findExt: the last '.' after the last backslash that starts a character.
  long sep = model_strchr(text.c_str(), '\\', true);
  size_t from = sep < 0 ? 0 : static_cast<size_t>(sep) + 1;
  size_t dot = text.rfind('.');
  long want = dot != Bytes::npos && dot >= from ? static_cast<long>(dot) : -1;
  Bytes copy = text;
  FUZZ_CHECK(off(copy.c_str(), kolvu::findExt(copy.c_str())) == want, "findExt: expected %ld", want);
  FUZZ_CHECK(off(&copy[0], kolvu::findExt(&copy[0])) == want, "findExt (char *)");

  // sepname: split at the backslash after the first wildcard.
  size_t wild = text.find_first_of("*?");
  if (wild == Bytes::npos) wild = text.size();
  long cut = model_strchr(text.c_str() + wild, '\\', false);
  Bytes want_path = text, want_first = text, want_rest;
  if (cut >= 0) {
    size_t at = wild + static_cast<size_t>(cut);
    want_path[at] = '\0';
    want_first = text.substr(0, at);
    want_rest = text.substr(at + 1);
  }
  std::vector<char> path(text.begin(), text.end()), first(text.size() + 1, 'F'), rest(text.size() + 1, 'R');
  path.push_back('\0');
  FUZZ_CHECK(kolvu::sepname(path.data(), first.data(), rest.data()) == 0, "sepname result");
  FUZZ_CHECK(std::memcmp(path.data(), want_path.c_str(), want_path.size() + 1) == 0, "sepname's path");
  FUZZ_CHECK(want_first == first.data(), "sepname's first part \"%s\"", first.data());
  FUZZ_CHECK(want_rest == rest.data(), "sepname's rest \"%s\"", rest.data());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::quiet_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4) return 0;
  const int c = data[0];
  const int width = data[2] == 0xFF ? INT_MAX : 1 + ((data[1] | data[2] << 8) % 4096);
  const int count = static_cast<signed char>(data[3]);

  std::vector<Bytes> texts(1);
  for (size_t i = 4; i < size; ++i) {
    if (data[i] == 0) {
      if (texts.size() == 64) break;
      texts.emplace_back();
    } else {
      texts.back().push_back(static_cast<char>(data[i]));
    }
  }
  const Bytes &text = texts[0];
  const Bytes pattern = texts.size() > 1 ? texts[1] : Bytes();
  const Bytes set = texts.size() > 2 ? texts[2] : Bytes();

  check_search(text, pattern, set, c);
  check_edits(text, c, count);
  check_exp_tab(text, width);
  check_strcmp(texts);
  check_sort(texts);
  check_fname(text);
  return 0;
}
