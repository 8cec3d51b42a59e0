// The records the complete mode hands over for a source, one line each, for
// tables of expected results.
#ifndef KOLVU_TESTS_COMPLETE_SUMMARY_H_
#define KOLVU_TESTS_COMPLETE_SUMMARY_H_

#include <string>

namespace kolvu_test {

/// One line a record, the source read as Shift_JIS with the kinds and the
/// comma-separated names given (null: every name):
/// "<kind> <first>-<last>[ ^parent]: <kind>:<name>@<line>:<column> ...".
/// Kinds are their first letter, or with long_form their whole name, and
/// then a name's container follows it as "/<kind>:<scope>".
std::string complete_summary(const std::string &src, int kinds, const char *names,
                             bool long_form);

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_COMPLETE_SUMMARY_H_
