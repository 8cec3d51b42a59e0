#include "lsp/incoming.h"

#include <chrono>
#include <utility>

namespace kolvu {

using nlohmann::json;

json salvage_id(const std::string &body) {
  size_t at = body.find("\"id\"");
  if (at == std::string::npos) return nullptr;
  size_t i = at + 4;
  while (i < body.size() && (body[i] == ' ' || body[i] == '\t' || body[i] == '\r' || body[i] == '\n')) ++i;
  if (i >= body.size() || body[i] != ':') return nullptr;
  ++i;
  while (i < body.size() && (body[i] == ' ' || body[i] == '\t' || body[i] == '\r' || body[i] == '\n')) ++i;
  if (i < body.size() && body[i] == '"') {
    size_t close = body.find('"', i + 1);
    if (close == std::string::npos) return nullptr;
    std::string s = body.substr(i + 1, close - i - 1);
    if (s.find('\\') != std::string::npos) return nullptr;
    return s;
  }
  bool negative = i < body.size() && body[i] == '-';
  if (negative) ++i;
  // At most 15 digits: the value always fits, whatever follows them.
  long long value = 0;
  size_t digits = 0;
  for (; i < body.size() && body[i] >= '0' && body[i] <= '9'; ++i, ++digits) {
    if (digits == 15) return nullptr;
    value = value * 10 + (body[i] - '0');
  }
  if (digits == 0) return nullptr;
  return negative ? -value : value;
}

bool nested_deeper_than(std::string_view body, size_t limit) {
  size_t depth = 0;
  bool in_string = false;
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (in_string) {
      if (c == '\\') ++i;
      else if (c == '"') in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

bool is_id(const json &id) { return id.is_number_integer() || id.is_string(); }

void IncomingQueue::push(Incoming in) {
  std::lock_guard<std::mutex> lock(mutex_);
  items_.push_back(std::move(in));
  cv_.notify_one();
}

bool IncomingQueue::cancel(const json &id) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Incoming &in : items_) {
    if (in.type == Incoming::kMessage && in.msg.is_object() && in.msg.contains("method") &&
        in.msg.contains("id") && in.msg["id"] == id) {
      in.cancelled = true;
      return true;
    }
  }
  return false;
}

bool IncomingQueue::pop(Incoming *out, int wait_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wait_ms < 0) {
    cv_.wait(lock, [this] { return !items_.empty(); });
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(wait_ms),
                           [this] { return !items_.empty(); })) {
    return false;
  }
  *out = std::move(items_.front());
  items_.pop_front();
  return true;
}

void read_messages(std::shared_ptr<ReaderState> state) {
  for (;;) {
    std::string body;
    Incoming in;
    MessageReader::Result r = state->reader.next(&body);
    if (r == MessageReader::Result::kEnd) {
      in.type = Incoming::kEnd;
      state->queue.push(std::move(in));
      return;
    }
    if (r == MessageReader::Result::kBad) {
      in.type = Incoming::kBad;
      in.error = body;
      in.bad_id = nullptr;
      state->queue.push(std::move(in));
      continue;
    }
    if (nested_deeper_than(body, kMaxJsonDepth)) {
      in.type = Incoming::kBad;
      in.error = "message nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
      in.bad_id = salvage_id(body);
      state->queue.push(std::move(in));
      continue;
    }
    try {
      in.msg = json::parse(body);
    } catch (const json::exception &e) {
      in.type = Incoming::kBad;
      in.error = std::string("message is not JSON: ") + e.what();
      in.bad_id = salvage_id(body);
      state->queue.push(std::move(in));
      continue;
    }
    if (in.msg.is_object() && in.msg.value("method", json()) == "$/cancelRequest" &&
        !in.msg.contains("id")) {
      const json &params = in.msg.value("params", json::object());
      if (params.is_object() && params.contains("id")) state->queue.cancel(params["id"]);
      continue;
    }
    state->queue.push(std::move(in));
  }
}

}  // namespace kolvu
