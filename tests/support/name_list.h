// Starting the name list afresh in a test.
#ifndef KOLVU_TESTS_NAME_LIST_H_
#define KOLVU_TESTS_NAME_LIST_H_

#include <cstdlib>

#include "driver/namelist.h"

namespace kolvu_test {

/// The tool never releases entries; a test that starts the list afresh does.
inline void clear_list() {
  for (int i = 0; i < kolvu::list_cnt; ++i) std::free(kolvu::list[i]);
  kolvu::list_cnt = 0;
}

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_NAME_LIST_H_
