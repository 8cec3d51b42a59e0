// The kolvu utility library: every module's interface in one include.
#ifndef KOLVU_UTIL_H_
#define KOLVU_UTIL_H_

#include "kolvu/bytes.h"
#include "kolvu/errmsg.h"
#include "kolvu/exit_status.h"
#include "kolvu/fname.h"
#include "kolvu/mem.h"
#include "kolvu/search.h"
#include "kolvu/text.h"
#include "kolvu/textio.h"

#endif  // KOLVU_UTIL_H_
