#include "lsp/server.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "common/utf8.h"
#include "common/walk.h"
#include "lsp/completion.h"
#include "lsp/disk_watcher.h"
#include "lsp/document_symbols.h"
#include "lsp/documents.h"
#include "lsp/failure.h"
#include "lsp/framing.h"
#include "lsp/incoming.h"
#include "lsp/indexer.h"
#include "lsp/queries.h"
#include "lsp/references.h"
#include "lsp/regular_file.h"
#include "lsp/symbol_index.h"
#include "lsp/uri.h"

namespace kolvu {

using nlohmann::json;

namespace {

// An answer or a document this long leaves free memory worth handing back
// to the system once it is sent or closed.
const size_t kBigAnswer = 1u << 20;

// Returns the free memory at the top of the heap and in freed pages to the
// system, so that a big document closed or a big answer sent leaves the
// server as small as before it.
void give_back_memory() { malloc_trim(0); }

// How long a file compared with the disk by a lookup is taken as it was.
const int kRecheckMs = 200;

// How long an open document's changes must rest before it is scanned again
// on its own; a request scans it at once.
const int kSettleMs = 50;

const char kProgressToken[] = "kolvu-index";

// The indexing's progress as the client is told it: nothing goes out for
// the token before the client has answered its creation, and a begin sent
// late catches up with where the indexing stands.
struct IndexProgress {
  std::mutex mutex;
  enum State { kOff, kAsked, kOn, kDone } state = kOff;
  std::string create_id;
  int percent = -1;
  std::string message;
  bool finished = false;
  std::string end_message;
};

class Server {
 public:
  Server(const LspSettings &settings, const std::string &version, int out_fd, int err_fd)
      : settings_(settings), version_(version), writer_(out_fd), err_fd_(err_fd) {}

  ~Server() {
    watcher_.reset();
    folder_indexers_.clear();
    indexer_.reset();
  }

  int run(std::shared_ptr<ReaderState> state);

 private:
  // Output.
  void send(const json &msg);
  void reply(const json &id, json result) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
  }
  void reply_error(const json &id, int code, const std::string &message) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
  }
  void notify(const std::string &method, json params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
  }
  std::string request(const std::string &method, json params) {
    std::string id = "kolvu-" + std::to_string(++request_id_);
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
    return id;
  }
  void progress_value(json value) {
    notify("$/progress", {{"token", kProgressToken}, {"value", std::move(value)}});
  }
  void log(const std::string &message, int type = 3);

  // Dispatch: each method's handler found in a table. A request's handler
  // returns its result, or leaves it already written as JSON text in *raw.
  using RequestHandler = json (Server::*)(const json &params, std::string *raw);
  using NotificationHandler = void (Server::*)(json &params);
  static const std::unordered_map<std::string_view, RequestHandler> &request_handlers();
  static const std::unordered_map<std::string_view, NotificationHandler> &notification_handlers();
  void handle(Incoming &in);
  void handle_notification(const std::string &method, json &params);

  // Requests.
  json on_initialize(const json &params, std::string *raw);
  json on_shutdown(const json &params, std::string *raw);
  json on_definition(const json &params, std::string *raw);
  json on_declaration(const json &params, std::string *raw);
  json on_hover(const json &params, std::string *raw);
  json on_references(const json &params, std::string *raw);
  json on_highlight(const json &params, std::string *raw);
  json on_completion(const json &params, std::string *raw);
  json on_document_symbol(const json &params, std::string *raw);
  json on_workspace_symbol(const json &params, std::string *raw);
  void on_initialized(json &) { initialized(); }
  void on_exit(json &) { exit_ = true; }

  // Lifecycle.
  json initialize(const json &params);
  void initialized();
  void progress_answered(const json &reply);
  void start_watching();
  void take_options(const json &options);

  // Documents and files.
  std::string path_of(const json &text_document) const;
  void did_open(json &params);
  void did_change(json &params);
  void did_close(json &params);
  void watched_files(json &params);
  void folders_changed(json &params);
  void scan_document(const std::string &path);
  void scan_dirty();
  bool in_workspace(const std::string &path) const;

  QueryContext context();
  // Files of hits changed or gone on disk since they were indexed are
  // scanned again or dropped; true when any was.
  bool refresh_files(const std::vector<NameHit> &hits);
  void position_params(const json &params, std::string *path, long *line, long *character);
  // The document and position of a request, the open documents' changes
  // scanned first so that it is answered from the text the editor shows.
  struct Where {
    std::string path;
    long line, character;
  };
  Where where(const json &params);

  LspSettings settings_;
  std::string version_;
  MessageWriter writer_;
  int err_fd_;
  long request_id_ = 0;

  bool initialized_ = false;   // initialize answered
  bool shut_down_ = false;
  bool exit_ = false;
  bool progress_wanted_ = false;  // the client takes work done progress
  IndexProgress progress_;
  bool watch_registration_ = false;
  bool hierarchical_symbols_ = false;  // the client takes DocumentSymbol trees
  PositionEncoding pe_ = PositionEncoding::kUtf16;
  std::vector<std::string> roots_;

  SymbolIndex index_;
  Documents docs_;
  Utf8Converter conv_;
  // When each file of a lookup's hits was last compared with the disk, by
  // the index's number of the file.
  std::vector<std::chrono::steady_clock::time_point> checked_;
  std::shared_ptr<ReaderState> state_;  // its queue takes the watcher's reports
  std::unique_ptr<DiskWatcher> watcher_;  // when the client watches nothing
  std::unique_ptr<Indexer> indexer_;  // last: stopped first
  std::vector<std::unique_ptr<Indexer>> folder_indexers_;  // of folders added later
};

void Server::send(const json &msg) {
  writer_.write(msg.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Server::log(const std::string &message, int type) {
  std::string line = "kolvu-lsp: " + message + "\n";
  ssize_t n = ::write(err_fd_, line.data(), line.size());
  (void)n;
  notify("window/logMessage", {{"type", type}, {"message", message}});
}

int Server::run(std::shared_ptr<ReaderState> state) {
  state_ = state;
  for (;;) {
    Incoming in;
    bool dirty = !docs_.dirty().empty();
    if (!state->queue.pop(&in, dirty ? kSettleMs : -1)) {
      scan_dirty();
      continue;
    }
    if (in.type == Incoming::kEnd) break;
    try {
      handle(in);
    } catch (...) {  // outside any handler: the message is dropped, the server goes on
      log("a message dropped: " + current_failure().message, 1);
    }
    if (exit_) break;
  }
  return shut_down_ ? 0 : 1;
}

void Server::handle(Incoming &in) {
  if (in.type == Incoming::kBad) {
    log("bad message: " + in.error, 1);
    reply_error(in.bad_id, kParseError, in.error);
    return;
  }
  const json &msg = in.msg;
  if (!msg.is_object()) {
    reply_error(nullptr, kInvalidRequest, "a message must be a JSON object");
    return;
  }
  auto method_it = msg.find("method");
  auto id_it = msg.find("id");
  bool has_id = id_it != msg.end();
  if (method_it == msg.end()) {
    if (has_id && (msg.contains("result") || msg.contains("error"))) {  // a reply to us
      progress_answered(msg);
      return;
    }
    reply_error(has_id && is_id(*id_it) ? *id_it : json(nullptr), kInvalidRequest,
                "a message needs a method");
    return;
  }
  if (!method_it->is_string() || (has_id && !is_id(*id_it))) {
    reply_error(has_id && is_id(*id_it) ? *id_it : json(nullptr), kInvalidRequest,
                "malformed method or id");
    return;
  }
  const std::string method = *method_it;
  // Taken out of the message, not copied: a document's text can be large.
  json params;
  auto params_it = in.msg.find("params");
  if (params_it != in.msg.end()) params = std::move(*params_it);
  if (!has_id) {
    handle_notification(method, params);
    return;
  }
  const json id = *id_it;
  if (in.cancelled) {
    reply_error(id, kRequestCancelled, "cancelled");
    return;
  }
  auto handler = request_handlers().find(method);
  const bool known = handler != request_handlers().end();
  if (!initialized_ && !(known && handler->second == &Server::on_initialize)) {
    reply_error(id, kServerNotInitialized, "the server is not initialized yet");
    return;
  }
  if (shut_down_) {
    reply_error(id, kInvalidRequest, "the server is shutting down");
    return;
  }
  if (!known) {
    reply_error(id, kMethodNotFound, "unknown method " + method);
    return;
  }
  try {
    std::string raw;  // a result already written as JSON text
    json result = (this->*handler->second)(params, &raw);
    if (!raw.empty()) {
      std::string head = "{\"jsonrpc\":\"2.0\",\"id\":" +
                         id.dump(-1, ' ', false, json::error_handler_t::replace) + ",\"result\":";
      writer_.write({head, raw, "}"});
      if (raw.size() >= kBigAnswer) {
        std::string().swap(raw);
        give_back_memory();
      }
    } else {
      reply(id, std::move(result));
    }
  } catch (...) {
    // One guard for every handler: what it throws answers this request
    // only, and a fault of the server's is logged as well.
    Failure f = current_failure();
    if (f.code == kInternalError) log(method + ": " + f.message, 1);
    reply_error(id, f.code, f.message);
  }
}

const std::unordered_map<std::string_view, Server::RequestHandler> &Server::request_handlers() {
  static const std::unordered_map<std::string_view, RequestHandler> table = {
      {"initialize", &Server::on_initialize},
      {"shutdown", &Server::on_shutdown},
      {"textDocument/definition", &Server::on_definition},
      {"textDocument/declaration", &Server::on_declaration},
      {"textDocument/hover", &Server::on_hover},
      {"textDocument/references", &Server::on_references},
      {"textDocument/documentHighlight", &Server::on_highlight},
      {"textDocument/completion", &Server::on_completion},
      {"textDocument/documentSymbol", &Server::on_document_symbol},
      {"workspace/symbol", &Server::on_workspace_symbol},
  };
  return table;
}

// didSave is not among them: the open document already stands in for the
// file; anything else is not ours to act on.
const std::unordered_map<std::string_view, Server::NotificationHandler> &
Server::notification_handlers() {
  static const std::unordered_map<std::string_view, NotificationHandler> table = {
      {"exit", &Server::on_exit},
      {"initialized", &Server::on_initialized},
      {"textDocument/didOpen", &Server::did_open},
      {"textDocument/didChange", &Server::did_change},
      {"textDocument/didClose", &Server::did_close},
      {"workspace/didChangeWatchedFiles", &Server::watched_files},
      {"workspace/didChangeWorkspaceFolders", &Server::folders_changed},
  };
  return table;
}

json Server::on_initialize(const json &params, std::string *) {
  if (initialized_) throw BadParams{"initialize was already received"};
  return initialize(params);
}

json Server::on_shutdown(const json &, std::string *) {
  shut_down_ = true;
  return nullptr;
}

json Server::on_definition(const json &params, std::string *) {
  const Where at = where(params);
  QueryContext ctx = context();
  return find_definitions(ctx, at.path, at.line, at.character);
}

json Server::on_declaration(const json &params, std::string *) {
  const Where at = where(params);
  QueryContext ctx = context();
  return find_definitions(ctx, at.path, at.line, at.character, true);
}

json Server::on_references(const json &params, std::string *raw) {
  const Where at = where(params);
  bool with_declaration = false;
  if (params.contains("context") && params["context"].is_object())
    with_declaration = params["context"].value("includeDeclaration", false) == true;
  QueryContext ctx = context();
  *raw = find_references(ctx, at.path, at.line, at.character, with_declaration);
  return nullptr;
}

json Server::on_highlight(const json &params, std::string *raw) {
  const Where at = where(params);
  QueryContext ctx = context();
  *raw = document_highlights(ctx, at.path, at.line, at.character);
  return nullptr;
}

json Server::on_completion(const json &params, std::string *) {
  const Where at = where(params);
  QueryContext ctx = context();
  return complete(ctx, at.path, at.line, at.character);
}

json Server::on_hover(const json &params, std::string *) {
  const Where at = where(params);
  QueryContext ctx = context();
  return hover(ctx, at.path, at.line, at.character);
}

json Server::on_document_symbol(const json &params, std::string *raw) {
  if (!params.is_object() || !params.contains("textDocument")) throw BadParams{"textDocument is missing"};
  std::string path = path_of(params.at("textDocument"));
  scan_dirty();
  QueryContext ctx = context();
  *raw = document_symbols(ctx, path, hierarchical_symbols_);
  return nullptr;
}

json Server::on_workspace_symbol(const json &params, std::string *raw) {
  if (!params.is_object() || !params.contains("query") || !params["query"].is_string())
    throw BadParams{"query is missing"};
  scan_dirty();
  QueryContext ctx = context();
  *raw = workspace_symbols(ctx, params["query"].get<std::string>());
  return nullptr;
}

void Server::handle_notification(const std::string &method, json &params) {
  auto handler = notification_handlers().find(method);
  if (handler == notification_handlers().end()) return;
  // exit is heard in every state; the others once initialized, until shutdown.
  if (handler->second != &Server::on_exit && (!initialized_ || shut_down_)) return;
  try {
    (this->*handler->second)(params);
  } catch (...) {
    log(method + ": " + current_failure().message, 1);
  }
}

void Server::take_options(const json &o) {
  if (o.is_null()) return;
  if (!o.is_object()) throw BadParams{"initializationOptions must be an object"};
  LspSettings s = settings_;
  std::string error;
  auto fail = [&error]() { throw BadParams{"initializationOptions: " + error}; };
  if (o.contains("kinds") && !set_kinds(o["kinds"].get<std::string>(), &s, &error)) fail();
  if (o.contains("encoding") && !set_encoding(o["encoding"].get<std::string>(), &s, &error)) fail();
  if (o.contains("extensions")) {
    std::vector<std::string> items;
    const json &e = o["extensions"];
    if (e.is_string()) {
      std::string v = e.get<std::string>();
      size_t start = 0;
      for (;;) {
        size_t comma = v.find(',', start);
        items.push_back(v.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else {
      items = e.get<std::vector<std::string>>();
    }
    if (!set_exts(items, &s, &error)) fail();
  }
  if (o.contains("exclude")) {
    const json &e = o["exclude"];
    if (e.is_string()) s.excludes.push_back(e.get<std::string>());
    else for (const std::string &p : e.get<std::vector<std::string>>()) s.excludes.push_back(p);
  }
  if (o.contains("workers") && !set_workers(o["workers"].get<long>(), &s, &error)) fail();
  if (o.contains("follow")) s.follow = o["follow"].get<bool>();
  if (o.contains("watch")) {
    // How the server watches the disk when the client does not: inotify,
    // or walks (for file systems whose changes it does not hear of).
    std::string w = o["watch"].get<std::string>();
    if (w != "inotify" && w != "walk") throw BadParams{"initializationOptions: watch is inotify or walk"};
    s.watch_by_walking = w == "walk";
  }
  settings_ = s;
}

json Server::initialize(const json &params) {
  if (!params.is_object()) throw BadParams{"initialize needs params"};
  take_options(params.value("initializationOptions", json()));
  std::vector<std::string> roots;
  auto add_root = [&roots](const std::string &uri) {
    std::string path;
    if (!uri_to_path(uri, &path)) throw BadParams{"not a file URI: " + uri};
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    roots.push_back(path);
  };
  const json &folders = params.value("workspaceFolders", json());
  if (folders.is_array()) {
    for (const json &f : folders) add_root(f.at("uri").get<std::string>());
  } else if (params.contains("rootUri") && params["rootUri"].is_string()) {
    add_root(params["rootUri"].get<std::string>());
  } else if (params.contains("rootPath") && params["rootPath"].is_string()) {
    std::string p = params["rootPath"];
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    roots.push_back(p);
  }
  const json caps = params.value("capabilities", json::object());
  pe_ = PositionEncoding::kUtf16;
  if (caps.is_object() && caps.contains("general") && caps["general"].is_object()) {
    const json offered = caps["general"].value("positionEncodings", json::array());
    if (offered.is_array()) {
      for (const json &e : offered) {
        if (e == "utf-8") pe_ = PositionEncoding::kUtf8;
        else if (e == "utf-32") pe_ = PositionEncoding::kUtf32;
        else if (e == "utf-16") pe_ = PositionEncoding::kUtf16;
        else continue;
        break;  // the client's first choice that is ours too
      }
    }
  }
  json window = caps.is_object() ? caps.value("window", json::object()) : json::object();
  progress_wanted_ = window.is_object() && window.value("workDoneProgress", false) == true;
  json ws = caps.is_object() ? caps.value("workspace", json::object()) : json::object();
  watch_registration_ = ws.is_object() && ws.contains("didChangeWatchedFiles") &&
                        ws["didChangeWatchedFiles"].is_object() &&
                        ws["didChangeWatchedFiles"].value("dynamicRegistration", false) == true;
  json td = caps.is_object() ? caps.value("textDocument", json::object()) : json::object();
  hierarchical_symbols_ = td.is_object() && td.contains("documentSymbol") &&
                          td["documentSymbol"].is_object() &&
                          td["documentSymbol"].value("hierarchicalDocumentSymbolSupport", false) == true;
  roots_ = roots;
  initialized_ = true;
  return {{"capabilities",
           {{"positionEncoding", position_encoding_name(pe_)},
            {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
            {"definitionProvider", true},
            {"declarationProvider", true},
            {"hoverProvider", true},
            {"referencesProvider", true},
            {"documentHighlightProvider", true},
            {"completionProvider", {{"resolveProvider", false}}},
            {"documentSymbolProvider", true},
            {"workspaceSymbolProvider", true},
            {"workspace", {{"workspaceFolders", {{"supported", true}, {"changeNotifications", true}}}}}}},
          {"serverInfo", {{"name", "kolvu-lsp"}, {"version", version_}}}};
}

void Server::initialized() {
  if (indexer_) return;
  if (watch_registration_) {
    std::string glob = "**/*{";
    for (size_t i = 0; i < settings_.exts.size(); ++i) glob += (i ? "," : "") + settings_.exts[i];
    glob += "}";
    request("client/registerCapability",
            {{"registrations",
              json::array({{{"id", "kolvu-watched-files"},
                            {"method", "workspace/didChangeWatchedFiles"},
                            {"registerOptions", {{"watchers", json::array({{{"globPattern", glob}}})}}}}})}});
  }
  if (!watch_registration_) start_watching();
  {
    std::lock_guard<std::mutex> lock(progress_.mutex);
    if (progress_wanted_) {
      progress_.state = IndexProgress::kAsked;
      progress_.create_id = request("window/workDoneProgress/create", {{"token", kProgressToken}});
    }
  }
  auto started = std::chrono::steady_clock::now();
  indexer_ = std::make_unique<Indexer>(&index_, settings_, [this](const std::string &m) { log(m, 2); });
  indexer_->start(roots_, [this, started](size_t done, size_t total) {
    std::lock_guard<std::mutex> lock(progress_.mutex);
    if (done == total) {
      double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.3f", s);
      progress_.end_message = std::to_string(total) + " files, " +
                              std::to_string(index_.definition_count()) +
                              " definitions indexed in " + seconds + " s";
      progress_.finished = true;
      if (progress_.state == IndexProgress::kOn) {
        progress_value({{"kind", "end"}, {"message", progress_.end_message}});
        progress_.state = IndexProgress::kDone;
      }
      notify("window/logMessage", {{"type", 3}, {"message", progress_.end_message}});
      return;
    }
    int pct = static_cast<int>(done * 100 / total);
    progress_.message = std::to_string(done) + "/" + std::to_string(total) + " files";
    if (pct == progress_.percent) return;  // one report per percent
    progress_.percent = pct;
    if (progress_.state == IndexProgress::kOn)
      progress_value({{"kind", "report"}, {"percentage", pct}, {"message", progress_.message}});
  });
}

void Server::start_watching() {
  // What the watcher finds comes in as the client's reports would, through
  // the queue, so it is handled in order with the messages.
  std::weak_ptr<ReaderState> state = state_;
  watcher_ = std::make_unique<DiskWatcher>(
      settings_,
      [state](std::vector<DiskWatcher::Change> changes) {
        json list = json::array();
        for (const DiskWatcher::Change &c : changes)
          list.push_back({{"uri", path_to_uri(c.path)}, {"type", c.type}});
        Incoming in;
        in.msg = {{"jsonrpc", "2.0"},
                  {"method", "workspace/didChangeWatchedFiles"},
                  {"params", {{"changes", std::move(list)}}}};
        if (auto s = state.lock()) s->queue.push(std::move(in));
      },
      [this](const std::string &m) { log(m, 2); }, settings_.watch_by_walking);
  for (const std::string &r : roots_) watcher_->add_root(r);
}

void Server::progress_answered(const json &msg) {
  std::lock_guard<std::mutex> lock(progress_.mutex);
  if (progress_.state != IndexProgress::kAsked || msg["id"] != progress_.create_id) return;
  if (msg.contains("error")) {
    progress_.state = IndexProgress::kOff;
    return;
  }
  progress_value({{"kind", "begin"}, {"title", "Indexing"}, {"cancellable", false},
                  {"percentage", progress_.percent < 0 ? 0 : progress_.percent},
                  {"message", progress_.message}});
  progress_.state = IndexProgress::kOn;
  if (progress_.finished) {
    progress_value({{"kind", "end"}, {"message", progress_.end_message}});
    progress_.state = IndexProgress::kDone;
  }
}

std::string Server::path_of(const json &text_document) const {
  std::string uri = text_document.at("uri").get<std::string>();
  std::string path;
  if (!uri_to_path(uri, &path)) throw BadParams{"not a file URI: " + uri};
  return path;
}

void Server::position_params(const json &params, std::string *path, long *line, long *character) {
  if (!params.is_object() || !params.contains("textDocument") || !params.contains("position"))
    throw BadParams{"textDocument and position are needed"};
  *path = path_of(params.at("textDocument"));
  const json &p = params.at("position");
  *line = position_number(p, "line", "position");
  *character = position_number(p, "character", "position");
}

Server::Where Server::where(const json &params) {
  Where at;
  position_params(params, &at.path, &at.line, &at.character);
  scan_dirty();
  return at;
}

QueryContext Server::context() {
  QueryContext ctx;
  ctx.index = &index_;
  ctx.docs = &docs_;
  ctx.pe = pe_;
  ctx.roots = roots_;
  ctx.encoding = settings_.encoding;
  ctx.conv = &conv_;
  ctx.log = [this](const std::string &m) { log(m, 2); };
  ctx.forget = [this](const std::string &p) { index_.remove_file(p, false); };
  ctx.refresh = [this](const std::vector<NameHit> &hits) { return refresh_files(hits); };
  return ctx;
}

bool Server::refresh_files(const std::vector<NameHit> &hits) {
  bool changed = false;
  const auto now = std::chrono::steady_clock::now();
  for (const NameHit &h : hits) {
    if (h.open) continue;
    // A file looked at a moment ago is not looked at again: a name defined
    // in hundreds of headers costs hundreds of stat calls only once.
    if (h.at.file >= checked_.size()) checked_.resize(h.at.file + 1);
    auto &last = checked_[h.at.file];
    if (last.time_since_epoch().count() != 0 && now - last < std::chrono::milliseconds(kRecheckMs))
      continue;
    last = now;
    FileStamp indexed;
    if (!index_.disk_stamp(h.path, &indexed) || stamp_of(h.path) == indexed) continue;
    changed = true;
    std::string error;
    if (!index_one_file(&index_, settings_, h.path, &error)) log(error + " (dropped from the index)", 2);
  }
  return changed;
}

void Server::scan_document(const std::string &path) {
  OpenDocument *doc = docs_.find(path);
  if (doc == nullptr) return;
  SourceScan scan = scan_source_names(doc->text.data(), doc->text.size(), settings_.kinds, Encoding::kUtf8);
  index_.replace_file(path, Encoding::kUtf8, doc->text, scan.names, true);
  doc->dirty = false;
}

void Server::scan_dirty() {
  for (const std::string &path : docs_.dirty()) scan_document(path);
}

void Server::did_open(json &params) {
  json &td = params.at("textDocument");
  std::string path = path_of(td);
  OpenDocument doc;
  doc.uri = td.at("uri").get<std::string>();
  doc.text = std::move(td.at("text").get_ref<std::string &>());
  doc.version = td.value("version", 0L);
  docs_.open(path, std::move(doc));
  scan_document(path);
}

void Server::did_change(json &params) {
  std::string path = path_of(params.at("textDocument"));
  OpenDocument *doc = docs_.find(path);
  if (doc == nullptr) throw BadParams{"a change to a document that is not open: " + path};
  size_t i = 0;
  for (const json &c : params.at("contentChanges")) {
    TextChange change;
    change.text = c.at("text").get<std::string>();
    if (c.contains("range")) {
      const json &r = c["range"];
      const std::string where = "contentChanges[" + std::to_string(i) + "].range.";
      change.whole = false;
      change.start_line = position_number(r.at("start"), "line", where + "start");
      change.start_char = position_number(r.at("start"), "character", where + "start");
      change.end_line = position_number(r.at("end"), "line", where + "end");
      change.end_char = position_number(r.at("end"), "character", where + "end");
    }
    ++i;
    if (!apply_change(&doc->text, change, pe_)) throw BadParams{"a change with its range out of order"};
  }
  doc->version = params.at("textDocument").value("version", doc->version);
  doc->dirty = true;
}

void Server::folders_changed(json &params) {
  const json &event = params.at("event");
  std::vector<std::string> added;
  auto folder_path = [this](const json &f) {
    std::string path = path_of(f);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  };
  for (const json &f : event.at("removed")) {
    std::string path = folder_path(f);
    roots_.erase(std::remove(roots_.begin(), roots_.end(), path), roots_.end());
    index_.remove_below(path);
  }
  for (const json &f : event.at("added")) {
    std::string path = folder_path(f);
    if (std::find(roots_.begin(), roots_.end(), path) != roots_.end()) continue;
    roots_.push_back(path);
    added.push_back(path);
    if (watcher_) watcher_->add_root(path);
  }
  if (added.empty() || !indexer_) return;  // before initialized the first run takes them
  auto indexer = std::make_unique<Indexer>(&index_, settings_, [this](const std::string &m) { log(m, 2); });
  indexer->start(added, [this](size_t done, size_t total) {
    if (done == total) {
      notify("window/logMessage",
             {{"type", 3},
              {"message", std::to_string(total) + " files of added folders indexed, " +
                              std::to_string(index_.definition_count()) + " definitions in all"}});
    }
  });
  folder_indexers_.push_back(std::move(indexer));
}

bool Server::in_workspace(const std::string &path) const {
  size_t slash = path.rfind('/');
  if (!has_source_ext(path.substr(slash == std::string::npos ? 0 : slash + 1), settings_.exts))
    return false;
  for (const std::string &r : roots_) {
    if (path.size() > r.size() + 1 && path.compare(0, r.size(), r) == 0 && path[r.size()] == '/')
      return !is_excluded(path.substr(r.size() + 1), settings_.excludes);
  }
  return false;
}

void Server::did_close(json &params) {
  std::string path = path_of(params.at("textDocument"));
  const OpenDocument *doc = docs_.find(path);
  const bool big = doc != nullptr && doc->text.size() >= kBigAnswer;
  docs_.close(path);
  index_.remove_file(path, true);
  if (big) give_back_memory();
  std::string error;
  if (in_workspace(path) && !index_one_file(&index_, settings_, path, &error)) log(error, 2);
}

void Server::watched_files(json &params) {
  for (const json &c : params.at("changes")) {
    std::string path;
    std::string uri = c.at("uri").get<std::string>();
    if (!uri_to_path(uri, &path)) continue;
    if (docs_.find(path) != nullptr) continue;  // the editor's text stands in for it
    int type = c.at("type").get<int>();
    if (type == 3) {
      index_.remove_file(path, false);
      // A folder deleted or moved away: the files below it go too.
      size_t slash = path.rfind('/');
      if (!has_source_ext(path.substr(slash == std::string::npos ? 0 : slash + 1), settings_.exts))
        index_.remove_below(path);
      continue;
    }
    std::string error;
    if (in_workspace(path) && !index_one_file(&index_, settings_, path, &error)) log(error, 2);
  }
}

}  // namespace

int serve(const LspSettings &settings, const std::string &version, int in_fd, int out_fd,
          int err_fd, bool join_reader) {
  auto state = std::make_shared<ReaderState>(in_fd, kMaxMessageBody);
  std::thread reader(read_messages, state);
  if (!join_reader) reader.detach();
  int status;
  {
    Server server(settings, version, out_fd, err_fd);
    status = server.run(state);
  }
  if (join_reader) reader.join();
  return status;
}

}  // namespace kolvu
