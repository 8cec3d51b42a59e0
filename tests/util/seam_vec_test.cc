// The growable array of the allocation seam, as an output buffer: values
// appended or written in the room it makes come out in order, whatever the
// sizes; its memory is given back only above what is kept.
#include "util/seam_vec.h"

#include <gtest/gtest.h>

#include <string>

namespace kolvu {
namespace {

std::string text_of(const SeamVec<char> &v) { return std::string(v.begin(), v.size()); }

TEST(SeamVec, WritesInItsRoomAndAppendsComeOutInOrder) {
  const size_t sizes[] = {0, 1, 15, 16, 17, 100, 4096, 70000, 3, 1 << 20};
  SeamVec<char> v;
  std::string expected;
  char fill = 'a';
  for (size_t n : sizes) {
    // Half the pieces written in the room, half appended.
    const std::string piece(n, fill);
    if (fill % 2 == 0) {
      char *room = v.room(n + 8);  // more room than is used
      ASSERT_NE(room, nullptr);
      EXPECT_EQ(v.size(), expected.size()) << "making room adds nothing";
      piece.copy(room, n);
      v.commit(room + n);
    } else {
      ASSERT_TRUE(v.append(piece.data(), piece.size()));
    }
    expected += piece;
    ASSERT_EQ(v.size(), expected.size()) << n;
    fill = static_cast<char>(fill + 1);
  }
  EXPECT_EQ(text_of(v), expected);
  // Emptied keeping its memory while it is within what is kept...
  const void *kept = v.begin();
  v.clear_keeping(4 << 20);
  EXPECT_TRUE(static_cast<const void *>(v.begin()) == kept);
  EXPECT_EQ(v.size(), 0u);
  // ...and giving it back above, still usable after.
  v.clear_keeping(1024);
  EXPECT_TRUE(v.begin() == nullptr);
  ASSERT_TRUE(v.append("xy", 2));
  EXPECT_EQ(text_of(v), "xy");
}

TEST(SeamVec, WithoutMemoryNothingChanges) {
  SeamVec<char> v;
  ASSERT_TRUE(v.append("abc", 3));
  AllocHooks saved = set_alloc_hooks({[](size_t) -> void * { return nullptr; },
                                      [](void *, size_t) -> void * { return nullptr; },
                                      default_alloc_hooks().strdup_fn});
  EXPECT_EQ(v.room(100), nullptr);
  EXPECT_FALSE(v.append("defghijklmnopqrstuvwxyz", 23));
  set_alloc_hooks(saved);
  EXPECT_EQ(text_of(v), "abc");
}

}  // namespace
}  // namespace kolvu
