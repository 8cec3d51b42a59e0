// What the command lines of the programs over source trees share: the walk
// over the arguments, GNU long options (a name, or the only one a shorter
// word begins, with its value after '=' or in the next argument) and short
// ones ("-x", or with a value "-xVALUE" or "-x VALUE"), lists separated by
// commas, and whole writes to a descriptor.
#ifndef KOLVU_COMMON_CLI_H_
#define KOLVU_COMMON_CLI_H_

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace kolvu {

/// An option of a program's table: its long name or its letter, what it
/// stands for, and whether it takes a value.
template <typename Opt>
struct LongOption {
  const char *name;
  Opt opt;
  bool takes_value;
};
template <typename Opt>
struct ShortOption {
  char letter;
  Opt opt;
  bool takes_value;
};

/// What a program says of an option it is given: read on, stop reading
/// (help, version: what follows is not looked at), or fail (its message
/// set).
enum class OptionStep { kNext, kStop, kFail };

/// Reads arg, which begins with "--": the entry of table (each with a name
/// and takes_value) that it names, exactly or as the only one whose name it
/// begins, and the value after an '=' (*has_value says whether one is
/// there). Null with a one-line message ("unknown option '--x'",
/// "ambiguous option '--x'", "option '--name' takes no value") otherwise.
template <typename Option, size_t N>
const Option *read_long_option(const Option (&table)[N], const std::string &arg,
                               std::string *value, bool *has_value, std::string *error) {
  const size_t eq = arg.find('=');
  const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
  const Option *found = nullptr;
  int matches = 0;
  for (const Option &o : table) {
    if (name == o.name) {
      found = &o;
      matches = 1;
      break;
    }
    if (!name.empty() && std::strncmp(o.name, name.c_str(), name.size()) == 0) {
      found = &o;
      ++matches;
    }
  }
  if (matches != 1) {
    *error = (matches == 0 ? "unknown option '--" : "ambiguous option '--") + name + "'";
    return nullptr;
  }
  *has_value = eq != std::string::npos;
  if (*has_value) {
    if (!found->takes_value) {
      *error = std::string("option '--") + found->name + "' takes no value";
      return nullptr;
    }
    *value = arg.substr(eq + 1);
  }
  return found;
}

/// Reads the arguments after argv[0] in turn. Each option of longs or shorts
/// goes with its value to take(opt, value, error). An operand (an argument
/// not beginning with '-', "-" itself, and each after "--") is appended to
/// operands, or, where operands is null, is refused: "unexpected argument
/// 'X'", and "no argument may follow '--'". False with a one-line message in
/// error for an unknown option ("unknown option '-x'"), a value missing
/// ("option '--name' needs a value"), one refused by read_long_option, or
/// a failure of take.
template <typename Opt, size_t NL, size_t NS, typename Take>
bool read_command_line(int argc, char **argv, const LongOption<Opt> (&longs)[NL],
                       const ShortOption<Opt> (&shorts)[NS], std::vector<std::string> *operands,
                       Take take, std::string *error) {
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_end || arg.size() < 2 || arg[0] != '-' || arg == "--") {
      if (operands == nullptr) {
        *error = arg == "--" ? "no argument may follow '--'" : "unexpected argument '" + arg + "'";
        return false;
      }
      if (arg == "--" && !options_end) options_end = true;
      else operands->push_back(arg);
      continue;
    }
    Opt opt{};
    bool takes_value = false, has_value = false;
    std::string value, shown;  // shown: the option as named in messages
    if (arg[1] == '-') {
      const LongOption<Opt> *lo = read_long_option(longs, arg, &value, &has_value, error);
      if (lo == nullptr) return false;
      opt = lo->opt;
      takes_value = lo->takes_value;
      shown = std::string("--") + lo->name;
    } else {
      const ShortOption<Opt> *so = nullptr;
      for (const ShortOption<Opt> &s : shorts)
        if (s.letter == arg[1] && (s.takes_value || arg.size() == 2)) so = &s;
      if (so == nullptr) {
        *error = "unknown option '" + arg + "'";
        return false;
      }
      opt = so->opt;
      takes_value = so->takes_value;
      shown = arg.substr(0, 2);
      if (takes_value && arg.size() > 2) {
        value = arg.substr(2);
        has_value = true;
      }
    }
    if (takes_value && !has_value) {
      if (i + 1 == argc) {
        *error = "option '" + shown + "' needs a value";
        return false;
      }
      value = argv[++i];
    }
    const OptionStep step = take(opt, value, error);
    if (step == OptionStep::kFail) return false;
    if (step == OptionStep::kStop) return true;
  }
  return true;
}

/// The items of a list separated by commas, empty ones included.
std::vector<std::string> split_commas(const std::string &list);

/// Writes all of s to fd, going on after short writes and interruptions.
/// False when a write fails (errno tells why).
bool write_all(int fd, const std::string &s);

}  // namespace kolvu

#endif  // KOLVU_COMMON_CLI_H_
