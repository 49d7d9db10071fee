// OptionList: one user setting — the selected row of a list of choices and how a row turns
// into a value. Every setting of the program is one of these.
#pragma once

#include <cstdint>

struct OptionRow {
  const char *label;
  int32_t value;
};

struct OptionList {
  int32_t index;      // selected row; negative selects the default row
  uint32_t defaultRow;
  uint32_t count;
  const OptionRow *table;  // null for an arithmetic list
  int32_t base;
  int32_t step;
};

inline uint32_t EffectiveRow(const OptionList &list) {
  return list.index >= 0 ? uint32_t(list.index) : list.defaultRow;
}

inline int32_t OptionValue(const OptionList &list) {
  uint32_t row = EffectiveRow(list);
  return list.table ? list.table[row].value : list.base + list.step * int32_t(row);
}
