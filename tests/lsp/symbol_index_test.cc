#include "lsp/symbol_index.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace kolvu {
namespace {

void put(SymbolIndex *index, const std::string &path, const std::string &src, bool open = false) {
  SourceScan scan = scan_source_names(src.data(), src.size(), 0x3F, Encoding::kShiftJis);
  index->replace_file(path, Encoding::kShiftJis, src, scan.names, open);
}

std::vector<std::string> where(const std::vector<NameHit> &hits) {
  std::vector<std::string> out;
  for (const NameHit &h : hits) out.push_back(h.path + ":" + std::to_string(h.at.line));
  return out;
}

std::vector<std::string> names(const std::vector<NameHit> &hits) {
  std::vector<std::string> out;
  for (const NameHit &h : hits) out.push_back(h.name);
  return out;
}

using V = std::vector<std::string>;

TEST(SymbolIndex, LookupPutsTheCurrentFileFirstThenByPath) {
  SymbolIndex index;
  put(&index, "/w/b.h", "#define N 1\n\n#define N 2\n");
  put(&index, "/w/a.h", "#define N 3\n");
  put(&index, "/w/c.h", "#define N 4\n");
  EXPECT_EQ(where(index.lookup("N", "/w/c.h")), (V{"/w/c.h:1", "/w/a.h:1", "/w/b.h:1", "/w/b.h:3"}));
  EXPECT_EQ(where(index.lookup("N", "/elsewhere")), (V{"/w/a.h:1", "/w/b.h:1", "/w/b.h:3", "/w/c.h:1"}));
  EXPECT_TRUE(index.lookup("M", "").empty());
  EXPECT_EQ(index.definition_count(), 4u);
  EXPECT_EQ(index.file_count(), 3u);
}

TEST(SymbolIndex, EveryAnswerListsANamesDefinitionsInPathOrder) {
  // Files come in the order their scans end; the answers must not show it.
  SymbolIndex index;
  put(&index, "/w/z.h", "#define MAX 2\n");
  put(&index, "/w/b.h", "\n#define MAX 3\n#define MAX 4\n");
  put(&index, "/w/a.h", "#define MAX 1\n");
  const V want{"/w/a.h:1", "/w/b.h:2", "/w/b.h:3", "/w/z.h:1"};
  bool more = true;
  auto groups = index.with_prefix("MA", 10, &more);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_FALSE(more);
  EXPECT_EQ(where(groups[0]), want);
  EXPECT_EQ(where(index.search("MAX", 10)), want);
  EXPECT_EQ(where(index.search("MAX", 2)), (V{"/w/a.h:1", "/w/b.h:2"}));
}

TEST(SymbolIndex, ReplacingAndRemovingAFile) {
  SymbolIndex index;
  put(&index, "/w/a.h", "#define A 1\n#define SHARED 1\n");
  put(&index, "/w/b.h", "#define SHARED 2\n");
  put(&index, "/w/a.h", "#define A2 1\n");
  EXPECT_TRUE(index.lookup("A", "").empty());
  EXPECT_EQ(where(index.lookup("SHARED", "")), (V{"/w/b.h:1"}));
  EXPECT_EQ(names(index.in_file("/w/a.h")), (V{"A2"}));
  index.remove_file("/w/b.h", false);
  EXPECT_TRUE(index.lookup("SHARED", "").empty());
  EXPECT_EQ(index.definition_count(), 1u);
  EXPECT_TRUE(index.search("SHA", 10).empty());
}

TEST(SymbolIndex, AnOpenDocumentStandsInUntilClosed) {
  SymbolIndex index;
  put(&index, "/w/a.h", "#define EDITED 1\n", true);
  put(&index, "/w/a.h", "#define ON_DISK 1\n", false);  // a late scan of the file
  EXPECT_EQ(names(index.in_file("/w/a.h")), (V{"EDITED"}));
  EXPECT_TRUE(index.lookup("EDITED", "")[0].open);
  index.remove_file("/w/a.h", false);  // a watched-file event: not while open
  EXPECT_EQ(names(index.in_file("/w/a.h")), (V{"EDITED"}));
  index.remove_file("/w/a.h", true);   // closed
  put(&index, "/w/a.h", "#define ON_DISK 1\n", false);
  EXPECT_EQ(names(index.in_file("/w/a.h")), (V{"ON_DISK"}));
}

TEST(SymbolIndex, SearchTakesExactThenPrefixThenSubsequence) {
  SymbolIndex index;
  put(&index, "/w/a.h",
      "#define point_x 1\n#define Point 2\n#define PointY 3\n#define APoint 4\n#define Pnt 5\n"
      "#define Other 6\n");
  struct Case {
    const char *query;
    size_t limit;
    V want;
  };
  const Case cases[] = {
      {"Point", 100, {"Point", "PointY", "APoint", "point_x"}},
      {"Po", 100, {"Point", "PointY", "APoint", "point_x"}},
      {"pnt", 100, {"APoint", "Pnt", "Point", "PointY", "point_x"}},
      {"Pnt", 100, {"Pnt", "APoint", "Point", "PointY", "point_x"}},
      {"ptx", 100, {"point_x"}},
      {"zz", 100, {}},
      {"", 3, {"APoint", "Other", "Pnt"}},
      {"Point", 2, {"Point", "PointY"}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(names(index.search(c.query, c.limit)), c.want) << c.query;
  }
}

TEST(SymbolIndex, SearchWhileNamesComeAndGoAnswersAsAFreshIndex) {
  // Names added after a search are found beside the list made for it, in
  // the same order as when the list is made whole; a name gone is gone.
  SymbolIndex growing;
  put(&growing, "/w/a.h", "#define Point 1\n#define apoint 2\n#define xPy 3\n");
  EXPECT_EQ(names(growing.search("py", 100)), (V{"xPy"}));
  put(&growing, "/w/b.h", "#define Aptly 1\n#define bPy 2\n#define POINTY 3\n#define zpy 4\n");
  put(&growing, "/w/c.h", "#define cpy 1\n#define Py 2\n");
  SymbolIndex fresh;
  put(&fresh, "/w/all.h",
      "#define Point 1\n#define apoint 2\n#define xPy 3\n#define Aptly 1\n#define bPy 2\n"
      "#define POINTY 3\n#define zpy 4\n#define cpy 1\n#define Py 2\n");
  for (const char *query : {"py", "Py", "pt", "P", "oy", ""}) {
    for (size_t limit : {100, 3, 1}) {
      EXPECT_EQ(names(growing.search(query, limit)), names(fresh.search(query, limit)))
          << query << " " << limit;
    }
  }
  EXPECT_EQ(names(growing.search("py", 100)), (V{"Aptly", "POINTY", "Py", "bPy", "cpy", "xPy", "zpy"}));
  growing.remove_file("/w/b.h", false);
  EXPECT_EQ(names(growing.search("py", 100)), (V{"Py", "cpy", "xPy"}));
  put(&growing, "/w/d.h", "#define dpy 1\n");
  EXPECT_EQ(names(growing.search("py", 100)), (V{"Py", "cpy", "dpy", "xPy"}));
}

TEST(SymbolIndex, ReadersAndAWriterAtOnce) {
  SymbolIndex index;
  std::thread writer([&index] {
    for (int i = 0; i < 200; ++i) {
      put(&index, "/w/f" + std::to_string(i % 7) + ".h",
          "#define N" + std::to_string(i) + " 1\n#define COMMON 1\n");
    }
  });
  size_t seen = 0;
  for (int i = 0; i < 200; ++i)
    seen += index.lookup("COMMON", "").size() + index.search("N1", 5).size() +
            index.uses().find("COMMON").size() + index.uses().in_file("/w/f1.h", "COMMON").places.size();
  writer.join();
  EXPECT_EQ(index.lookup("COMMON", "").size(), 7u);
  EXPECT_EQ(index.uses().find("COMMON").size(), 7u);  // the uses follow the names
  EXPECT_EQ(index.definition_count(), 14u);
  (void)seen;
}

}  // namespace
}  // namespace kolvu
