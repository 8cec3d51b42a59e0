#include "index/records.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kolvu {

namespace {

const uint64_t kOnes = 0x0101010101010101ull;
const uint64_t kHighs = 0x8080808080808080ull;

// The high bit set in each byte of w that needs an escape, and in no other:
// below 0x20, '"' or '\\' (bytes of 0x80 and above never do). Each byte's
// seven low bits are added to apart, so no carry passes between bytes: the
// high bit stays clear only for a byte below 0x20 (+0x60), or equal to the
// character xored in (+0x7F).
uint64_t escape_mask(uint64_t w) {
  uint64_t low = w & ~kHighs;
  uint64_t not_control = low + kOnes * 0x60;
  uint64_t not_quote = (low ^ (kOnes * '"')) + kOnes * 0x7F;
  uint64_t not_backslash = (low ^ (kOnes * '\\')) + kOnes * 0x7F;
  return ~((not_control & not_quote & not_backslash) | w) & kHighs;
}

bool word_needs_escape(uint64_t w) { return escape_mask(w) != 0; }

// What escaping adds to each byte: 1 for a two-character escape (a quote,
// a backslash, \n \t \r \b \f), 5 for \u00XX, 0 for a byte as it is.
struct EscapeTable {
  unsigned char extra[256];
  char letter[256];  // the letter after '\' of a two-character escape
  EscapeTable() : extra(), letter() {
    for (int c = 0; c < 0x20; ++c) extra[c] = 5;
    const char pairs[][2] = {{'"', '"'}, {'\\', '\\'}, {'\n', 'n'}, {'\t', 't'},
                             {'\r', 'r'}, {'\b', 'b'}, {'\f', 'f'}};
    for (const auto &pair : pairs) {
      extra[static_cast<unsigned char>(pair[0])] = 1;
      letter[static_cast<unsigned char>(pair[0])] = pair[1];
    }
  }
};
const EscapeTable kEscape;

// Writes the decimal digits of n (not negative) at p; returns their end.
// Lines, columns and offsets are most of a record: their length is found
// by comparisons, then the digits are written from the end, two at a time.
char *put_number(long n, char *p) {
  static const char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  static const unsigned long kPowers[20] = {1ul,
                                            10ul,
                                            100ul,
                                            1000ul,
                                            10000ul,
                                            100000ul,
                                            1000000ul,
                                            10000000ul,
                                            100000000ul,
                                            1000000000ul,
                                            10000000000ul,
                                            100000000000ul,
                                            1000000000000ul,
                                            10000000000000ul,
                                            100000000000000ul,
                                            1000000000000000ul,
                                            10000000000000000ul,
                                            100000000000000000ul,
                                            1000000000000000000ul,
                                            10000000000000000000ul};
  unsigned long v = static_cast<unsigned long>(n);
  // The count of digits from the count of bits (1233 / 4096 is about
  // log10(2)), one less when v is below the power it names. v | 1 has as
  // many digits as v (a power of ten above 1 is even) and one when v is 0.
  const unsigned long u = v | 1;
  const size_t guess = ((64 - static_cast<size_t>(__builtin_clzl(u))) * 1233) >> 12;
  const size_t len = guess + 1 - (u < kPowers[guess] ? 1 : 0);
  char *end = p + len;
  char *q = end;
  while (v >= 100) {
    q -= 2;
    std::memcpy(q, kPairs + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) std::memcpy(q - 2, kPairs + 2 * v, 2);
  else q[-1] = static_cast<char>('0' + v);
  return end;
}

// kind_name's texts with their lengths, by DefKind.
struct KindNames {
  std::string_view name[static_cast<int>(DefKind::kExtern) + 1];
  KindNames() {
    for (int k = 0; k <= static_cast<int>(DefKind::kExtern); ++k)
      name[k] = kind_name(static_cast<DefKind>(k));
  }
};
const KindNames kKindNames;

std::string_view kind_text(DefKind kind) { return kKindNames.name[static_cast<int>(kind)]; }

void append_number(long n, std::string *out) {
  char digits[24];
  out->append(digits, static_cast<size_t>(put_number(n, digits) - digits));
}

template <size_t N>
char *put(const char (&literal)[N], char *p) {
  std::memcpy(p, literal, N - 1);
  return p + N - 1;
}

char *put(std::string_view s, char *p) {
  std::memcpy(p, s.data(), s.size());
  return p + s.size();
}

// Writes the escape of c at p; returns its end.
char *put_escape(unsigned char c, char *p) {
  static const char kHex[] = "0123456789abcdef";
  if (kEscape.extra[c] == 1) {
    *p++ = '\\';
    *p++ = kEscape.letter[c];
    return p;
  }
  p = put("\\u00", p);
  *p++ = kHex[c >> 4];
  *p++ = kHex[c & 15];
  return p;
}

// Writes s escaped, without its quotes, at p; returns its end. With
// kAsciiOnly, returns null instead at a byte of 0x80 or above. Eight bytes
// are stored at a time; in a word with bytes to escape, each in turn is
// escaped after the bytes before it, and the rest of the word stored again
// after its escape. A store may pass the end of what is written by up to
// fifteen bytes.
template <bool kAsciiOnly>
char *put_escaped(std::string_view s, char *p) {
  const char *d = s.data();
  size_t n = s.size(), i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time likewise, the rest of a block stored again from
  // the source after each escape.
  const __m128i below = _mm_set1_epi8(0x1f);
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i));
    __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, below), v),
                               _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (kAsciiOnly) mask |= static_cast<unsigned>(_mm_movemask_epi8(v));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
    if (mask == 0) {
      p += 16;
      continue;
    }
    size_t from = 0;  // the block's first byte not yet in place
    do {
      size_t k = static_cast<size_t>(__builtin_ctz(mask));
      mask &= mask - 1;
      unsigned char c = static_cast<unsigned char>(d[i + k]);
      if (kAsciiOnly && c >= 0x80) return nullptr;
      p = put_escape(c, p + (k - from));
      from = k + 1;
      if (from == 16) break;
      if (i + from + 16 <= n)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i + from)));
      else
        std::memcpy(p, d + i + from, 16 - from);
    } while (mask != 0);
    p += 16 - from;
  }
#endif
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, d + i, 8);
    uint64_t mask = escape_mask(w) | (kAsciiOnly ? w & kHighs : 0);
    std::memcpy(p, &w, 8);
    if (mask == 0) {
      p += 8;
      continue;
    }
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    size_t from = 0;  // the word's first byte not yet in place
    do {
      size_t k = static_cast<size_t>(__builtin_ctzll(mask)) / 8;
      mask &= mask - 1;
      unsigned char c = static_cast<unsigned char>(w >> (8 * k));
      if (kAsciiOnly && c >= 0x80) return nullptr;
      p = put_escape(c, p + (k - from));
      from = k + 1;
      if (from < 8) {
        uint64_t rest = w >> (8 * from);
        std::memcpy(p, &rest, 8);
      }
    } while (mask != 0);
    p += 8 - from;
#else
    for (size_t k = i; k < i + 8; ++k) {
      unsigned char c = static_cast<unsigned char>(d[k]);
      if (kAsciiOnly && c >= 0x80) return nullptr;
      if (kEscape.extra[c] == 0) *p++ = static_cast<char>(c);
      else p = put_escape(c, p);
    }
#endif
  }
  for (; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(d[i]);
    if (kAsciiOnly && c >= 0x80) return nullptr;
    if (kEscape.extra[c] == 0) *p++ = static_cast<char>(c);
    else p = put_escape(c, p);
  }
  return p;
}

char *put_string(std::string_view s, char *p) {
  *p++ = '"';
  p = put_escaped<false>(s, p);
  *p++ = '"';
  return p;
}

// The most bytes s takes as a JSON string, quotes included, and room for
// the store that passes its end.
size_t string_bound(std::string_view s) { return 2 + 6 * s.size() + 16; }

// The most bytes a record takes, its text aside.
size_t head_bound(const JsonRecord &r) {
  size_t bound = 320 + r.file_json.size() + string_bound(r.name);
  for (size_t i = 0; i < r.name_count; ++i)
    bound += 128 + string_bound(r.names[i].name) + string_bound(r.names[i].scope);
  return bound;
}

}  // namespace

size_t json_escapes(std::string_view s) {
  const char *d = s.data();
  size_t n = s.size(), i = 0, extra = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, d + i, 8);
    if (!word_needs_escape(w)) continue;
    for (size_t k = i; k < i + 8; ++k) extra += kEscape.extra[static_cast<unsigned char>(d[k])];
  }
  for (; i < n; ++i) extra += kEscape.extra[static_cast<unsigned char>(d[i])];
  return extra;
}

void append_json_string(std::string_view s, std::string *out) {
  size_t at = out->size();
  out->resize(at + string_bound(s));
  char *end = put_string(s, &(*out)[at]);
  out->resize(static_cast<size_t>(end - out->data()));
}

size_t json_record_bound(const JsonRecord &r) { return head_bound(r) + 6 * r.text.size() + 16; }

size_t json_record_room(const JsonRecord &r) {
  return head_bound(r) + r.text.size() + json_escapes(r.text) + 16;
}

// A key (with what stands before it) and a number after it.
template <size_t N>
char *put_number_field(const char (&key)[N], long v, char *p) {
  return put_number(v, put(key, p));
}

// A key, then a kind's name as a string.
template <size_t N>
char *put_kind_field(const char (&key)[N], DefKind kind, char *p) {
  p = put(kind_text(kind), put(key, p));
  *p++ = '"';
  return p;
}

template <bool kAsciiOnly>
char *put_json_record(const JsonRecord &r, char *p) {
  p = put(r.file_json, put("{\"file\":", p));
  p = put_number_field(",\"line\":", r.line, p);
  p = put_number_field(",\"end_line\":", r.end_line, p);
  p = put_kind_field(",\"kind\":\"", r.kind, p);
  p = put_string(r.name, put(",\"name\":", p));
  p = put(",\"names\":[", p);
  for (size_t i = 0; i < r.name_count; ++i) {
    const JsonName &n = r.names[i];
    p = put_string(n.name, i == 0 ? put("{\"name\":", p) : put(",{\"name\":", p));
    p = put_kind_field(",\"kind\":\"", n.kind, p);
    p = put_number_field(",\"line\":", n.line, p);
    p = put_number_field(",\"column\":", n.column, p);
    if (!n.scope.empty()) {
      p = put_string(n.scope, put(",\"scope\":", p));
      p = put_kind_field(",\"scope_kind\":\"", n.scope_kind, p);
    }
    *p++ = '}';
  }
  p = put_number_field("],\"begin\":", static_cast<long>(r.begin), p);
  p = put_number_field(",\"end\":", static_cast<long>(r.end), p);
  if (r.parent >= 0) p = put_number_field(",\"parent\":", r.parent, p);
  p = put(",\"text\":\"", p);
  p = put_escaped<kAsciiOnly>(r.text, p);
  if (kAsciiOnly && p == nullptr) return nullptr;
  return r.lossy ? put("\",\"lossy\":true}\n", p) : put("\"}\n", p);
}

template char *put_json_record<true>(const JsonRecord &r, char *p);
template char *put_json_record<false>(const JsonRecord &r, char *p);

// The record is written in place: out grows once by a bound of its size,
// its text's escapes counted, and is cut back to what was written.
void append_json_record(const JsonRecord &r, std::string *out) {
  size_t at = out->size();
  out->resize(at + json_record_room(r));
  char *end = put_json_record<false>(r, &(*out)[at]);
  out->resize(static_cast<size_t>(end - out->data()));
}

void TagList::add(std::string_view name, uint32_t file, long line, char kind,
                  std::string_view scope, DefKind scope_kind) {
  tags_.push_back({names_.size(), static_cast<uint32_t>(name.size()), file, line,
                   static_cast<uint32_t>(scope.size()), kind, static_cast<uint8_t>(scope_kind)});
  names_.append(name);
  names_.append(scope);
}

void TagList::take(TagList *other, uint32_t file) {
  uint64_t base = names_.size();
  names_.append(other->names_);
  for (Tag t : other->tags_) {
    t.name_at += base;
    t.file = file;
    tags_.push_back(t);
  }
  *other = TagList();
}

void TagList::sort() {
  std::stable_sort(tags_.begin(), tags_.end(),
                   [this](const Tag &a, const Tag &b) { return name(a) < name(b); });
}

std::string tags_header(const char *version) {
  return std::string("!_TAG_FILE_FORMAT\t2\t/extended format/\n"
                     "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
                     "!_TAG_PROGRAM_NAME\tkolvu-index\t//\n"
                     "!_TAG_PROGRAM_VERSION\t") +
         version + "\t//\n";
}

void append_tag_line(const TagList &tags, size_t i, const std::string &file, std::string *out) {
  const TagList::Tag &tag = tags[i];
  out->append(tags.name(tag));
  out->push_back('\t');
  out->append(file);
  out->push_back('\t');
  append_number(tag.line, out);
  out->append(";\"\t");
  out->push_back(tag.kind);
  if (tag.scope_len > 0) {
    out->push_back('\t');
    out->append(kind_name(static_cast<DefKind>(tag.scope_kind)));
    out->push_back(':');
    out->append(tags.scope(tag));
  }
  out->push_back('\n');
}

bool fits_tags_file(const std::string &path) {
  return path.find_first_of("\t\n\r") == std::string::npos;
}

}  // namespace kolvu
