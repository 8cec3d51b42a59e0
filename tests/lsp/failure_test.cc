#include "lsp/failure.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace kolvu {
namespace {

using nlohmann::json;

template <typename F>
Failure failure_of(F f) {
  try {
    f();
  } catch (...) {
    return current_failure();
  }
  return {0, "nothing thrown"};
}

TEST(Failure, TheClientsFaultOrOurs) {
  EXPECT_EQ(failure_of([] { throw BadParams{"query is missing"}; }).code, kInvalidParams);
  EXPECT_EQ(failure_of([] { throw BadParams{"query is missing"}; }).message, "query is missing");
  EXPECT_EQ(failure_of([] { json(3).get<std::string>(); }).code, kInvalidParams);
  EXPECT_EQ(failure_of([] { json::object().at("x"); }).code, kInvalidParams);
  Failure oom = failure_of([] { throw std::bad_alloc(); });
  EXPECT_EQ(oom.code, kInternalError);
  EXPECT_NE(oom.message.find("internal error"), std::string::npos);
  EXPECT_EQ(failure_of([] { throw std::invalid_argument("stoll"); }).code, kInternalError);
  EXPECT_EQ(failure_of([] { throw 42; }).code, kInternalError);
}

TEST(Failure, PositionNumbersInRangeOrNamed) {
  EXPECT_EQ(position_number(json::parse(R"({"line":0})"), "line", "position"), 0);
  EXPECT_EQ(position_number(json::parse(R"({"line":2147483647})"), "line", "position"),
            2147483647L);
  struct Case {
    const char *parent;
    const char *message;
  };
  const Case cases[] = {
      {R"({"line":2147483648})", "position.line is out of range: 2147483648"},
      {R"({"line":9223372036854775808})", "position.line is out of range: 9223372036854775808"},
      {R"({"line":18446744073709551615})", "position.line is out of range: 18446744073709551615"},
      {R"({"line":-1})", "position.line is out of range: -1"},
      {R"({"line":1.5})", "position.line must be an integer"},
      {R"({"line":"3"})", "position.line must be an integer"},
      {R"({"character":3})", "position.line is missing"},
      {R"([1])", "position must be an object"},
  };
  for (const Case &c : cases) {
    try {
      position_number(json::parse(c.parent), "line", "position");
      ADD_FAILURE() << c.parent << " taken";
    } catch (const BadParams &e) {
      EXPECT_EQ(e.message, c.message) << c.parent;
    }
  }
}

}  // namespace
}  // namespace kolvu
