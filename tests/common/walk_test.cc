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

// "path" for a file, "path! error" for a path that cannot be read, "path?
// error" for one passed over with a warning.
std::vector<std::string> walk(const TempDir &dir, std::vector<std::string> paths,
                              WalkOptions options) {
  EXPECT_EQ(::chdir(dir.path().c_str()), 0);
  Walker w(std::move(paths), std::move(options));
  std::vector<std::string> got;
  WalkItem item;
  while (w.next(&item))
    got.push_back(item.error.empty() ? item.path
                                     : item.path + (item.warning ? "? " : "! ") + item.error);
  return got;
}

std::vector<std::string> walk(const TempDir &dir, std::vector<std::string> paths,
                              std::vector<std::string> exts = default_source_exts()) {
  return walk(dir, std::move(paths), WalkOptions{std::move(exts), {}, false});
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
            (std::vector<std::string>{"t/a.h", "t/dangling.h? t/dangling.h: No such file or directory",
                                      "t/link.h", "t/sub/b.h"}));
  // A link named on the command line is followed.
  EXPECT_EQ(walk(d, {"t/other"}), (std::vector<std::string>{"t/other/c.h"}));
}

TEST(Walk, PathsThatCannotBeReadAreItemsAndTheWalkGoesOn) {
  TempDir d;
  write_tree(d, {{"a.h", ""}, {"empty/", ""}});
  // A path given that is no directory is handed out for the reader to try:
  // it may be a FIFO or a device.
  EXPECT_EQ(walk(d, {"missing", "a.h/x", "empty", "a.h", "/dev/null"}),
            (std::vector<std::string>{"missing! missing: No such file or directory",
                                      "a.h/x! a.h/x: Not a directory", "a.h", "/dev/null"}));
}

TEST(Walk, ADirectoryRemovedAfterItsParentWasListedIsReported) {
  TempDir d;
  write_tree(d, {{"t/a.h", ""}, {"t/gone/b.h", ""}, {"t/z.h", ""}});
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  Walker w({"t"}, {default_source_exts(), {}, false});
  WalkItem item;
  ASSERT_TRUE(w.next(&item));
  EXPECT_EQ(item.path, "t/a.h");
  ASSERT_EQ(std::system(("rm -r '" + d.path() + "/t/gone'").c_str()), 0);
  ASSERT_TRUE(w.next(&item));
  EXPECT_EQ(item.error, "t/gone: No such file or directory");
  EXPECT_TRUE(item.warning);
  ASSERT_TRUE(w.next(&item));
  EXPECT_EQ(item.path, "t/z.h");
  EXPECT_TRUE(item.error.empty());
  EXPECT_FALSE(w.next(&item));
}

TEST(Walk, ADirectoryReplacedByALinkIsNotFollowed) {
  TempDir d;
  write_tree(d, {{"t/a.h", ""}, {"t/sub/b.h", ""}, {"elsewhere/c.h", ""}});
  ASSERT_EQ(::chdir(d.path().c_str()), 0);
  Walker w({"t"}, {default_source_exts(), {}, false});
  WalkItem item;
  ASSERT_TRUE(w.next(&item));
  ASSERT_EQ(std::system(("cd '" + d.path() + "/t' && rm -r sub && ln -s ../elsewhere sub").c_str()), 0);
  EXPECT_FALSE(w.next(&item));
}

TEST(Walk, EndingsAreComparedWithoutAsciiCase) {
  TempDir d;
  write_tree(d, {{"t/MAIN.C", ""}, {"t/FOO.H", ""}, {"t/x.Hpp", ""}, {"t/y.txt", ""}, {"t/.H", ""}});
  EXPECT_EQ(walk(d, {"t"}), (std::vector<std::string>{"t/FOO.H", "t/MAIN.C", "t/x.Hpp"}));
  EXPECT_EQ(walk(d, {"t"}, {".TXT"}), (std::vector<std::string>{"t/y.txt"}));
}

TEST(Walk, ExcludedPathsAndAllBelowThemAreLeftOut) {
  TempDir d;
  write_tree(d, {{"t/a.h", ""}, {"t/a_test.c", ""}, {"t/gen/g.h", ""}, {"t/sub/gen/h.h", ""},
                 {"t/sub/k.h", ""}, {"t/.#lock.h", ""}});
  struct Case {
    std::vector<std::string> excludes;
    std::vector<std::string> want;
  } cases[] = {
      {{}, {"t/.#lock.h", "t/a.h", "t/a_test.c", "t/gen/g.h", "t/sub/gen/h.h", "t/sub/k.h"}},
      // A pattern without '/' meets base names at every depth.
      {{"*_test.c", ".#*"}, {"t/a.h", "t/gen/g.h", "t/sub/gen/h.h", "t/sub/k.h"}},
      {{"gen"}, {"t/.#lock.h", "t/a.h", "t/a_test.c", "t/sub/k.h"}},
      // With '/', the path below the root or the whole path; '*' stops at '/'.
      {{"sub/gen"}, {"t/.#lock.h", "t/a.h", "t/a_test.c", "t/gen/g.h", "t/sub/k.h"}},
      {{"t/*.h"}, {"t/a_test.c", "t/gen/g.h", "t/sub/gen/h.h", "t/sub/k.h"}},
      {{"[a-g]*"}, {"t/.#lock.h", "t/sub/k.h"}},
      // The root itself, when its name matches.
      {{"t"}, {}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(walk(d, {"t"}, WalkOptions{default_source_exts(), c.excludes, false}), c.want)
        << c.excludes.size();
  }
}

TEST(Walk, FollowEntersLinksToDirectoriesEachRealDirectoryOnce) {
  TempDir d;
  write_tree(d, {{"proj/src/a.c", ""}, {"common/include/c.h", ""}, {"common/include/deep/d.h", ""}});
  link_in(d, "../common/include", "proj/include");
  link_in(d, "../common/include", "proj/include2");  // the same directory again
  link_in(d, "..", "proj/src/up");                   // a loop
  EXPECT_EQ(walk(d, {"proj"}), (std::vector<std::string>{"proj/src/a.c"}));
  EXPECT_EQ(walk(d, {"proj"}, WalkOptions{default_source_exts(), {}, true}),
            (std::vector<std::string>{"proj/include/c.h", "proj/include/deep/d.h", "proj/src/a.c"}));
}

}  // namespace
}  // namespace kolvu
