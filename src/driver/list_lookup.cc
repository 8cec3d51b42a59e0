// The index of the tool's list, in tables of fixed size.
#include "driver/list_lookup.h"

#include "driver/namelist.h"

namespace kolvu {

unsigned list_generation = 0;

namespace {

const int kSlots = 4096;  // a power of two, over twice the largest list

NameSlot exact_slots[kSlots];
NameSlot prefix_slots[kSlots];
NameIndex tool_index;
int indexed_cnt = -1;
unsigned indexed_generation = 0;

}  // namespace

const NameIndex &update_name_index() {
  if (indexed_cnt == list_cnt && indexed_generation == list_generation) return tool_index;
  tool_index.reset(exact_slots, prefix_slots, kSlots);
  for (int i = 0; i < list_cnt; ++i) tool_index.add(list[i]);
  indexed_cnt = list_cnt;
  indexed_generation = list_generation;
  return tool_index;
}

int index_lookup(const char *name, int n) { return tool_index.lookup(name, n); }

int walk_lookup(const char *name, int n) { return walk_names(list, list_cnt, name, n); }

}  // namespace kolvu
