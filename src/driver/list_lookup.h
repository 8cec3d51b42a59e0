// Looking a name up in the tool's name list: through the list's index, so
// asking whether a name is wanted costs a few hash probes rather than a walk
// of up to 1000 entries, or by that walk, which it answers exactly as; the
// index is rebuilt whenever the list has changed.
#ifndef KOLVU_DRIVER_LIST_LOOKUP_H_
#define KOLVU_DRIVER_LIST_LOOKUP_H_

#include "scanner/name_index.h"

namespace kolvu {

/// Counts changes to the list: every entry added bumps it.
extern unsigned list_generation;

/// Brings the index up to date with list and list_cnt and returns it. chk_type
/// does this itself; call it before the list is read from more than one thread.
const NameIndex &update_name_index();

/// 1 when the name of n bytes (letters, digits and '_' only, n <= 32) is
/// wanted by an entry of the list, else 0.
int index_lookup(const char *name, int n);

/// The same answer by walking every entry, one after the other.
int walk_lookup(const char *name, int n);

}  // namespace kolvu

#endif  // KOLVU_DRIVER_LIST_LOOKUP_H_
