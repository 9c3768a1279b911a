#include "ui/list_sort.h"

#include <algorithm>

#include "common/text.h"

namespace vornix {
namespace {

int64_t NumericValue(const std::string& cell) {
  int64_t value = 0;
  return ParseInt64(cell, value) ? value : -1;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int CompareCells(const std::string& a, const std::string& b, bool numeric, bool keepQuotes) {
  if (numeric) {
    int64_t x = NumericValue(a), y = NumericValue(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  size_t i = 0, j = 0;
  for (;;) {
    while (!keepQuotes && i < a.size() && a[i] == '"') ++i;
    while (!keepQuotes && j < b.size() && b[j] == '"') ++j;
    if (i == a.size() || j == b.size()) return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
    auto x = static_cast<unsigned char>(FoldAscii(a[i])), y = static_cast<unsigned char>(FoldAscii(b[j]));
    if (x != y) return x < y ? -1 : 1;
    ++i;
    ++j;
  }
}

void SortRows(std::vector<ListRow>& rows, int key, bool numeric, bool descending, bool keepQuotes) {
  const auto k = static_cast<size_t>(key);
  std::stable_sort(rows.begin(), rows.end(), [&](const ListRow& a, const ListRow& b) {
    int c = CompareCells(a.cell(k), b.cell(k), numeric, keepQuotes);
    return descending ? c > 0 : c < 0;
  });
}

bool ListSortState::columnClick(const std::string& list, int key) {
  if (list != m_lastList || key != m_lastColumn) {
    m_lastList = list;
    m_lastColumn = key;
    m_direction[list] = 0;
  }
  int& flag = m_direction[list];
  bool descending = flag == 1;
  flag = 1 - flag;
  return descending;
}

void ListSortState::ResetSortState() {
  m_direction.clear();
  m_lastList.clear();
  m_lastColumn = -1;
}

int ListSortState::direction(const std::string& list) const {
  auto it = m_direction.find(list);
  return it == m_direction.end() ? 0 : it->second;
}

}  // namespace vornix
