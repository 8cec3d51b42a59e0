// Fuzz target: the name-list loaders (set_list, set_listf) and chk_type,
// checked against a model of the list built from the same input.
//
// Input layout:
//   byte 0   what to do: 0x01 load a comma list, 0x02 load a list file,
//            0x04 load a list file that does not exist, 0x08 load the comma
//            list after the files rather than before
//   byte 1   entries already in the table before loading: with 0x80 set,
//            1000 minus the low four bits (a full or nearly full table),
//            else the low three bits, taken from a small fixed set
//   then     the comma list, up to the first NUL
//   rest     the list file's bytes
//
// Inputs whose list file has a line read of 1023 bytes or more are skipped:
// the loader ends the process there, by design.
//
// Diagnostics are sent to standard output (errfp), which is caught, so each
// run can compare them with the messages the model expects.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/namelist.h"
#include "fuzz_common.h"
#include "kolvu/errmsg.h"

namespace {

const char kMissing[] = "/nonexistent-kolvu-fuzz/names.txt";
const char kOverflow[] = "list table overflown\n";

fuzz::MemFile *file;
fuzz::CapturedStdout *out;

struct Model {
  std::vector<std::string> entries;
  std::string messages;
};

bool is_name_byte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

int model_wanted(const Model &m, const char *pos) { return fuzz::list_wants(m.entries, pos); }

void load_comma_list(Model &m, const std::string &text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  std::string expect_buf = text + '\0';
  size_t pos = 0;
  for (;;) {
    if (m.entries.size() == static_cast<size_t>(kolvu::kListSize)) {
      m.messages += kOverflow;
      break;
    }
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) {
      m.entries.push_back(text.substr(pos));
      break;
    }
    expect_buf[comma] = '\0';
    m.entries.push_back(text.substr(pos, comma - pos));
    pos = comma + 1;
  }
  kolvu::set_list(buf.data());
  FUZZ_CHECK(std::memcmp(buf.data(), expect_buf.data(), buf.size()) == 0,
             "set_list left the text other than with NULs over the commas it passed");
  for (int i = 0; i < kolvu::list_cnt; ++i)
    FUZZ_CHECK(kolvu::list[i] < buf.data() || kolvu::list[i] >= buf.data() + buf.size(),
               "entry %d points into the caller's text", i);
}

void load_list_file(Model &m, const uint8_t *data, size_t size) {
  const std::string text = fuzz::cooked(data, size);
  bool full = false;
  fuzz::for_each_read(text, [&](size_t pos, size_t len) {
    if (full) return;
    if (m.entries.size() == static_cast<size_t>(kolvu::kListSize)) {
      m.messages += kOverflow;
      full = true;
      return;
    }
    std::string entry = text.substr(pos, fuzz::read_strlen(text, pos, len));
    if (!entry.empty() && entry.back() == '\n') entry.pop_back();
    m.entries.push_back(entry);
  });
  file->set(data, size);
  int rc = kolvu::set_listf(file->path());
  FUZZ_CHECK(rc == 0, "set_listf returned %d", rc);
}

void load_missing_file(Model &m) {
  m.messages += std::string(kMissing) + ": not found\n";
  int rc = kolvu::set_listf(kMissing);
  FUZZ_CHECK(rc == 0, "set_listf of a missing file returned %d", rc);
}

// Entries already in the table, added the ordinary way so that whatever
// the list keeps beside its entries stays up to date.
void prefill(Model &m, int count) {
  static const char *const kSmall[] = {"A", "ab*", "", "*", "AB", "a_1", "Z*z", "\x82\xa0"};
  if (count == 0) return;
  std::string items;
  for (int i = 0; i < count; ++i) {
    const char *e = count > 8 ? "~" : kSmall[i];
    m.entries.push_back(e);
    if (i > 0) items += ',';
    items += e;
  }
  std::vector<char> buf(items.begin(), items.end());
  buf.push_back('\0');
  kolvu::set_list(buf.data());
}

void compare_list(const Model &m) {
  FUZZ_CHECK(kolvu::list_cnt >= 0 && kolvu::list_cnt <= kolvu::kListSize, "list_cnt %d", kolvu::list_cnt);
  FUZZ_CHECK(static_cast<size_t>(kolvu::list_cnt) == m.entries.size(), "list_cnt %d, expected %zu",
             kolvu::list_cnt, m.entries.size());
  for (int i = 0; i < kolvu::list_cnt; ++i)
    FUZZ_CHECK(m.entries[i] == kolvu::list[i], "entry %d is \"%s\", expected \"%s\"", i, kolvu::list[i],
               m.entries[i].c_str());
}

void clear_list() {
  for (int i = 0; i < kolvu::list_cnt; ++i) std::free(kolvu::list[i]);
  kolvu::list_cnt = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  file = new fuzz::MemFile;
  out = new fuzz::CapturedStdout;
  kolvu::errfp = KOLVU_ERRFP_STDOUT;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  const int what = data[0];
  const int pre = data[1] & 0x80 ? kolvu::kListSize - (data[1] & 0x0F) : data[1] & 0x07;
  size_t at = 2;
  std::string comma_text;
  while (at < size && data[at] != '\0') comma_text.push_back(static_cast<char>(data[at++]));
  if (at < size) ++at;
  const uint8_t *file_data = data + at;
  const size_t file_size = size - at;
  if ((what & 0x02) && fuzz::has_overlong_read(fuzz::cooked(file_data, file_size))) return 0;

  Model m;
  prefill(m, pre);
  out->take();
  FUZZ_CHECK(kolvu::chk_type("") == model_wanted(m, ""), "chk_type of an empty name");

  if ((what & 0x01) && !(what & 0x08)) load_comma_list(m, comma_text);
  if (what & 0x02) load_list_file(m, file_data, file_size);
  if (what & 0x04) load_missing_file(m);
  if ((what & 0x01) && (what & 0x08)) load_comma_list(m, comma_text);
  compare_list(m);
  const std::string messages = out->take();
  FUZZ_CHECK(messages == m.messages, "diagnostics \"%s\", expected \"%s\"", messages.c_str(),
             m.messages.c_str());

  // Ask at the starts of names in the input (the first 64), and after its
  // last byte.
  std::string text(reinterpret_cast<const char *>(data), size);
  const int count = kolvu::list_cnt;
  int asked = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i > 0 && i < size && is_name_byte(data[i - 1])) continue;
    if (i < size && ++asked > 64) continue;
    const char *pos = text.c_str() + i;
    int got = kolvu::chk_type(pos);
    FUZZ_CHECK(got == 0 || got == 1, "chk_type returned %d", got);
    if (count == 0) FUZZ_CHECK(got == 1, "chk_type %d with an empty list", got);
    FUZZ_CHECK(got == model_wanted(m, pos), "chk_type at offset %zu returned %d", i, got);
  }
  FUZZ_CHECK(kolvu::list_cnt == count, "chk_type changed list_cnt");

  clear_list();
  return 0;
}
