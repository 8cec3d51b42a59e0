#include "lsp/uri.h"

#include <gtest/gtest.h>

namespace kolvu {
namespace {

TEST(Uri, PathsGoThereAndBack) {
  struct Case {
    std::string path;
    std::string uri;
  };
  const Case cases[] = {
      {"/a/b.c", "file:///a/b.c"},
      {"/with space/x#y%z.h", "file:///with%20space/x%23y%25z.h"},
      {"/caf\xE9.h", "file:///caf%E9.h"},                          // not UTF-8
      {"/\xE6\x97\xA5\xE6\x9C\xAC.h", "file:///%E6%97%A5%E6%9C%AC.h"},  // UTF-8
      {"/a?b&c=d;e.h", "file:///a%3Fb%26c%3Dd%3Be.h"},
      {"/x-y_z~1.2", "file:///x-y_z~1.2"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(path_to_uri(c.path), c.uri);
    std::string back;
    ASSERT_TRUE(uri_to_path(c.uri, &back)) << c.uri;
    EXPECT_EQ(back, c.path);
  }
}

TEST(Uri, ReadsWhatClientsWrite) {
  struct Case {
    const char *uri;
    bool ok;
    std::string path;
  };
  const Case cases[] = {
      {"file:///a/b.c", true, "/a/b.c"},
      {"file://localhost/a/b.c", true, "/a/b.c"},
      {"FILE:///a", true, "/a"},
      {"file:///caf%e9.h", true, "/caf\xE9.h"},
      {"file:///a%3a/b", true, "/a:/b"},
      {"file:///a/b.c#frag", true, "/a/b.c"},
      {"file:///a%2", false, ""},
      {"file:///a%zz", false, ""},
      {"file://host/a", false, ""},
      {"http://x/a", false, ""},
      {"file:", false, ""},
  };
  for (const Case &c : cases) {
    std::string path;
    EXPECT_EQ(uri_to_path(c.uri, &path), c.ok) << c.uri;
    if (c.ok) {
      EXPECT_EQ(path, c.path) << c.uri;
    }
  }
}

}  // namespace
}  // namespace kolvu
