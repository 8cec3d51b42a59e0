#include "lsp/framing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace kolvu {
namespace {

// What the reader makes of the bytes: "M:body", "B" for a bad message, in
// order, up to the end.
std::vector<std::string> read_all(const std::string &input, size_t max_body = 1000) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  EXPECT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(fds[1]);
  MessageReader reader(fds[0], max_body);
  std::vector<std::string> got;
  for (int guard = 0; guard < 100; ++guard) {
    std::string body;
    MessageReader::Result r = reader.next(&body);
    if (r == MessageReader::Result::kEnd) break;
    got.push_back(r == MessageReader::Result::kMessage ? "M:" + body : "B");
  }
  ::close(fds[0]);
  return got;
}

TEST(Framing, ReadsMessagesAndRecoversFromBadOnes) {
  struct Case {
    const char *name;
    std::string input;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"one", "Content-Length: 2\r\n\r\n{}", {"M:{}"}},
      {"two back to back", "Content-Length: 1\r\n\r\naContent-Length: 1\r\n\r\nb", {"M:a", "M:b"}},
      {"any case, other fields", "content-length:3\r\nContent-Type: x\r\n\r\nabc", {"M:abc"}},
      {"blanks around the value", "Content-Length:  3 \r\n\r\nabc", {"M:abc"}},
      {"empty body", "Content-Length: 0\r\n\r\n", {"M:"}},
      {"body with CRLFs", "Content-Length: 4\r\n\r\n\r\n\r\n", {"M:\r\n\r\n"}},
      {"malformed length, then one", "Content-Length: 1x\r\n\r\nzzContent-Length: 1\r\n\r\nb",
       {"B", "M:b"}},
      {"too large, then one", "Content-Length: 1001\r\n\r\nxxxContent-Length: 1\r\n\r\nb",
       {"B", "M:b"}},
      {"4 GiB", "Content-Length: 4294967296\r\n\r\n", {"B"}},
      {"digits beyond any size", "Content-Length: 99999999999999999999999\r\n\r\n", {"B"}},
      {"no length", "Content-Type: x\r\n\r\n{}Content-Length: 1\r\n\r\nb", {"B", "M:b"}},
      {"line without colon", "hello\r\n\r\nContent-Length: 1\r\n\r\nb", {"B", "M:b"}},
      {"endless header line", std::string(5000, 'x') + "Content-Length: 1\r\n\r\nb", {"B", "M:b"}},
      {"ends inside the body", "Content-Length: 10\r\n\r\nabc", {"B"}},
      {"ends inside the header", "Content-Length: 10\r\n", {"B"}},
      {"blank lines before a header", "\r\n\r\nContent-Length: 1\r\n\r\na", {"M:a"}},
      {"nothing", "", {}},
      // A wrong length loses no later message: one too long ends at the
      // next header found inside it, one too short leaves bytes that are
      // passed over up to the next header.
      {"length too long", "Content-Length: 30\r\n\r\n{}Content-Length: 1\r\n\r\nb", {"B", "M:b"}},
      {"length too long, the header's end past it",
       "Content-Length: 4\r\n\r\n{}Content-Length: 1\r\n\r\nb", {"B", "M:b"}},
      {"length too short", "Content-Length: 2\r\n\r\n{}xyzContent-Length: 1\r\n\r\nb",
       {"M:{}", "B", "M:b"}},
      {"length too short, a colon left", "Content-Length: 1\r\n\r\n{\"a\":1}Content-Length: 1\r\n\r\nb",
       {"M:{", "B", "M:b"}},
      {"the field's words inside a body", "Content-Length: 25\r\n\r\n{\"t\":\"Content-Length: 1\"}",
       {"M:{\"t\":\"Content-Length: 1\"}"}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(read_all(c.input), c.want) << c.name;
  }
}

TEST(Framing, AnnouncedLengthAllocatesNothing) {
  // A body far above the limit is refused before any of it is read.
  std::string input = "Content-Length: 4294967296\r\n\r\n" + std::string(100, 'x') +
                      "Content-Length: 2\r\n\r\nok";
  EXPECT_EQ(read_all(input, 64), (std::vector<std::string>{"B", "M:ok"}));
}

TEST(Framing, WriterFramesBodies) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  MessageWriter w(fds[1]);
  EXPECT_TRUE(w.write("{\"a\":1}"));
  EXPECT_TRUE(w.write("\xE6\x97\xA5"));
  ::close(fds[1]);
  char buf[256];
  ssize_t n = ::read(fds[0], buf, sizeof buf);
  ::close(fds[0]);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(n)),
            "Content-Length: 7\r\n\r\n{\"a\":1}Content-Length: 3\r\n\r\n\xE6\x97\xA5");
}

}  // namespace
}  // namespace kolvu
