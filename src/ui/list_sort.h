// Column sorting of the analysis lists: one sort state for the whole window,
// a direction flag per list. Plain C++ so the rules are testable without Qt.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "presentation/rows.h"

namespace vornix {

/// <0, 0, >0. Numeric: decimal integers, anything else (empty, a blank) as -1.
/// Otherwise ASCII letters are compared without case, and double quotes are
/// ignored unless `keepQuotes` (the XML viewer compares its cells as they stand).
int CompareCells(const std::string& a, const std::string& b, bool numeric, bool keepQuotes = false);

/// Sorts rows on the cell under `key`; equal cells keep their order.
void SortRows(std::vector<ListRow>& rows, int key, bool numeric, bool descending, bool keepQuotes = false);

class ListSortState {
 public:
  /// A click on the column with sort key `key` of list `list`: returns true
  /// when this sort is descending, and flips the list's direction for the next one.
  bool columnClick(const std::string& list, int key);
  /// Every direction flag back to 0, no list sorted last.
  void ResetSortState();

  const std::string& LastSortedList() const { return m_lastList; }
  int LastSortedColumn() const { return m_lastColumn; }
  int direction(const std::string& list) const;

 private:
  std::string m_lastList;
  int m_lastColumn = -1;
  std::map<std::string, int> m_direction;
};

}  // namespace vornix
