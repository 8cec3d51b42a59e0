// Messages on their way in: a thread reads and parses them into a queue,
// which the server empties in order. A cancellation is applied to the
// queue at once, so a request still waiting there is marked and answered
// as cancelled; the body of a message that is not JSON is searched for its
// id, so that the error can name it.
#ifndef KOLVU_LSP_INCOMING_H_
#define KOLVU_LSP_INCOMING_H_

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "lsp/framing.h"

namespace kolvu {

/// One message as the reader thread hands it over.
struct Incoming {
  enum Type { kMessage, kBad, kEnd } type = kMessage;
  nlohmann::json msg;
  std::string error;
  nlohmann::json bad_id;  // the id of a message that did not parse, where one was found
  bool cancelled = false;
};

/// The id of a body that does not parse as JSON: the number or plain string
/// after its first "id" key, or null.
nlohmann::json salvage_id(const std::string &body);

/// Arrays and objects nested deeper than this make a message bad; the
/// depth is checked on the bytes, before anything recurses over them.
const size_t kMaxJsonDepth = 256;

/// True when the JSON text body opens more than limit arrays or objects
/// one inside the other (strings passed over); body need not be valid.
bool nested_deeper_than(std::string_view body, size_t limit);

/// True for a request id of the protocol: an integer or a string.
bool is_id(const nlohmann::json &id);

class IncomingQueue {
 public:
  void push(Incoming in);

  /// Marks the queued request with this id; false when none waits.
  bool cancel(const nlohmann::json &id);

  /// The next message; false when none came within wait_ms (-1: waits on).
  bool pop(Incoming *out, int wait_ms);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Incoming> items_;
};

/// What the reader thread shares with the server; kept alive by both, so
/// the thread may still be blocked in a read when the server returns.
struct ReaderState {
  ReaderState(int fd, size_t max_body) : reader(fd, max_body) {}
  MessageReader reader;
  IncomingQueue queue;
};

/// The reader thread: every message of the input into the queue, then one
/// kEnd.
void read_messages(std::shared_ptr<ReaderState> state);

}  // namespace kolvu

#endif  // KOLVU_LSP_INCOMING_H_
