// The scanner library's two modes set side by side over one source: every
// #define the tool's mode gives must be a define record of the complete
// mode with the same bytes, and every top-level typedef, struct and union
// record of either mode must be the other's. Where they differ, the
// difference is named by the first row of a table that explains it: a
// reading that differs by design, or a known fault still to be mended.
// Used by the differential test and by the complete mode's fuzz target.
#ifndef KOLVU_TESTS_MODE_DIFF_H_
#define KOLVU_TESTS_MODE_DIFF_H_

#include <cstddef>
#include <string>
#include <vector>

#include "kolvu/scan.h"

namespace kolvu {
namespace modes {

struct Explanation;
struct Comparison;

/// One record as a mode gives it.
struct Record {
  DefKind kind;
  size_t begin, end;
  long parent;
  std::string text;
};

/// One definition on which the modes differ. tool or complete is null
/// where that mode has no record at begin.
struct Difference {
  size_t begin = 0;
  long line = 0;  // of begin, from 1
  const Record *tool = nullptr;
  const Record *complete = nullptr;
  /// The table row that explains it, or null.
  const Explanation *why = nullptr;
};

/// A row of the tables: a name, the reason, and whether it applies.
struct Explanation {
  const char *name;
  const char *reason;
  bool (*applies)(const std::string &src, const Comparison &c, const Difference &d);
};

/// The differences by design: the complete mode reads C as a compiler
/// does where the tool keeps its own rules.
extern const std::vector<Explanation> kByDesign;
/// The faults known and still to be mended in one mode or the other. A
/// difference that only these rows explain is a fault.
extern const std::vector<Explanation> kKnownFaults;

/// The records of both modes over src, and their differences, each
/// explained by the first row of kByDesign, else of kKnownFaults, that
/// applies, or left unexplained.
struct Comparison {
  std::vector<Record> tool, complete;
  std::vector<Difference> differences;
  std::string describe(const Difference &d) const;
};
Comparison compare(const std::string &src, Encoding encoding);

}  // namespace modes
}  // namespace kolvu

#endif  // KOLVU_TESTS_MODE_DIFF_H_
