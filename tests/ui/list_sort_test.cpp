#include "ui/list_sort.h"

#include <gtest/gtest.h>

namespace vornix {
namespace {

TEST(ListSort, CompareCells) {
  struct Case {
    const char* a;
    const char* b;
    bool numeric;
    int sign;
  };
  const Case cases[] = {
      {"9", "10", true, -1},       {"10", "9", true, 1},     {"", "0", true, -1},    {" ", "", true, 0},
      {"-5", "", true, -1},        {"abc", "-1", true, 0},   {"9", "10", false, 1},  {"\"b\"", "a", false, 1},
      {"\"A2\"", "a", false, 1},   {"ABC", "abc", false, 0}, {"\"\"", "", false, 0}, {"a", "ab", false, -1},
      {"\xC9", "\xE9", false, -1},  // only ASCII letters are folded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    int r = CompareCells(c.a, c.b, c.numeric);
    EXPECT_EQ((r > 0) - (r < 0), c.sign);
  }
}

TEST(ListSort, DirectionFlagsPerListAndColumn) {
  ListSortState s;
  EXPECT_FALSE(s.columnClick("A", 1));
  EXPECT_TRUE(s.columnClick("A", 1));
  EXPECT_FALSE(s.columnClick("A", 1));
  EXPECT_FALSE(s.columnClick("A", 2));
  EXPECT_FALSE(s.columnClick("B", 2));
  EXPECT_FALSE(s.columnClick("A", 2));  // another list in between starts afresh
  EXPECT_EQ(s.direction("A"), 1);
  s.ResetSortState();
  EXPECT_EQ(s.direction("A"), 0);
  EXPECT_EQ(s.LastSortedColumn(), -1);
  EXPECT_EQ(s.LastSortedList(), "");
}

TEST(ListSort, SortRowsIsStableAndReadsShortRows) {
  std::vector<ListRow> rows = {{{"1", "x"}}, {{"2"}}, {{"3", "x"}}, {{"4", "a"}}};
  SortRows(rows, 1, false, false);
  std::vector<std::string> ids;
  for (const auto& r : rows) ids.push_back(r.cell(0));
  EXPECT_EQ(ids, (std::vector<std::string>{"2", "4", "1", "3"}));
  SortRows(rows, 1, false, true);
  ids.clear();
  for (const auto& r : rows) ids.push_back(r.cell(0));
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "3", "4", "2"}));
}

}  // namespace
}  // namespace vornix
