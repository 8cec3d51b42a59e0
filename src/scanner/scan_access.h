// What the scanner library's own files may see of a NameList.
#ifndef KOLVU_SCANNER_SCAN_ACCESS_H_
#define KOLVU_SCANNER_SCAN_ACCESS_H_

#include "kolvu/scan.h"
#include "scanner/name_index.h"

namespace kolvu {

struct ScanAccess {
  /// The list's index; null for a null or empty list.
  static const NameIndex *index_of(const NameList *list);
};

}  // namespace kolvu

#endif  // KOLVU_SCANNER_SCAN_ACCESS_H_
