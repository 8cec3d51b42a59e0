// Reading a whole text file the way the scanner reads it, for the unit tests.
#ifndef KOLVU_TESTS_TEXT_FILE_H_
#define KOLVU_TESTS_TEXT_FILE_H_

#include <string>

#include "kolvu/textio.h"

namespace kolvu_test {

/// The whole text of f, a window at a time.
inline std::string drain(kolvu::TextFile *f) {
  std::string text;
  for (;;) {
    int avail = 0;
    bool rest = false;
    const char *w = kolvu::text_window(f, &avail, &rest);
    if (avail == 0) return text;
    text.append(w, static_cast<size_t>(avail));
    kolvu::text_consume(f, avail);
  }
}

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_TEXT_FILE_H_
