// OptionList: one user setting — the selected row of a list of choices and how a row turns
// into a value. Every setting of the program is one of these.
//
// The index is the one word of a list that changes while frames flow: the main thread moves
// it (menus, keys, stored settings) while the frame, screen and interval threads read the
// values of some lists. It is therefore an atomic word; plain assignment and comparison keep
// working, and EffectiveRow reads it exactly once. The shape (default row, count, rows,
// base, step) changes only while no stream runs.
#pragma once

#include <atomic>
#include <cstdint>

struct OptionRow {
  const char *label;
  int32_t value;
};

struct OptionList {
  std::atomic<int32_t> index;  // selected row; negative selects the default row
  uint32_t defaultRow;
  uint32_t count;
  const OptionRow *table;  // null for an arithmetic list
  int32_t base;
  int32_t step;
};
static_assert(std::atomic<int32_t>::is_always_lock_free && sizeof(std::atomic<int32_t>) == 4);

inline uint32_t EffectiveRow(const OptionList &list) {
  int32_t index = list.index.load(std::memory_order_relaxed);
  return index >= 0 ? uint32_t(index) : list.defaultRow;
}

inline int32_t OptionValue(const OptionList &list) {
  uint32_t row = EffectiveRow(list);
  return list.table ? list.table[row].value : list.base + list.step * int32_t(row);
}

// Reshape a list into a rows table or an arithmetic list; the index is left as it is.
inline void ShapeTable(OptionList &list, const OptionRow *rows, uint32_t count, uint32_t defaultRow) {
  list.table = rows;
  list.count = count;
  list.defaultRow = defaultRow;
  list.base = 0;
  list.step = 0;
}

inline void ShapeArithmetic(OptionList &list, uint32_t count, int32_t base, int32_t step,
                            uint32_t defaultRow) {
  list.table = nullptr;
  list.count = count;
  list.defaultRow = defaultRow;
  list.base = base;
  list.step = step;
}

// One row of a labelled list as the program defines it: the label is language string
// `language` when that is not negative, else the fixed text.
struct RowDefinition {
  int16_t language;
  const char *text;
  int32_t value;
};

// Fills rows from their definitions, taking labels from the language table (169 strings,
// null when the table is not loaded).
inline void FillRows(OptionRow *rows, const RowDefinition *def, uint32_t count,
                     const char *const *language) {
  for (uint32_t i = 0; i < count; ++i) {
    rows[i].label = def[i].language >= 0 ? (language ? language[def[i].language] : nullptr)
                                          : def[i].text;
    rows[i].value = def[i].value;
  }
}
