#include "lsp/regular_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kolvu {
namespace {

class RegularFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kolvu-regular-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string put(const std::string &name, const std::string &bytes) {
    std::string path = dir_ + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
  std::string dir_;
};

TEST_F(RegularFile, ReadsWholeFilesUpToTheLimit) {
  std::string text, error;
  FileStamp stamp;
  std::string path = put("a.h", "#define A 1\n");
  ASSERT_TRUE(read_regular_file(path, 12, &text, &error, &stamp)) << error;
  EXPECT_EQ(text, "#define A 1\n");
  EXPECT_EQ(stamp.size, 12);
  EXPECT_EQ(stamp, stamp_of(path));
  EXPECT_FALSE(read_regular_file(path, 11, &text, &error));
  EXPECT_EQ(error, "larger than 11 bytes");
  EXPECT_TRUE(text.empty());
  ASSERT_TRUE(read_regular_file(put("empty.h", ""), 0, &text, &error));
  EXPECT_EQ(text, "");
}

TEST_F(RegularFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
  std::string fifo = dir_ + "/pipe.h";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string text = "old", error;
  // A FIFO with no writer would block an ordinary open for good.
  EXPECT_FALSE(read_regular_file(fifo, kMaxFileBytes, &text, &error));
  EXPECT_EQ(error, "not a regular file");
  EXPECT_EQ(stamp_of(fifo).size, -1);
  for (const char *device : {"/dev/zero", "/dev/null"}) {
    EXPECT_FALSE(read_regular_file(device, kMaxFileBytes, &text, &error)) << device;
    EXPECT_EQ(error, "not a regular file");
  }
  EXPECT_FALSE(read_regular_file(dir_, kMaxFileBytes, &text, &error));
  EXPECT_EQ(error, "Is a directory");
  EXPECT_FALSE(read_regular_file(dir_ + "/none.h", kMaxFileBytes, &text, &error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(stamp_of(dir_ + "/none.h").size, -1);
  EXPECT_TRUE(text.empty());
}

TEST_F(RegularFile, LimitHoldsForWhatIsReadNotWhatIsSaid) {
  // Files of /proc say they hold nothing and hold more.
  std::string text, error;
  ASSERT_TRUE(read_regular_file("/proc/self/status", kMaxFileBytes, &text, &error)) << error;
  EXPECT_NE(text.find("VmRSS"), std::string::npos);
  EXPECT_FALSE(read_regular_file("/proc/self/status", 10, &text, &error));
  EXPECT_EQ(error, "larger than 10 bytes");
}

}  // namespace
}  // namespace kolvu
