// Fuzz target: the definition scanner over arbitrary file contents, compared
// byte for byte with the plain model of the scanner's rules that the unit
// tests use too (tests/scanner/reference_scanner.h), which walks each line
// one byte at a time; and the scanner library's records, whose texts
// laid end to end must be what the tool wrote.
//
// Input layout:
//   byte 0   kind mask (low six bits)
//   byte 1   flags: 0x01 banner (pr_fname), 0x02 a name list follows,
//            0x04 scan the file a second time (a fresh start per file)
//   then     with 0x02: the comma list up to the first '\n' (not included)
//   rest     the file's bytes
//
// Inputs with a line read of 1023 bytes or more are skipped: the scanner
// ends the process there, by design.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/namelist.h"
#include "fuzz_common.h"
#include "kolvu/errmsg.h"
#include "kolvu/scan.h"
#include "kolvu/textio.h"
#include "driver/scan_file.h"
#include "scanner/reference_scanner.h"

namespace {

const char kName[] = "fz.h";
fuzz::MemFile *file;
fuzz::CapturedStdout *out;

// The entries set_list makes of a comma list: split at every comma, at most
// as many as the table holds.
std::vector<std::string> comma_entries(const char *text) {
  std::vector<std::string> v(1);
  for (const char *p = text; *p != '\0'; ++p) {
    if (*p == ',')
      v.emplace_back();
    else
      v.back().push_back(*p);
  }
  if (v.size() > static_cast<size_t>(kolvu::kListSize)) v.resize(kolvu::kListSize);
  return v;
}

// ---- the target ------------------------------------------------------------

void clear_list() {
  for (int i = 0; i < kolvu::list_cnt; ++i) std::free(kolvu::list[i]);
  kolvu::list_cnt = 0;
}

void scan_once(int mask) {
  kolvu::TextFile *f = kolvu::text_open(file->path());
  FUZZ_CHECK(f != nullptr, "cannot open %s", file->path());
  kolvu::scan_file(f, kName, mask);
  FUZZ_CHECK(kolvu::text_close(f) == 0, "close failed");
}

// The first place where two texts differ, for the report.
size_t first_difference(const std::string &a, const std::string &b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  file = new fuzz::MemFile;
  out = new fuzz::CapturedStdout;
  // The overflow message of a long list goes to the captured output too,
  // not to the fuzzer's log.
  kolvu::errfp = KOLVU_ERRFP_STDOUT;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  const int mask = data[0] & 0x3F;
  const int flags = data[1];
  size_t at = 2;

  std::vector<char> list_text;
  if (flags & 0x02) {
    while (at < size && data[at] != '\n') list_text.push_back(static_cast<char>(data[at++]));
    if (at < size) ++at;  // the separator
  }
  list_text.push_back('\0');
  const uint8_t *body = data + at;
  const size_t body_size = size - at;

  const std::string text = fuzz::cooked(body, body_size);
  if (fuzz::has_overlong_read(text)) return 0;

  std::vector<std::string> entries;
  if (flags & 0x02) {
    entries = comma_entries(list_text.data());
    kolvu::set_list(list_text.data());  // a C string: the list ends at its first NUL
    FUZZ_CHECK(static_cast<size_t>(kolvu::list_cnt) == entries.size(), "list_cnt %d", kolvu::list_cnt);
  }
  out->take();  // drop any list message

  kolvu::pr_fname = flags & 0x01;
  file->set(body, body_size);
  kolvu::reference::ModelSetup setup;
  setup.mask = mask;
  setup.banner = kolvu::pr_fname != 0;
  setup.name = kName;
  setup.has_list = !entries.empty();
  setup.wants = [&entries](const char *pos) { return fuzz::list_wants(entries, pos); };
  const std::string source(reinterpret_cast<const char *>(body), body_size);
  scan_once(mask);
  std::string want = kolvu::reference::scan_source(source, setup).out;
  if (flags & 0x04) {
    scan_once(mask);
    want += kolvu::reference::scan_source(source, setup).out;  // a fresh start per file
  }
  const std::string written = out->take();
  FUZZ_CHECK(written == want, "mask 0x%02x: %zu bytes written, %zu expected; first difference at byte %zu", mask,
             written.size(), want.size(), first_difference(written, want));

  // The library's records, without the banner the tool may write, and for
  // text whose lines all fit one read (the library takes longer lines whole,
  // where the tool reads on after a NUL in the first 1023 bytes).
  bool lines_fit = true;
  fuzz::for_each_read(text, [&](size_t, size_t len) {
    if (len >= 1023) lines_fit = false;
  });
  if (!(flags & 0x01) && lines_fit) {
    kolvu::NameList names;
    for (const std::string &e : entries) FUZZ_CHECK(names.add(e), "no memory for an entry");
    kolvu::ScanOptions options;
    options.kinds = mask;
    options.names = &names;
    options.encoding = kolvu::Encoding::kShiftJis;
    std::string joined;
    for (int pass = 0; pass < (flags & 0x04 ? 2 : 1); ++pass) {
      kolvu::ScanResult r = kolvu::scan_definitions(reinterpret_cast<const char *>(body), body_size, options,
                                                    [&](const kolvu::Definition &d) { joined += d.text; });
      FUZZ_CHECK(r.status == kolvu::ScanStatus::kOk, "library scan failed");
    }
    FUZZ_CHECK(joined == written, "mask 0x%02x: records hold %zu bytes, the tool wrote %zu; first difference at byte %zu",
               mask, joined.size(), written.size(), first_difference(joined, written));
  }

  kolvu::pr_fname = 0;
  clear_list();
  return 0;
}
