#include "support/golden.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <stdexcept>

namespace kolvu_test {

void expect_same_bytes(const std::string &actual, const std::string &expected) {
  if (actual.size() + expected.size() < 64 * 1024) {
    EXPECT_EQ(actual, expected);
    return;
  }
  // Large texts: where they part, not a diff that costs more than the run.
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  EXPECT_TRUE(actual == expected) << actual.size() << " bytes where " << expected.size()
                                  << " were expected; first difference at byte " << i << ": "
                                  << ::testing::PrintToString(actual.substr(i, 40)) << " for "
                                  << ::testing::PrintToString(expected.substr(i, 40));
}

void expect_run(const Files &files, const std::vector<std::string> &args, const Expect &want) {
  TempDir dir;
  for (const auto &f : files) dir.write(f.first, f.second);
  Outcome r = run_kolvu(args, dir.path());
  expect_same_bytes(r.out, want.out);
  expect_same_bytes(r.err, want.err);
  EXPECT_EQ(r.status, want.status);
}

void expect_scan(const std::vector<std::string> &opts, const std::string &text,
                 const std::string &out) {
  std::vector<std::string> args = opts;
  args.push_back("a.h");
  expect_run({{"a.h", text}}, args, {out, "", 0});
}

std::string sjis(const std::string &utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 converter");
  std::string in = utf8, out(utf8.size() * 2 + 16, '\0');
  char *ip = &in[0], *op = &out[0];
  size_t il = in.size(), ol = out.size();
  size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) throw std::runtime_error("cannot convert to CP932");
  out.resize(out.size() - ol);
  return out;
}

}  // namespace kolvu_test
