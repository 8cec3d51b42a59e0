#include "index/options.h"

#include "common/walk.h"

#include <cerrno>
#include <cstring>
#include <cstdio>

namespace kolvu {

namespace {

const int kMaxJobs = 256;

enum class Opt { kKinds, kNames, kNamesFrom, kEncoding, kFormat, kExt, kJobs, kHelp, kVersion };

struct LongOpt {
  const char *name;
  Opt opt;
  bool takes_value;
};

const LongOpt kLongOpts[] = {
    {"kinds", Opt::kKinds, true},        {"names", Opt::kNames, true},
    {"names-from", Opt::kNamesFrom, true}, {"encoding", Opt::kEncoding, true},
    {"format", Opt::kFormat, true},      {"ext", Opt::kExt, true},
    {"jobs", Opt::kJobs, true},          {"help", Opt::kHelp, false},
    {"version", Opt::kVersion, false},
};

// The option that name (without "--") stands for: itself, or the one it is
// the beginning of. Null with a message when none or several are.
const LongOpt *find_long(const std::string &name, std::string *error) {
  const LongOpt *found = nullptr;
  int matches = 0;
  for (const LongOpt &o : kLongOpts) {
    if (name == o.name) return &o;
    if (!name.empty() && std::strncmp(o.name, name.c_str(), name.size()) == 0) {
      found = &o;
      ++matches;
    }
  }
  if (matches == 1) return found;
  *error = (matches == 0 ? "unknown option '--" : "ambiguous option '--") + name + "'";
  return nullptr;
}

bool parse_kinds(const std::string &v, int *kinds) {
  int k = 0;
  for (char c : v) {
    switch (c) {
      case 'd': k |= DEF_SINGLE | DEF_CONT; break;
      case 't': k |= TD_SIMPLE | TD_BLOCK; break;
      case 's': k |= SU_STRUCT; break;
      case 'u': k |= SU_UNION; break;
      default: return false;
    }
  }
  *kinds = k;
  return k != 0;
}

bool parse_jobs(const std::string &v, int *jobs) {
  if (v.empty() || v.size() > 3) return false;
  int n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxJobs) return false;
  *jobs = n;
  return true;
}

bool parse_exts(const std::string &v, std::vector<std::string> *exts) {
  std::vector<std::string> list;
  size_t start = 0;
  for (;;) {
    size_t comma = v.find(',', start);
    std::string item = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (item.empty() || item == ".") return false;
    list.push_back(item[0] == '.' ? item : "." + item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  *exts = list;
  return true;
}

// Each line of the file is one entry, without its line end.
bool read_names_file(const std::string &path, NameList *names, std::string *error) {
  std::string text;
  FILE *f = std::fopen(path.c_str(), "rb");
  int read_errno = errno;
  if (f != nullptr) {
    char buf[16384];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    read_errno = std::ferror(f) ? errno : 0;
    std::fclose(f);
  }
  if (read_errno != 0) {
    *error = "cannot read names from '" + path + "': " + std::strerror(read_errno);
    return false;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t stop = nl == std::string::npos ? text.size() : nl;
    std::string line = text.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = line.substr(0, line.find('\0'));
    if (!names->add(line)) {
      *error = "out of memory";
      return false;
    }
    start = stop + 1;
  }
  return true;
}

bool apply(Opt opt, const std::string &value, IndexOptions *o, std::string *error) {
  switch (opt) {
    case Opt::kKinds:
      if (parse_kinds(value, &o->kinds)) return true;
      *error = "invalid kinds '" + value + "' (any of d, t, s, u)";
      return false;
    case Opt::kNames:
      if (o->names.add_list(value)) return true;
      *error = "out of memory";
      return false;
    case Opt::kNamesFrom:
      return read_names_file(value, &o->names, error);
    case Opt::kEncoding:
      if (value == "auto") o->encoding = Encoding::kAuto;
      else if (value == "sjis") o->encoding = Encoding::kShiftJis;
      else if (value == "utf-8") o->encoding = Encoding::kUtf8;
      else if (value == "euc-jp") o->encoding = Encoding::kEucJp;
      else {
        *error = "invalid encoding '" + value + "' (auto, sjis, utf-8 or euc-jp)";
        return false;
      }
      return true;
    case Opt::kFormat:
      if (value == "json") o->format = IndexFormat::kJson;
      else if (value == "tags") o->format = IndexFormat::kTags;
      else {
        *error = "invalid format '" + value + "' (json or tags)";
        return false;
      }
      return true;
    case Opt::kExt:
      if (parse_exts(value, &o->exts)) return true;
      *error = "invalid extension list '" + value + "'";
      return false;
    case Opt::kJobs:
      if (parse_jobs(value, &o->jobs)) return true;
      *error = "invalid number of jobs '" + value + "' (1 to 256)";
      return false;
    case Opt::kHelp: o->help = true; return true;
    case Opt::kVersion: o->version = true; return true;
  }
  return false;
}

}  // namespace

bool parse_index_options(int argc, char **argv, int processors, IndexOptions *o,
                         std::string *error) {
  o->exts = default_source_exts();
  o->kinds = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;
  o->jobs = processors < 1 ? 1 : processors > kMaxJobs ? kMaxJobs : processors;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (options_end || arg == "-" || arg.size() < 2 || arg[0] != '-') {
      o->paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    Opt opt;
    std::string value;
    bool takes_value, has_value = false;
    std::string shown;  // the option as named in messages
    if (arg[1] == '-') {
      size_t eq = arg.find('=');
      const LongOpt *lo = find_long(arg.substr(2, eq == std::string::npos ? eq : eq - 2), error);
      if (lo == nullptr) return false;
      opt = lo->opt;
      takes_value = lo->takes_value;
      shown = std::string("--") + lo->name;
      if (eq != std::string::npos) {
        if (!takes_value) {
          *error = "option '" + shown + "' takes no value";
          return false;
        }
        value = arg.substr(eq + 1);
        has_value = true;
      }
    } else if (arg[1] == 'j') {
      opt = Opt::kJobs;
      takes_value = true;
      shown = "-j";
      if (arg.size() > 2) {
        value = arg.substr(2);
        has_value = true;
      }
    } else if (arg == "-h") {
      opt = Opt::kHelp;
      takes_value = false;
    } else {
      *error = "unknown option '" + arg + "'";
      return false;
    }
    if (takes_value && !has_value) {
      if (i + 1 == argc) {
        *error = "option '" + shown + "' needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!apply(opt, value, o, error)) return false;
    if (o->help || o->version) return true;
  }
  if (o->paths.empty()) {
    *error = "no path given";
    return false;
  }
  return true;
}

}  // namespace kolvu
