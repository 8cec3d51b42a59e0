// The walk: byte order at every level, the endings, symbolic links, loops,
// and paths that cannot be read or vanish while the walk goes on.
#include "common/walk.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/tree.h"

namespace kolvu {
namespace {

using kolvu_test::link_in;
using kolvu_test::TempDir;
using kolvu_test::write_tree;

// "path" for a file, "path! error" for a path that cannot be read.
std::vector<std::string> walk(const TempDir &dir, std::vector<std::string> paths,
                              std::vector<std::string> exts = default_source_exts()) {
  EXPECT_EQ(::chdir(dir.path().c_str()), 0);
  Walker w(std::move(paths), std::move(exts));
  std::vector<std::string> got;
  WalkItem item;
  while (w.next(&item)) got.push_back(item.error.empty() ? item.path : item.path + "! " + item.error);
  return got;
}

TEST(Walk, EveryDirectoryInByteOrderTakingOnlySourceEndings) {
  TempDir d;
  write_tree(d, {{"t/b.h", ""}, {"t/B.c", ""}, {"t/a/z.hpp", ""}, {"t/a.h", ""},
                 {"t/notes.txt", ""}, {"t/.h", ""}, {"t/x.hxx", ""}, {"t/y.cxx", ""},
                 {"t/Makefile", ""}, {"t/e/", ""}, {"t/a/m.cc", ""}});
  EXPECT_EQ(walk(d, {"t"}), (std::vector<std::string>{"t/B.c", "t/a/m.cc", "t/a/z.hpp",
                                                       "t/a.h", "t/b.h", "t/x.hxx", "t/y.cxx"}));
  // A trailing slash is not doubled; paths are walked in the order given.
  EXPECT_EQ(walk(d, {"t/e/", "t/a/"}), (std::vector<std::string>{"t/a/m.cc", "t/a/z.hpp"}));
}

TEST(Walk, OtherEndingsReplaceTheUsualOnesButNamedFilesAreAlwaysTaken) {
  TempDir d;
  write_tree(d, {{"t/a.h", ""}, {"t/b.inc", ""}, {"t/c.txt", ""}});
  EXPECT_EQ(walk(d, {"t", "t/c.txt"}, {".inc"}),
            (std::vector<std::string>{"t/b.inc", "t/c.txt"}));
}

TEST(Walk, LinksToFilesAreTakenLinksToDirectoriesAreNot) {
  TempDir d;
  write_tree(d, {{"t/a.h", ""}, {"t/sub/b.h", ""}, {"other/c.h", ""}});
  link_in(d, "a.h", "t/link.h");
  link_in(d, "..", "t/sub/up");        // a loop back to t
  link_in(d, "../other", "t/other");   // a directory outside
  link_in(d, "gone.h", "t/dangling.h");
  link_in(d, "gone", "t/dangling");    // no source ending: passed over
  EXPECT_EQ(walk(d, {"t"}),
            (std::vector<std::string>{"t/a.h", "t/dangling.h! t/dangling.h: No such file or directory",
                                      "t/link.h", "t/sub/b.h"}));
  // A link named on the command line is followed.
  EXPECT_EQ(walk(d, {"t/other"}), (std::vector<std::string>{"t/other/c.h"}));
}

TEST(Walk, PathsThatCannotBeReadAreItemsAndTheWalkGoesOn) {
  TempDir d;
  write_tree(d, {{"a.h", ""}, {"empty/", ""}});
  EXPECT_EQ(walk(d, {"missing", "a.h/x", "empty", "a.h", "/dev/null"}),
            (std::vector<std::string>{"missing! missing: No such file or directory",
                                      "a.h/x! a.h/x: Not a directory", "a.h",
                                      "/dev/null! /dev/null: not a regular file or directory"}));
}

TEST(Walk, ADirectoryRemovedAfterItsParentWasListedIsReported) {
  TempDir d;
  write_tree(d, {{"t/a.h", ""}, {"t/gone/b.h", ""}, {"t/z.h", ""}});
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  Walker w({"t"}, default_source_exts());
  WalkItem item;
  ASSERT_TRUE(w.next(&item));
  EXPECT_EQ(item.path, "t/a.h");
  ASSERT_EQ(std::system(("rm -r '" + d.path() + "/t/gone'").c_str()), 0);
  ASSERT_TRUE(w.next(&item));
  EXPECT_EQ(item.error, "t/gone: No such file or directory");
  ASSERT_TRUE(w.next(&item));
  EXPECT_EQ(item.path, "t/z.h");
  EXPECT_TRUE(item.error.empty());
  EXPECT_FALSE(w.next(&item));
}

TEST(Walk, ADirectoryReplacedByALinkIsNotFollowed) {
  TempDir d;
  write_tree(d, {{"t/a.h", ""}, {"t/sub/b.h", ""}, {"elsewhere/c.h", ""}});
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  Walker w({"t"}, default_source_exts());
  WalkItem item;
  ASSERT_TRUE(w.next(&item));
  ASSERT_EQ(std::system(("cd '" + d.path() + "/t' && rm -r sub && ln -s ../elsewhere sub").c_str()), 0);
  EXPECT_FALSE(w.next(&item));
}

}  // namespace
}  // namespace kolvu
