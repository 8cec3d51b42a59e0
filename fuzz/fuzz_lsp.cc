// Fuzz target for kolvu-lsp's input: the bytes are what a client writes to
// the server, after an initialize that makes a small tree of Shift_JIS and
// UTF-8 headers its workspace (written to /tmp/kolvu-fuzz-lsp at start-up,
// the path the seeds' addresses name). The whole server runs over them: the
// framing, the JSON, the dispatch, the documents and the index of the tree.
// Checked: the server ends with the input, with status 0 or 1, and writes
// nothing but well-framed JSON objects of protocol version 2.0.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "common/walk.h"
#include "fuzz_common.h"
#include "lsp/framing.h"
#include "lsp/options.h"
#include "lsp/server.h"

namespace {

const char kRoot[] = "/tmp/kolvu-fuzz-lsp";

// Written to a name of its own first, then renamed: runs side by side never
// see half a file.
void put(const std::string &rel, const std::string &bytes) {
  std::string path = std::string(kRoot) + "/" + rel;
  std::string tmp = path + "." + std::to_string(::getpid());
  FILE *f = std::fopen(tmp.c_str(), "wb");
  FUZZ_CHECK(f != nullptr, "cannot write %s", tmp.c_str());
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  FUZZ_CHECK(std::rename(tmp.c_str(), path.c_str()) == 0, "cannot rename to %s", path.c_str());
}

void make_tree() {
  ::mkdir(kRoot, 0755);
  ::mkdir((std::string(kRoot) + "/inc").c_str(), 0755);
  ::mkdir((std::string(kRoot) + "/src").c_str(), 0755);
  // "定数" and "横位置" in Shift_JIS.
  put("inc/defs.h",
      "/* \x92\xe8\x90\x94 */\n#define MAX_LEN 256\n#define SQUARE(x) ((x) * (x))\n"
      "typedef unsigned long ULONG;\ntypedef struct point_tag {\n"
      "    int x;  /* \x89\xa1\x88\xca\x92\x75 */\n    int y;\n} Point;\n");
  put("src/main.c", "#include \"defs.h\"\n#define LOCAL_MAX (MAX_LEN - 1)\nstatic Point origin;\n");
  // UTF-8: "値"
  put("src/union.h", "union value { long l; char s[8]; /* \xe5\x80\xa4 */ };\n#define MAX_LEN 512\n");
}

std::string frame(const std::string &body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

int memfd_with(const std::string &bytes) {
  int fd = ::memfd_create("kolvu-fuzz-lsp", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0, "memfd_create failed");
  size_t at = 0;
  while (at < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
    FUZZ_CHECK(n > 0, "write to memfd failed");
    at += static_cast<size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

std::string prefix;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  make_tree();
  std::string root_uri = std::string("file://") + kRoot;
  prefix = frame(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"processId":null,"rootUri":")" +
                 root_uri +
                 R"(","capabilities":{"window":{"workDoneProgress":true},"workspace":{"didChangeWatchedFiles":{"dynamicRegistration":true}}},"initializationOptions":{"workers":1}}})") +
           frame(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int in = memfd_with(prefix + std::string(reinterpret_cast<const char *>(data), size));
  int out = memfd_with("");
  int err = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  kolvu::LspSettings settings;
  settings.exts = kolvu::default_source_exts();
  int status = kolvu::serve(settings, "fuzz", in, out, err, true);
  FUZZ_CHECK(status == 0 || status == 1, "status %d", status);
  ::close(in);
  ::close(err);
  ::lseek(out, 0, SEEK_SET);
  kolvu::MessageReader reader(out, kolvu::kMaxMessageBody);
  std::string body;
  kolvu::MessageReader::Result r;
  size_t count = 0;
  while ((r = reader.next(&body)) == kolvu::MessageReader::Result::kMessage) {
    nlohmann::json msg = nlohmann::json::parse(body, nullptr, false);
    FUZZ_CHECK(msg.is_object() && msg.value("jsonrpc", "") == "2.0", "written: %.200s",
               body.c_str());
    // The initialize that comes first is answered first, whatever follows.
    if (count++ == 0) FUZZ_CHECK(msg.value("id", -1) == 0 && msg.contains("result"), "first: %.200s", body.c_str());
  }
  FUZZ_CHECK(count > 0, "nothing written");
  FUZZ_CHECK(r == kolvu::MessageReader::Result::kEnd, "output not framed: %s", body.c_str());
  ::close(out);
  return 0;
}
