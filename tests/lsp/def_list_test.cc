// A name's list of definitions: in place for one, in an array for more,
// and back in place when files go.
#include "lsp/def_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace kolvu {
namespace {

std::vector<uint32_t> files_of(const DefList &list) {
  std::vector<uint32_t> out;
  for (const IndexedName &n : list) out.push_back(n.file);
  return out;
}

IndexedName in_file(uint32_t file, uint32_t line) {
  IndexedName n{};
  n.file = file;
  n.line = line;
  return n;
}

TEST(DefList, GrowsAndShrinksKeepingOrder) {
  DefList list;
  EXPECT_TRUE(list.empty());
  list.push_back(in_file(1, 10));
  EXPECT_EQ(files_of(list), (std::vector<uint32_t>{1}));
  list.push_back(in_file(2, 20));
  list.push_back(in_file(1, 30));
  list.push_back(in_file(3, 40));
  EXPECT_EQ(files_of(list), (std::vector<uint32_t>{1, 2, 1, 3}));
  EXPECT_EQ(list.begin()[2].line, 30u);

  EXPECT_EQ(list.remove_file(1), 2u);
  EXPECT_EQ(files_of(list), (std::vector<uint32_t>{2, 3}));
  EXPECT_EQ(list.remove_file(7), 0u);
  EXPECT_EQ(list.remove_file(2), 1u);  // one left: held in place again
  EXPECT_EQ(files_of(list), (std::vector<uint32_t>{3}));
  EXPECT_EQ(list.begin()->line, 40u);
  list.push_back(in_file(4, 50));  // and grows from there
  EXPECT_EQ(files_of(list), (std::vector<uint32_t>{3, 4}));
  EXPECT_EQ(list.remove_file(3) + list.remove_file(4), 2u);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.begin(), list.end());
}

}  // namespace
}  // namespace kolvu
