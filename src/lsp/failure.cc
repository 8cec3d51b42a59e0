#include "lsp/failure.h"

#include <exception>

namespace kolvu {

using nlohmann::json;

Failure current_failure() {
  try {
    throw;
  } catch (const BadParams &e) {
    return {kInvalidParams, e.message};
  } catch (const json::exception &e) {
    return {kInvalidParams, std::string("invalid params: ") + e.what()};
  } catch (const std::exception &e) {
    return {kInternalError, std::string("internal error: ") + e.what()};
  } catch (...) {
    return {kInternalError, "internal error"};
  }
}

long position_number(const json &parent, const char *field, const std::string &where) {
  const std::string name = where + "." + field;
  if (!parent.is_object()) throw BadParams{where + " must be an object"};
  auto it = parent.find(field);
  if (it == parent.end()) throw BadParams{name + " is missing"};
  if (!it->is_number_integer()) throw BadParams{name + " must be an integer"};
  bool in_range = it->is_number_unsigned()
                      ? it->get<uint64_t>() <= static_cast<uint64_t>(kMaxPositionNumber)
                      : it->get<int64_t>() >= 0 && it->get<int64_t>() <= kMaxPositionNumber;
  if (!in_range) throw BadParams{name + " is out of range: " + it->dump()};
  return static_cast<long>(it->get<int64_t>());
}

}  // namespace kolvu
