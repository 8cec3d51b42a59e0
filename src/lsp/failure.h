// What goes wrong while a message is handled, as the protocol's error codes:
// params the handler cannot take (BadParams, or JSON of the wrong shape) are
// the client's fault; anything else thrown is the server's own, an internal
// error that ends that message's handling and nothing more.
#ifndef KOLVU_LSP_FAILURE_H_
#define KOLVU_LSP_FAILURE_H_

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace kolvu {

enum ErrorCode {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,
  kRequestCancelled = -32800,
};

/// Thrown by a handler whose params are wrong; the message names the field.
struct BadParams {
  std::string message;
};

struct Failure {
  int code;
  std::string message;
};

/// The failure the exception being handled stands for; call only inside a
/// catch block.
Failure current_failure();

/// The largest line or character number of a position.
const int64_t kMaxPositionNumber = 2147483647;

/// parent[field] as a line or character number, 0 to kMaxPositionNumber;
/// otherwise throws BadParams naming where.field.
long position_number(const nlohmann::json &parent, const char *field, const std::string &where);

}  // namespace kolvu

#endif  // KOLVU_LSP_FAILURE_H_
