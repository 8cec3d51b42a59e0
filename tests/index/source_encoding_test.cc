// The encoding read apart from the scan is the one the scan gives, for
// texts cut anywhere: carriage returns inside a character, a Ctrl-Z before
// bad bytes, characters left unfinished.
#include "index/source_encoding.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/test_util.h"

namespace kolvu {
namespace {

TEST(SourceEncoding, TheSameAsTheScanWhereverTheReadsCut) {
  const std::string cases[] = {
      "",
      "#define A 1\n",                              // ASCII only: Shift_JIS
      "#define U \"\xE8\xA1\xA8\"\n",               // UTF-8
      "#define S \"\x95\x5C\"\n",                   // Shift_JIS
      "#define U \"\xE8\r\xA1\r\r\xA8\"\r\n",       // carriage returns inside a character
      "#define U \"\xE8\xA1\xA8\"\n\x1A\xFF\xFF",   // bad bytes after a Ctrl-Z
      "#define U \"\xE8\xA1\x1A\xA8\"\n",           // a Ctrl-Z inside a character
      "\x1A\xE8\xA1\xA8",                           // nothing before the Ctrl-Z
      "#define U \"\xE8\xA1",                       // unfinished at the end
      "#define U \"\xF0\x9F\x98\x80\"\n",           // four bytes
      "#define U \"\xF4\x90\x80\x80\"\n",           // above U+10FFFF
      "#define U \"\xED\xA0\x80\"\n",               // a surrogate
      "#define U \"\xC0\xAF\"\n",                   // overlong
      "#define U \"\xC3\" \"\xA9\"\n",              // a lead byte then ASCII
      std::string(5000, 'x') + "\xE8\xA1\xA8",
  };
  kolvu_test::TempDir dir;
  for (const std::string &text : cases) {
    ScanOptions options;
    ScanResult want = scan_definitions(text.data(), text.size(), options, [](const Definition &) {});
    ASSERT_EQ(want.status, ScanStatus::kOk);
    std::string path = dir.write("s.h", text);
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    for (size_t block : {1, 2, 3, 5, 4096}) {
      EXPECT_EQ(read_source_encoding(fd, block), want.encoding)
          << testing::PrintToString(text) << " read " << block << " bytes at a time";
    }
    ::close(fd);
  }
}

TEST(SourceEncoding, APipeCannotBeReadApart) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "\xE8\xA1\xA8", 3), 3);
  EXPECT_EQ(read_source_encoding(fds[0]), Encoding::kAuto);
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace kolvu
