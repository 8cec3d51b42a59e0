#include "lsp/incoming.h"

#include <gtest/gtest.h>

namespace kolvu {
namespace {

using nlohmann::json;

TEST(Incoming, IdsOfBodiesThatDoNotParse) {
  struct Case {
    const char *body;
    json id;
  };
  const Case cases[] = {
      {R"({"jsonrpc":"2.0","id":77,"method":)", 77},
      {R"({"id" : "abc", "method": [)", "abc"},
      {R"({"id":-3,)", -3},
      {"{\"id\"\n:\t12", 12},
      {R"({"method":"x", "id": null)", nullptr},
      {R"({"id":"a\"b"})", nullptr},  // escapes are not worth guessing at
      {R"({"id":1234567890123456789})", nullptr},
      {R"({"idx":5})", nullptr},
      {"garbage", nullptr},
      {R"({"id":-})", nullptr},
      {R"({"id":-x)", nullptr},
      {R"({"id":-)", nullptr},
      {R"({"id":999999999999999})", 999999999999999LL},
      {R"({"id":-999999999999999)", -999999999999999LL},
      {"", nullptr},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(salvage_id(c.body), c.id) << c.body;
  }
  EXPECT_TRUE(is_id(json(3)));
  EXPECT_TRUE(is_id(json("x")));
  EXPECT_FALSE(is_id(json(1.5)));
  EXPECT_FALSE(is_id(json(nullptr)));
  EXPECT_FALSE(is_id(json::array()));
}

TEST(Incoming, NestingDepthOnTheBytes) {
  EXPECT_FALSE(nested_deeper_than("[[[]]]", 3));
  EXPECT_TRUE(nested_deeper_than("[[[[]]]]", 3));
  EXPECT_TRUE(nested_deeper_than("{\"a\":[{\"b\":[", 3));    // need not be valid
  EXPECT_FALSE(nested_deeper_than("[[[]],[[]],[[]]]", 3));  // depth, not count
  EXPECT_FALSE(nested_deeper_than("[\"[[[[\"]", 3));         // brackets in strings
  EXPECT_FALSE(nested_deeper_than("[\"\\\"[[[[\"]", 3));     // an escaped quote stays inside
  EXPECT_FALSE(nested_deeper_than("]]]]][[[", 3));          // closings first count for nothing
  EXPECT_TRUE(nested_deeper_than(std::string(200000, '['), kMaxJsonDepth));
}

Incoming message(const char *text) {
  Incoming in;
  in.msg = json::parse(text);
  return in;
}

TEST(Incoming, CancelMarksOnlyTheQueuedRequest) {
  IncomingQueue q;
  q.push(message(R"({"id":1,"method":"a"})"));
  q.push(message(R"({"id":"2","method":"b"})"));
  q.push(message(R"({"method":"c","params":{"id":2}})"));  // a notification
  q.push(message(R"({"id":2,"result":null})"));            // a reply
  q.push(message(R"({"id":2,"method":"d"})"));
  EXPECT_FALSE(q.cancel(json(3)));
  EXPECT_TRUE(q.cancel(json(2)));   // the number 2, not the string "2"
  EXPECT_TRUE(q.cancel(json("2")));
  const bool want[] = {false, true, false, false, true};
  for (bool cancelled : want) {
    Incoming in;
    ASSERT_TRUE(q.pop(&in, 0));
    EXPECT_EQ(in.cancelled, cancelled) << in.msg.dump();
  }
  Incoming none;
  EXPECT_FALSE(q.pop(&none, 1));
  EXPECT_FALSE(q.cancel(json(1)));  // already taken: too late to cancel
}

}  // namespace
}  // namespace kolvu
