#include "index/options.h"

#include "common/cli.h"
#include "common/walk.h"
#include "common/kinds.h"

#include <cerrno>
#include <cstring>
#include <cstdio>

namespace kolvu {

namespace {

const int kMaxJobs = 256;

enum class Opt {
  kKinds, kNames, kNamesFrom, kEncoding, kFormat, kExt, kJobs, kHelp, kVersion,
  kFilesFrom, kNull, kStdinName, kExclude, kExcludeFrom, kFollow, kOutput, kUpdate, kAppend,
};

const LongOption<Opt> kLongOpts[] = {
    {"kinds", Opt::kKinds, true},          {"names", Opt::kNames, true},
    {"names-from", Opt::kNamesFrom, true}, {"encoding", Opt::kEncoding, true},
    {"format", Opt::kFormat, true},        {"ext", Opt::kExt, true},
    {"jobs", Opt::kJobs, true},            {"help", Opt::kHelp, false},
    {"version", Opt::kVersion, false},     {"files-from", Opt::kFilesFrom, true},
    {"null", Opt::kNull, false},           {"stdin-name", Opt::kStdinName, true},
    {"exclude", Opt::kExclude, true},      {"exclude-from", Opt::kExcludeFrom, true},
    {"follow", Opt::kFollow, false},       {"output", Opt::kOutput, true},
    {"update", Opt::kUpdate, true},
};

const ShortOption<Opt> kShortOpts[] = {
    {'j', Opt::kJobs, true}, {'o', Opt::kOutput, true}, {'h', Opt::kHelp, false},
    {'0', Opt::kNull, false}, {'a', Opt::kAppend, false},
};

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

bool parse_exts(const std::string &v, std::vector<std::string> *exts, std::string *error) {
  std::vector<std::string> list = split_commas(v);
  for (const std::string &item : list) {
    if (item.size() < 2 || item[0] != '.' || item.find_first_of("/*?[") != std::string::npos) {
      *error = "invalid ending '" + item + "' in '" + v + "' (a '.' then the rest of a name, as .h)";
      return false;
    }
  }
  *exts = list;
  return true;
}

// Why entry cannot be a name entry, or null when it can: a name, or the
// beginning of names followed by one '*'.
const char *bad_name_entry(const std::string &entry) {
  if (entry.empty()) return "an empty name";
  size_t star = entry.find('*');
  if (star != std::string::npos && star + 1 != entry.size())
    return "'*' stands only at the end of an entry";
  return nullptr;
}

std::string lower_ascii(std::string s) {
  for (char &c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

bool parse_encoding(const std::string &value, Encoding *encoding) {
  struct Alias {
    const char *name;
    Encoding encoding;
  };
  static const Alias kAliases[] = {
      {"auto", Encoding::kAuto},       {"sjis", Encoding::kShiftJis},
      {"shift_jis", Encoding::kShiftJis}, {"shift-jis", Encoding::kShiftJis},
      {"cp932", Encoding::kShiftJis},  {"ms932", Encoding::kShiftJis},
      {"windows-31j", Encoding::kShiftJis}, {"utf-8", Encoding::kUtf8},
      {"utf8", Encoding::kUtf8},       {"euc-jp", Encoding::kEucJp},
      {"eucjp", Encoding::kEucJp},     {"euc_jp", Encoding::kEucJp},
  };
  std::string v = lower_ascii(value);
  for (const Alias &a : kAliases) {
    if (v == a.name) {
      *encoding = a.encoding;
      return true;
    }
  }
  return false;
}

// Reads the whole of path ("-": standard input) into text.
bool read_list_file(const std::string &path, const char *what, std::string *text,
                    std::string *error) {
  bool from_stdin = path == "-";
  FILE *f = from_stdin ? stdin : std::fopen(path.c_str(), "rb");
  int read_errno = errno;
  if (f != nullptr) {
    char buf[16384];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
    read_errno = std::ferror(f) ? errno : 0;
    if (!from_stdin) std::fclose(f);
  }
  if (read_errno != 0) {
    *error = std::string("cannot read ") + what + " from '" + path + "': " + std::strerror(read_errno);
    return false;
  }
  return true;
}

// Calls add with each line of text, without its line end; false as soon as
// add is.
template <typename Add>
bool each_line(const std::string &text, Add add) {
  size_t start = 0;
  for (long number = 1; start < text.size(); ++number) {
    size_t nl = text.find('\n', start);
    size_t stop = nl == std::string::npos ? text.size() : nl;
    std::string line = text.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!add(line, number)) return false;
    start = stop + 1;
  }
  return true;
}

// Each line of the file is one entry, without its line end; blank lines
// are passed over.
bool read_names_file(const std::string &path, NameList *names, std::string *error) {
  std::string text;
  if (!read_list_file(path, "names", &text, error)) return false;
  return each_line(text, [&](const std::string &line, long number) {
    if (line.empty()) return true;
    if (const char *why = bad_name_entry(line)) {
      *error = "invalid name '" + line + "' at line " + std::to_string(number) + " of '" + path +
               "': " + why;
      return false;
    }
    if (names->add(line)) return true;
    *error = "out of memory";
    return false;
  });
}

bool read_excludes_file(const std::string &path, std::vector<std::string> *excludes,
                        std::string *error) {
  std::string text;
  if (!read_list_file(path, "patterns", &text, error)) return false;
  return each_line(text, [&](const std::string &line, long) {
    if (!line.empty() && line[0] != '#') excludes->push_back(line);
    return true;
  });
}

bool apply(Opt opt, const std::string &value, IndexOptions *o, std::string *error) {
  switch (opt) {
    case Opt::kKinds:
      if (parse_kind_letters(value, &o->kinds)) return true;
      *error = "invalid kinds '" + value + "' (any of " + kind_letter_list() + ", or all)";
      return false;
    case Opt::kNames:
      for (const std::string &entry : split_commas(value)) {
        if (const char *why = bad_name_entry(entry)) {
          *error = "invalid name list '" + value + "': " + why;
          return false;
        }
      }
      if (o->names.add_list(value)) return true;
      *error = "out of memory";
      return false;
    case Opt::kNamesFrom:
      if (value == "-") o->names_from_stdin = true;
      return read_names_file(value, &o->names, error);
    case Opt::kEncoding:
      if (parse_encoding(value, &o->encoding)) return true;
      *error = "invalid encoding '" + value + "' (auto, sjis, utf-8 or euc-jp)";
      return false;
    case Opt::kFormat:
      if (value == "json") o->format = IndexFormat::kJson;
      else if (value == "tags") o->format = IndexFormat::kTags;
      else if (value == "etags") o->format = IndexFormat::kEtags;
      else {
        *error = "invalid format '" + value + "' (json, tags or etags)";
        return false;
      }
      return true;
    case Opt::kExt:
      return parse_exts(value, &o->exts, error);
    case Opt::kJobs:
      if (parse_jobs(value, &o->jobs)) return true;
      *error = "invalid number of jobs '" + value + "' (1 to 256)";
      return false;
    case Opt::kHelp: o->help = true; return true;
    case Opt::kVersion: o->version = true; return true;
    case Opt::kFilesFrom:
      if (value.empty()) {
        *error = "an empty name for --files-from";
        return false;
      }
      o->files_from.push_back(value);
      return true;
    case Opt::kNull: o->null_separated = true; return true;
    case Opt::kStdinName: o->stdin_name = value; return true;
    case Opt::kExclude:
      if (value.empty()) {
        *error = "an empty pattern for --exclude";
        return false;
      }
      o->excludes.push_back(value);
      return true;
    case Opt::kExcludeFrom: return read_excludes_file(value, &o->excludes, error);
    case Opt::kFollow: o->follow = true; return true;
    case Opt::kOutput:
      if (value.empty()) {
        *error = "an empty name for --output";
        return false;
      }
      o->output = value;
      return true;
    case Opt::kUpdate:
      if (value.empty()) {
        *error = "an empty name for --update";
        return false;
      }
      o->update = value;
      return true;
    case Opt::kAppend: return true;  // settled once every option is read
  }
  return false;
}

// The checks that need every option read.
bool check_together(bool append, bool format_given, IndexOptions *o, std::string *error) {
  if (append && o->update.empty()) o->update = o->output.empty() ? "tags" : o->output;
  if (!o->update.empty()) {
    if (o->update == "-") {
      *error = "--update needs a tags file, not '-'";
      return false;
    }
    if (format_given && o->format != IndexFormat::kTags) {
      *error = "--update works on a tags file only (--format=tags)";
      return false;
    }
    o->format = IndexFormat::kTags;
    if (o->output.empty()) o->output = o->update;
  }
  int stdin_users = o->names_from_stdin ? 1 : 0;
  for (const std::string &p : o->paths) stdin_users += p == "-";
  for (const std::string &p : o->files_from) stdin_users += p == "-";
  if (stdin_users > 1) {
    *error = "standard input ('-') given more than once";
    return false;
  }
  if (o->paths.empty() && o->files_from.empty()) {
    *error = "no path given";
    return false;
  }
  return true;
}

}  // namespace

bool parse_index_options(int argc, char **argv, int processors, IndexOptions *o,
                         std::string *error) {
  o->exts = default_source_exts();
  o->kinds = kDefaultKinds;
  o->jobs = processors < 1 ? 1 : processors > kMaxJobs ? kMaxJobs : processors;
  bool append = false, format_given = false;
  const bool read = read_command_line(
      argc, argv, kLongOpts, kShortOpts, &o->paths,
      [&](Opt opt, const std::string &value, std::string *why) {
        format_given = format_given || opt == Opt::kFormat;
        append = append || opt == Opt::kAppend;
        if (!apply(opt, value, o, why)) return OptionStep::kFail;
        return o->help || o->version ? OptionStep::kStop : OptionStep::kNext;
      },
      error);
  if (!read) return false;
  if (o->help || o->version) return true;
  return check_together(append, format_given, o, error);
}

}  // namespace kolvu
