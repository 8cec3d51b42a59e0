// The argument walk: options hold for the files named after them.
#include "driver/cmdline.h"

#include <cstring>

#include "driver/help.h"
#include "driver/list_lookup.h"
#include "driver/namelist.h"
#include "driver/read_ahead.h"
#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "kolvu/textio.h"
#include "driver/scan_file.h"
#include "util/alloc_seam.h"

namespace kolvu {

namespace {

// A "-l" value: '*' first means nothing, "F=" names a list file, anything
// else is a comma list.
void add_list_value(char *value) {
  if (value[0] == '*') return;
  if (value[0] == 'F' && value[1] == '=') {
    (void)set_listf(value + 2);
    return;
  }
  set_list(value);
}

// The letters of an option group: kinds into *mask, 'N' into *banner.
void add_option_letters(const char *group, int *mask, int *banner) {
  for (const char *c = group + 1; *c != '\0'; ++c) {
    switch (*c) {
      case 'd': *mask |= DEF_SINGLE | DEF_CONT; break;
      case 't': *mask |= TD_SIMPLE | TD_BLOCK; break;
      case 's': *mask |= SU_STRUCT; break;
      case 'u': *mask |= SU_UNION; break;
      case 'N': *banner = 1; break;
      default: break;  // unknown letters are ignored without a word
    }
  }
}

void scan_named_file(const char *name, int mask) {
  bool scanned = false;
  TextFile *f = read_ahead_open(name, &scanned);
  if (scanned) return;
  if (f == nullptr) {
    errmsg("%s: not found\n", name);
    return;
  }
  scan_file(f, name, mask);
  read_ahead_close(f);
}

// The files the walk below will scan, in its order, with what will hold
// for each, to be worked on ahead: every argument that is neither an option
// nor the value of a "-l".
void read_files_ahead(int argc, char **argv) {
  auto *files =
      static_cast<AheadFile *>(alloc_or_null(sizeof(AheadFile) * static_cast<size_t>(argc)));
  if (files == nullptr) return;
  int n = 0, mask = 0, banner = pr_fname, lists = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-l") == 0) {
      if (++i == argc) break;
      ++lists;
    } else if (argv[i][0] == '-') {
      add_option_letters(argv[i], &mask, &banner);
    } else {
      files[n++] = {argv[i], lists, static_cast<unsigned char>(mask), banner != 0};
    }
  }
  read_ahead_start(files, n);
}

}  // namespace

int run(int argc, char **argv) {
  if (argc == 2 && std::strcmp(argv[1], "-usage") == 0) {
    print_help();
    exit_process(kExitFailure);
  }
  if (argc < 2) {
    print_usage();
    exit_process(kExitFailure);
  }
  read_files_ahead(argc, argv);
  int mask = 0, lists = 0;
  for (int i = 1; i < argc; ++i) {
    char *arg = argv[i];
    if (std::strcmp(arg, "-l") == 0) {
      if (++i == argc) {
        errmsg("<list> missing\n");
        break;
      }
      add_list_value(argv[i]);
      update_name_index();  // read from here on by the scans ahead too
      read_ahead_lists(++lists);
    } else if (arg[0] == '-') {
      add_option_letters(arg, &mask, &pr_fname);
    } else {
      scan_named_file(arg, mask);
    }
  }
  read_ahead_stop();
  return kExitSuccess;
}

}  // namespace kolvu
