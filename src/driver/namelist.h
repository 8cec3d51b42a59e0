// The name list: the names and name prefixes a definition must match to be
// written. An empty list wants every name.
#ifndef KOLVU_DRIVER_NAMELIST_H_
#define KOLVU_DRIVER_NAMELIST_H_

#include "scanner/name_index.h"  // kNameMax: bytes of a name that chk_type compares

namespace kolvu {

const int kListSize = 1000;  // slots in list

/// Heap copies of the entries, slots 0 to list_cnt - 1 in the order added.
/// Entries are never changed or freed.
extern char *list[kListSize];
extern int list_cnt;

/// Adds the comma-separated items of text as entries, writing a NUL over
/// each ',' it passes. On a full table reports "list table overflown\n"
/// (once) and drops the rest.
void set_list(char *text);

/// Adds each line of the named file as an entry (without its '\n', up to its
/// first NUL). Reports "%s: not found\n" and returns 0 when the file cannot
/// be opened; ends the process with status 1 on a line of 1023 bytes or
/// more; reports "list table overflown\n" and stops reading when the table
/// is full. Otherwise returns the result of closing the file.
int set_listf(const char *fname);

/// 1 when the name (a run of at most 32 ASCII letters, digits and '_') that
/// begins at pos is wanted, else 0. Always 1 while the list is empty.
int chk_type(const char *pos);

}  // namespace kolvu

#endif  // KOLVU_DRIVER_NAMELIST_H_
