// Fuzz target: the diagnostics formatter (err_edit) and its writers (errmsg,
// errmsg1), with arbitrary formats and arguments of exactly the types the
// format consumes, compared with a formatter of our own.
//
// Input layout:
//   format   the bytes up to the first NUL. Only the first six directives
//            that take an argument are kept: the format is cut before a seventh.
//   rest     the argument values, in the order the directives take them:
//            an int (%c, %d, %x and any other letter) from 4 bytes, a double
//            (%f) from 8 bytes, a text (%s) from the bytes up to the next
//            NUL. Missing bytes read as zero.
//
// A variadic call cannot be assembled at run time, so the argument list is
// built by a recursive template over the kinds (int, text, double): every
// sequence of up to six kinds has its own call with exactly those types
// (3^6 calls; each further kind would triple the code and its build time).
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "fuzz_common.h"
#include "kolvu/errmsg.h"

namespace {

const int kMaxArgs = 6;

enum Kind : unsigned char { kInt, kText, kDouble };

struct Call {
  std::string fmt;
  int n = 0;
  Kind kind[kMaxArgs] = {};
  int ints[kMaxArgs] = {};
  const char *texts[kMaxArgs] = {};
  double doubles[kMaxArgs] = {};
};

struct Results {
  bool edit_null = false;
  std::string edit;
  int errmsg_rc = 0;
  int errmsg_flag = 0;
  std::string errmsg_out;
  int errmsg1_rc = 0;
  int errmsg1_flag = 0;
  std::string errmsg1_out;
};

fuzz::CapturedStdout *out;

// The values, taken from the input in order.
class Pool {
 public:
  Pool(const uint8_t *p, size_t n) : p_(p), n_(n) {}
  void take(void *dst, size_t len) {
    unsigned char *d = static_cast<unsigned char *>(dst);
    for (size_t i = 0; i < len; ++i) d[i] = at_ < n_ ? p_[at_++] : 0;
  }
  const char *text() {
    std::string s;
    while (at_ < n_ && p_[at_] != 0) s.push_back(static_cast<char>(p_[at_++]));
    if (at_ < n_) ++at_;
    texts_.push_back(s);
    return texts_.back().c_str();
  }

 private:
  const uint8_t *p_;
  size_t n_;
  size_t at_ = 0;
  std::deque<std::string> texts_;  // keeps the texts where they are
};

Kind kind_of(char letter) {
  if (letter == 's') return kText;
  if (letter == 'f') return kDouble;
  return kInt;
}

// The message the directive table gives for the call.
std::string reference(const Call &c) {
  std::string r;
  int arg = 0;
  const std::string &f = c.fmt;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%') {
      r.push_back(f[i]);
      continue;
    }
    if (i + 1 == f.size()) {
      r.push_back('%');
      break;
    }
    char letter = f[++i];
    switch (letter) {
      case 'c':
        r.push_back(static_cast<char>(c.ints[arg++] & 0xFF));
        break;
      case 'd': {
        long long v = c.ints[arg++];
        std::string digits;
        unsigned long long m = v < 0 ? static_cast<unsigned long long>(-v) : static_cast<unsigned long long>(v);
        do {
          digits.insert(digits.begin(), static_cast<char>('0' + m % 10));
          m /= 10;
        } while (m != 0);
        if (v < 0) r.push_back('-');
        r += digits;
        break;
      }
      case 'x': {
        unsigned v = static_cast<unsigned>(c.ints[arg++]);
        std::string digits;
        do {
          digits.insert(digits.begin(), "0123456789abcdef"[v % 16]);
          v /= 16;
        } while (v != 0);
        r += digits;
        break;
      }
      case 's':
        r += c.texts[arg++];
        break;
      case 'f': {
        double d = c.doubles[arg++];
        int len = std::snprintf(nullptr, 0, "%f", d);
        std::string s(static_cast<size_t>(len) + 1, '\0');
        std::snprintf(&s[0], s.size(), "%f", d);
        s.resize(static_cast<size_t>(len));
        r += s;
        break;
      }
      default:
        ++arg;
        r.push_back('?');
        r.push_back(letter);
        break;
    }
  }
  return r;
}

// err_edit with the arguments as a va_list; its text is copied at once, as
// the next call overwrites it.
void edit(Results *r, const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const char *text = kolvu::err_edit(fmt, args);
  va_end(args);
  r->edit_null = text == nullptr;
  if (text != nullptr) r->edit = text;
}

// The steps around each call, kept out of the templates so that each of the
// many instantiations stays small.
struct Capture {
  char *buf = nullptr;
  size_t len = 0;
  FILE *stream = nullptr;
};

void before_errmsg() {
  kolvu::errfp = KOLVU_ERRFP_STDOUT;
  kolvu::errmsg_output_flg = 0;
}

void after_errmsg(Results &r) {
  r.errmsg_flag = kolvu::errmsg_output_flg;
  r.errmsg_out = out->take();
}

void before_errmsg1(Capture &cap) {
  cap.stream = open_memstream(&cap.buf, &cap.len);
  FUZZ_CHECK(cap.stream != nullptr, "open_memstream failed");
  kolvu::errfp = cap.stream;
  kolvu::errmsg_output_flg = 0;
}

void after_errmsg1(Results &r, Capture &cap) {
  r.errmsg1_flag = kolvu::errmsg_output_flg;
  std::fclose(cap.stream);
  r.errmsg1_out.assign(cap.buf, cap.len);
  std::free(cap.buf);
  kolvu::errfp = KOLVU_ERRFP_STDOUT;
}

template <typename... T>
void leaf(const Call &c, Results &r, T... v) {
  const char *fmt = c.fmt.c_str();
  edit(&r, fmt, v...);
  before_errmsg();
  r.errmsg_rc = kolvu::errmsg(fmt, v...);
  after_errmsg(r);
  Capture cap;
  before_errmsg1(cap);
  r.errmsg1_rc = kolvu::errmsg1(fmt, v...);
  after_errmsg1(r, cap);
}

// Appends the argument of position sizeof...(T) with its own type, and goes
// on until the call's n arguments are there.
template <typename... T>
void dispatch(const Call &c, Results &r, T... v) {
  constexpr int i = sizeof...(T);
  if constexpr (i == kMaxArgs) {
    leaf(c, r, v...);
  } else {
    if (i == c.n) {
      leaf(c, r, v...);
      return;
    }
    switch (c.kind[i]) {
      case kInt:
        dispatch(c, r, v..., c.ints[i]);
        break;
      case kText:
        dispatch(c, r, v..., c.texts[i]);
        break;
      case kDouble:
        dispatch(c, r, v..., c.doubles[i]);
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  out = new fuzz::CapturedStdout;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  size_t fmt_end = 0;
  while (fmt_end < size && data[fmt_end] != 0) ++fmt_end;
  const size_t rest = fmt_end < size ? fmt_end + 1 : size;
  Pool pool(data + rest, size - rest);

  Call c;
  for (size_t i = 0; i < fmt_end; ++i) {
    if (data[i] != '%') continue;
    if (i + 1 == fmt_end) break;  // a lone '%' at the end takes nothing
    if (c.n == kMaxArgs) {
      fmt_end = i;
      break;
    }
    Kind k = kind_of(static_cast<char>(data[++i]));
    c.kind[c.n] = k;
    if (k == kInt)
      pool.take(&c.ints[c.n], sizeof(int));
    else if (k == kDouble)
      pool.take(&c.doubles[c.n], sizeof(double));
    else
      c.texts[c.n] = pool.text();
    ++c.n;
  }
  c.fmt.assign(reinterpret_cast<const char *>(data), fmt_end);

  Results r;
  dispatch(c, r);

  // Everything written stops at the message's first NUL (a %c of 0).
  const std::string want = reference(c);
  const std::string want_text = want.substr(0, std::strlen(want.c_str()));
  FUZZ_CHECK(!r.edit_null, "err_edit returned null");
  FUZZ_CHECK(r.edit == want_text, "err_edit wrote \"%s\", expected \"%s\"", r.edit.c_str(), want_text.c_str());
  FUZZ_CHECK(r.errmsg_out == want_text, "errmsg wrote \"%s\", expected \"%s\"", r.errmsg_out.c_str(),
             want_text.c_str());
  FUZZ_CHECK(r.errmsg_rc == static_cast<int>(want_text.size()), "errmsg returned %d for %zu bytes",
             r.errmsg_rc, want_text.size());
  FUZZ_CHECK(r.errmsg_flag == 1, "errmsg left errmsg_output_flg at %d", r.errmsg_flag);
  FUZZ_CHECK(r.errmsg1_out == want_text, "errmsg1 wrote \"%s\", expected \"%s\"", r.errmsg1_out.c_str(),
             want_text.c_str());
  FUZZ_CHECK(r.errmsg1_rc == static_cast<int>(want_text.size()), "errmsg1 returned %d for %zu bytes",
             r.errmsg1_rc, want_text.size());
  FUZZ_CHECK(r.errmsg1_flag == 0, "errmsg1 set errmsg_output_flg");
  return 0;
}
