// The index must answer exactly as a walk over every entry does.
#include "driver/list_lookup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "driver/namelist.h"
#include "support/name_list.h"

namespace kolvu {
namespace {

using kolvu_test::clear_list;

void add(std::string e) { set_list(&e[0]); }

// Entries and names from a small alphabet, so that prefixes, exact names,
// stars in every place and bytes no name holds all meet often.
std::string random_text(std::mt19937 &rng, const char *alphabet, int max_len) {
  std::string s;
  int len = static_cast<int>(rng() % static_cast<unsigned>(max_len + 1));
  size_t a = std::strlen(alphabet);
  for (int i = 0; i < len; ++i) s += alphabet[rng() % a];
  return s;
}

TEST(NameIndex, AnswersAsTheWalkOverEveryEntry) {
  std::mt19937 rng(1207);
  long checked = 0, wanted = 0;
  for (int round = 0; round < 300; ++round) {
    clear_list();
    int entries = static_cast<int>(rng() % 40);
    if (round % 10 == 0) entries = 1000;  // a full table
    for (int i = 0; i < entries; ++i) {
      std::string e = random_text(rng, "ab_1*-?", rng() % 8 == 0 ? 40 : 5);
      if (rng() % 6 == 0) e = std::string(30 + rng() % 5, 'a') + (rng() % 2 ? "*" : "");
      list[list_cnt++] = strdup(e.c_str());  // as the loaders store them
      ++list_generation;
    }
    for (int q = 0; q < 200; ++q) {
      std::string name = random_text(rng, "ab_1", rng() % 8 == 0 ? 32 : 5);
      if (rng() % 10 == 0) name = std::string(28 + rng() % 5, 'a');
      int n = static_cast<int>(name.size());
      int walk = walk_lookup(name.c_str(), n);
      update_name_index();
      ASSERT_EQ(index_lookup(name.c_str(), n), walk) << "name \"" << name << "\" round " << round;
      std::string text = name + "(";  // chk_type takes the name from the text
      ASSERT_EQ(chk_type(text.c_str()), list_cnt == 0 ? 1 : walk);
      ++checked;
      wanted += walk;
    }
  }
  clear_list();
  EXPECT_GT(wanted, checked / 20) << "too few names were wanted to compare the two ways";
  EXPECT_LT(wanted, checked - checked / 20) << "too few names were unwanted";
}

TEST(NameIndex, FollowsTheListAsItChanges) {
  clear_list();
  add("alpha");
  EXPECT_EQ(chk_type("alpha"), 1);
  EXPECT_EQ(chk_type("beta"), 0);
  add("beta,gam*");
  EXPECT_EQ(chk_type("beta"), 1);
  EXPECT_EQ(chk_type("gamma"), 1);
  EXPECT_EQ(chk_type("gam"), 0);
  clear_list();
  add("beta");  // the same count as before, other entries
  EXPECT_EQ(chk_type("alpha"), 0);
  EXPECT_EQ(chk_type("beta"), 1);
  clear_list();
}

}  // namespace
}  // namespace kolvu
