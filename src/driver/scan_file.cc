#include "driver/scan_file.h"

#include "driver/list_lookup.h"
#include "driver/namelist.h"
#include "kolvu/bytes.h"

namespace kolvu {

int pr_fname = 0;

ScanSetup tool_scan_setup(const char *name, int mask, bool banner) {
  // Asked before any scan ahead starts, the index is already up to date
  // here and only read.
  const NameIndex *names = list_cnt != 0 ? &update_name_index() : nullptr;
  return {mask, names, byte_class, name, banner};
}

void scan_file(TextFile *stream, const char *name, int mask) {
  scan_stream(stream, tool_scan_setup(name, mask, pr_fname != 0));
}

bool scan_file_ahead(TextFile *stream, const char *name, int mask, bool banner, ScanBuffer *out) {
  return scan_stream_ahead(stream, tool_scan_setup(name, mask, banner), out);
}

}  // namespace kolvu
