// The name list and its loaders.
#include "driver/namelist.h"

#include <cstring>

#include "driver/list_lookup.h"
#include "kolvu/errmsg.h"
#include "kolvu/mem.h"
#include "kolvu/search.h"
#include "kolvu/textio.h"
#include "scanner/line_limit.h"

namespace kolvu {

char *list[kListSize];
int list_cnt = 0;

namespace {

void add_entry(const char *text) {
  list[list_cnt++] = setstr(text);
  ++list_generation;
}

void report_overflow() { errmsg("list table overflown\n"); }

}  // namespace

void set_list(char *text) {
  for (;;) {
    if (list_cnt == kListSize) {
      report_overflow();
      return;
    }
    char *comma = index(text, ',');
    if (comma == nullptr) {
      add_entry(text);
      return;
    }
    *comma = '\0';
    add_entry(text);
    text = comma + 1;
  }
}

int set_listf(const char *fname) {
  TextFile *f = text_open(fname);
  if (f == nullptr) {
    errmsg("%s: not found\n", fname);
    return 0;
  }
  char line[kLineBufSize];
  while (text_gets(line, sizeof line, f) > 0) {
    size_t len = std::strlen(line);
    if (len >= static_cast<size_t>(kLineTooLong)) fail_long_line(line);
    if (list_cnt == kListSize) {
      report_overflow();
      break;
    }
    if (len > 0 && line[len - 1] == '\n') line[len - 1] = '\0';
    add_entry(line);
  }
  return text_close(f);
}

int chk_type(const char *pos) {
  if (list_cnt == 0) return 1;
  return update_name_index().wants(pos);
}

}  // namespace kolvu
