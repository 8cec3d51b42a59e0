#include "scanner/line_limit.h"

#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"

namespace kolvu {

void fail_long_line(const char *text) {
  errmsg("%s \nError: too long line found!\n", text);
  exit_process(kExitFailure);
}

}  // namespace kolvu
