// What the command lines of the programs over source trees share: GNU long
// options (a name, or the only one a shorter word begins, with its value
// after '=' or in the next argument), whole writes to a descriptor, and the
// count of processors that sets the default number of workers.
#ifndef KOLVU_COMMON_CLI_H_
#define KOLVU_COMMON_CLI_H_

#include <cstddef>
#include <cstring>
#include <string>

namespace kolvu {

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

/// Writes all of s to fd, going on after short writes and interruptions.
/// False when a write fails (errno tells why).
bool write_all(int fd, const std::string &s);

/// The processors online, at least 1.
int processor_count();

}  // namespace kolvu

#endif  // KOLVU_COMMON_CLI_H_
