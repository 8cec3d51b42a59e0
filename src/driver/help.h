// The help table: 24 lines of Shift_JIS text and an empty string that ends
// it. Line 2 is also the usage line.
#ifndef KOLVU_DRIVER_HELP_H_
#define KOLVU_DRIVER_HELP_H_

namespace kolvu {

extern const char *const help_table[];
const int kUsageLine = 2;

/// Writes every help line, each followed by "\n", to standard output.
void print_help();

/// Writes the usage line and "\n" to standard error.
void print_usage();

}  // namespace kolvu

#endif  // KOLVU_DRIVER_HELP_H_
