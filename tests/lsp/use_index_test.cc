#include "lsp/use_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kolvu {
namespace {

// "path:line:column" for every use of name, by file.
std::vector<std::string> places(const UseIndex &index, const std::string &name) {
  std::vector<std::string> out;
  for (const FileUses &f : index.find(name)) {
    for (const UsePlace &p : f.places)
      out.push_back(f.path + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) +
                    (p.ascii_prefix ? "" : "!"));
  }
  return out;
}

using V = std::vector<std::string>;

TEST(UseIndex, EveryUseByFileInSourceOrder) {
  UseIndex index;
  index.replace_file("/w/b.c", Encoding::kShiftJis, "x = N;\n\n\n  N + N;\n", false);
  index.replace_file("/w/a.h", Encoding::kShiftJis, "#define N 1\n/* N */ \"N\"\n", false);
  EXPECT_EQ(places(index, "N"), (V{"/w/a.h:1:9", "/w/b.c:1:5", "/w/b.c:4:3", "/w/b.c:4:7"}));
  EXPECT_EQ(places(index, "x"), (V{"/w/b.c:1:1"}));
  EXPECT_TRUE(places(index, "define").empty());
  EXPECT_TRUE(places(index, "M").empty());
  // Lines far apart and columns far along take more than a byte each.
  std::string far(70000, '\n');
  index.replace_file("/w/c.c", Encoding::kShiftJis, "N" + far + std::string(300, ' ') + "N\n", false);
  EXPECT_EQ(index.in_file("/w/c.c", "N").places.size(), 2u);
  EXPECT_EQ(index.in_file("/w/c.c", "N").places[1].line, 70001u);
  EXPECT_EQ(index.in_file("/w/c.c", "N").places[1].column, 301u);
}

TEST(UseIndex, ReplacedRemovedAndDroppedBelowAFolder) {
  UseIndex index;
  index.replace_file("/w/a.c", Encoding::kShiftJis, "OLD;\n", false);
  index.replace_file("/w/a.c", Encoding::kShiftJis, "\xe3 NEW;\n", false);  // a lone lead byte
  EXPECT_TRUE(places(index, "OLD").empty());
  EXPECT_EQ(places(index, "NEW"), (V{"/w/a.c:1:3!"}));
  index.replace_file("/w/sub/b.c", Encoding::kShiftJis, "NEW;\n", false);
  index.replace_file("/w/subway.c", Encoding::kShiftJis, "NEW;\n", false);
  index.remove_below("/w/sub");
  EXPECT_EQ(places(index, "NEW"), (V{"/w/a.c:1:3!", "/w/subway.c:1:1"}));
  index.remove_file("/w/a.c", false);
  EXPECT_EQ(places(index, "NEW"), (V{"/w/subway.c:1:1"}));
  EXPECT_TRUE(index.in_file("/w/a.c", "NEW").places.empty());
}

TEST(UseIndex, AnOpenDocumentStandsInUntilClosed) {
  UseIndex index;
  index.replace_file("/w/a.c", Encoding::kUtf8, "EDITED;\n", true);
  index.replace_file("/w/a.c", Encoding::kShiftJis, "ON_DISK;\n", false);  // a late scan
  EXPECT_EQ(places(index, "EDITED"), (V{"/w/a.c:1:1"}));
  EXPECT_TRUE(places(index, "ON_DISK").empty());
  index.remove_file("/w/a.c", false);  // the file went from the disk: the editor's text stays
  EXPECT_EQ(places(index, "EDITED"), (V{"/w/a.c:1:1"}));
  FileUses f = index.in_file("/w/a.c", "EDITED");
  EXPECT_TRUE(f.open);
  EXPECT_EQ(f.encoding, Encoding::kUtf8);
  index.remove_file("/w/a.c", true);  // closed
  index.replace_file("/w/a.c", Encoding::kShiftJis, "ON_DISK;\n", false);
  EXPECT_EQ(places(index, "ON_DISK"), (V{"/w/a.c:1:1"}));
  EXPECT_TRUE(places(index, "EDITED").empty());
}

}  // namespace
}  // namespace kolvu
