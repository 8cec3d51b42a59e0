#include "lsp/options.h"

#include <cstring>

#include "common/cli.h"
#include "common/glob.h"
#include "common/kinds.h"
#include "common/walk.h"

namespace kolvu {

namespace {

const int kMaxWorkers = 256;

enum class Opt { kKinds, kEncoding, kExt, kExclude, kFollow, kJobs, kHelp, kVersion, kStdio };

const LongOption<Opt> kLongOpts[] = {
    {"kinds", Opt::kKinds, true},     {"encoding", Opt::kEncoding, true},
    {"ext", Opt::kExt, true},         {"exclude", Opt::kExclude, true},
    {"follow", Opt::kFollow, false},
    {"jobs", Opt::kJobs, true},       {"help", Opt::kHelp, false},
    {"version", Opt::kVersion, false}, {"stdio", Opt::kStdio, false},
};

const ShortOption<Opt> kShortOpts[] = {{'j', Opt::kJobs, true}, {'h', Opt::kHelp, false}};

bool apply(Opt opt, const std::string &value, LspCommandLine *o, std::string *error) {
  switch (opt) {
    case Opt::kKinds: return set_kinds(value, &o->settings, error);
    case Opt::kEncoding: return set_encoding(value, &o->settings, error);
    case Opt::kExt: return set_exts(split_commas(value), &o->settings, error);
    case Opt::kExclude:
      if (value.empty()) {
        *error = "empty exclusion pattern";
        return false;
      }
      o->settings.excludes.push_back(value);
      return true;
    case Opt::kFollow: o->settings.follow = true; return true;
    case Opt::kJobs: {
      if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos) {
        *error = "invalid number of jobs '" + value + "' (1 to 256)";
        return false;
      }
      return set_workers(std::stol(value), &o->settings, error);
    }
    case Opt::kHelp: o->help = true; return true;
    case Opt::kVersion: o->version = true; return true;
    case Opt::kStdio: return true;  // the only transport there is
  }
  return false;
}

}  // namespace

bool set_kinds(const std::string &v, LspSettings *s, std::string *error) {
  int k = 0;
  if (!parse_kind_letters(v, &k)) {
    *error = "invalid kinds '" + v + "' (any of d e f g m p s t u v x, or all)";
    return false;
  }
  s->kinds = k;
  return true;
}

bool set_encoding(const std::string &value, LspSettings *s, std::string *error) {
  if (value == "auto") s->encoding = Encoding::kAuto;
  else if (value == "sjis") s->encoding = Encoding::kShiftJis;
  else if (value == "utf-8") s->encoding = Encoding::kUtf8;
  else if (value == "euc-jp") s->encoding = Encoding::kEucJp;
  else {
    *error = "invalid encoding '" + value + "' (auto, sjis, utf-8 or euc-jp)";
    return false;
  }
  return true;
}

bool set_exts(const std::vector<std::string> &items, LspSettings *s, std::string *error) {
  std::vector<std::string> list;
  for (const std::string &item : items) {
    if (item.empty() || item == "." || item.find('/') != std::string::npos) {
      *error = "invalid file name ending '" + item + "'";
      return false;
    }
    list.push_back(item[0] == '.' ? item : "." + item);
  }
  if (list.empty()) {
    *error = "empty list of file name endings";
    return false;
  }
  s->exts = list;
  return true;
}

bool set_workers(long n, LspSettings *s, std::string *error) {
  if (n < 1 || n > kMaxWorkers) {
    *error = "invalid number of workers '" + std::to_string(n) + "' (1 to 256)";
    return false;
  }
  s->workers = static_cast<int>(n);
  return true;
}

bool is_excluded(const std::string &relative, const std::vector<std::string> &patterns) {
  for (const std::string &p : patterns) {
    if (p.find('/') != std::string::npos) {
      for (size_t slash = relative.find('/'); ; slash = relative.find('/', slash + 1)) {
        std::string part = relative.substr(0, slash);
        if (glob_match(p, part)) return true;
        if (slash == std::string::npos) break;
      }
      continue;
    }
    size_t start = 0;
    for (;;) {
      size_t slash = relative.find('/', start);
      std::string name = relative.substr(start, slash == std::string::npos ? slash : slash - start);
      if (glob_match(p, name)) return true;
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
  }
  return false;
}

bool parse_lsp_command_line(int argc, char **argv, int processors, LspCommandLine *o,
                            std::string *error) {
  o->settings.exts = default_source_exts();
  o->settings.workers = processors < 1 ? 1 : processors > kMaxWorkers ? kMaxWorkers : processors;
  return read_command_line(
      argc, argv, kLongOpts, kShortOpts, nullptr,
      [o](Opt opt, const std::string &value, std::string *why) {
        if (!apply(opt, value, o, why)) return OptionStep::kFail;
        return o->help || o->version ? OptionStep::kStop : OptionStep::kNext;
      },
      error);
}

}  // namespace kolvu
