// The letters of --kinds: what each selects in the scanner, which names
// each lets through, and the values that are no kinds.
#include "common/kinds.h"

#include <gtest/gtest.h>

#include <string>

namespace kolvu {
namespace {

struct Kind {
  char letter;
  DefKind kind;
  int bits;
};

const Kind kEvery[] = {
    {'d', DefKind::kDefine, DEF_SINGLE | DEF_CONT}, {'t', DefKind::kTypedef, TD_SIMPLE | TD_BLOCK},
    {'s', DefKind::kStruct, SU_STRUCT},             {'u', DefKind::kUnion, SU_UNION},
    {'f', DefKind::kFunction, FN_BODY},             {'p', DefKind::kPrototype, FN_PROTO},
    {'g', DefKind::kEnum, EN_TYPE},                 {'e', DefKind::kEnumerator, EN_CONST},
    {'m', DefKind::kMember, SU_MEMBER},             {'v', DefKind::kVariable, VAR_DEF},
    {'x', DefKind::kExtern, VAR_EXTERN},
};

// Each letter alone: its scanner bits, its own kind's names and no other.
TEST(KindLetters, EachLetterSelectsItsKindAlone) {
  for (const Kind &k : kEvery) {
    int bits = 0;
    ASSERT_TRUE(parse_kind_letters(std::string(1, k.letter), &bits)) << k.letter;
    EXPECT_EQ(bits, k.bits) << k.letter;
    EXPECT_EQ(kind_letter(k.kind), k.letter);
    for (const Kind &other : kEvery)
      EXPECT_EQ(kind_asked(other.kind, bits), other.letter == k.letter) << k.letter << other.letter;
  }
}

TEST(KindLetters, LettersInAnyOrderAndAll) {
  struct Case {
    const char *value;
    int bits;
  } cases[] = {
      {"dtsu", kDefaultKinds},
      {"ustd", kDefaultKinds},
      {"ddd", DEF_SINGLE | DEF_CONT},
      {"fp", FN_BODY | FN_PROTO},
      {"gem", EN_TYPE | EN_CONST | SU_MEMBER},
      {"defgmpstuvx", ALL_KINDS},
      {"all", ALL_KINDS},
  };
  for (const Case &c : cases) {
    int bits = 0;
    EXPECT_TRUE(parse_kind_letters(c.value, &bits)) << c.value;
    EXPECT_EQ(bits, c.bits) << c.value;
  }
}

TEST(KindLetters, AnythingElseIsNoKindAndLeavesTheValueAlone) {
  for (const char *value : {"", "q", "dtq", "D", "ALL", "all,d", "alld", "d t", "a"}) {
    int bits = 12345;
    EXPECT_FALSE(parse_kind_letters(value, &bits)) << value;
    EXPECT_EQ(bits, 12345) << value;
  }
}

}  // namespace
}  // namespace kolvu
