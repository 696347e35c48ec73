// The kept per-value table the linear classifier and naive Bayes share.
#include <gtest/gtest.h>

#include <vector>

#include "ValueRows.h"

TEST(TValueRows, RowsFollowTheWidthsAndKeepTheirEntriesWhileTheLayoutStays) {
  TValueRows<int> Rows;
  const std::vector<int32_t> Widths{2, 0, 3};
  EXPECT_EQ(TValueRows<int>::EntriesFor(Widths, 1, 4), 24u);
  EXPECT_TRUE(Rows.LayOut(Widths, 1, 4));
  EXPECT_EQ(Rows.RowCount(), 6u);
  EXPECT_EQ(Rows.Row(0, 1), 1u);
  EXPECT_EQ(Rows.Row(2, 0), 2u);
  EXPECT_EQ(Rows.SpareRow(), 5u);
  EXPECT_EQ(Rows.Width(2), 3);
  EXPECT_EQ(Rows.Entries(3) - Rows.Entries(2), 4);  // classes side by side
  Rows.Entries(Rows.Row(2, 2))[3] = 7;
  EXPECT_FALSE(Rows.LayOut(Widths, 1, 4));
  EXPECT_EQ(Rows.Entries(4)[3], 7);
  EXPECT_TRUE(Rows.LayOut(std::vector<int32_t>{2, 1, 3}, 1, 4));  // a wider attribute moves the rows after it
  EXPECT_EQ(Rows.Row(2, 0), 3u);
  EXPECT_TRUE(Rows.LayOut(std::vector<int32_t>{2, 1, 3}, 1, 5));
}
