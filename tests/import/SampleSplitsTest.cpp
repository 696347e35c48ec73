// Split fields: stratified thirds, reproducible, different between splits.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "SampleSplits.h"

namespace {

std::vector<int32_t> Classes(std::initializer_list<std::pair<int32_t, int32_t>> CodeCounts) {
  std::vector<int32_t> Codes;
  // Interleave the classes so that no class sits in one block of rows.
  bool Added = true;
  for (int32_t k = 0; Added; ++k) {
    Added = false;
    for (auto [Code, Count] : CodeCounts)
      if (k < Count) {
        Codes.push_back(Code);
        Added = true;
      }
  }
  return Codes;
}

}  // namespace

TEST(TSampleSplits, EachClassGivesOneThirdToTheTestPart) {
  const std::vector<int32_t> Codes = Classes({{0, 201}, {1, 85}, {2, 1}, {3, 2}, {4, 4}});
  const TSampleSplits Splits(Codes, 6);
  const size_t Expected[6] = {67, 28, 0, 1, 1, 0};
  for (int32_t s = 0; s < TSampleSplits::Count; ++s) {
    size_t Tested[6] = {};
    for (size_t r = 0; r < Codes.size(); ++r)
      if (Splits.IsTest(s, r)) ++Tested[Codes[r]];
    for (int c = 0; c < 6; ++c) EXPECT_EQ(Tested[c], Expected[c]) << "split " << s << " class " << c;
  }
}

TEST(TSampleSplits, SameTableSameSplitsAndSplitsDiffer) {
  const std::vector<int32_t> Codes = Classes({{0, 50}, {1, 50}, {2, 50}});
  const TSampleSplits A(Codes, 3), B(Codes, 3);
  std::vector<int> TimesTested(Codes.size(), 0);
  for (int32_t s = 0; s < TSampleSplits::Count; ++s)
    for (size_t r = 0; r < Codes.size(); ++r) {
      ASSERT_EQ(A.IsTest(s, r), B.IsTest(s, r));
      TimesTested[r] += A.IsTest(s, r);
    }
  for (int32_t s = 1; s < TSampleSplits::Count; ++s) {
    size_t Differ = 0;
    for (size_t r = 0; r < Codes.size(); ++r) Differ += A.IsTest(s, r) != A.IsTest(s - 1, r);
    EXPECT_GT(Differ, 20u) << "split " << s << " repeats split " << s - 1;
  }
  // Every row serves in the test part of some splits and the learning part of others.
  for (size_t r = 0; r < Codes.size(); ++r) {
    EXPECT_GT(TimesTested[r], 0) << "row " << r;
    EXPECT_LT(TimesTested[r], TSampleSplits::Count) << "row " << r;
  }
}

TEST(TSampleSplits, FixedSeedsGiveTheSameRowsOnEveryPlatform) {
  // Stored tables depend on these rows; a change of engine, seed or shuffle shows here.
  const std::vector<int32_t> Codes(12, 0);
  const TSampleSplits Splits(Codes, 1);
  std::string Split0, Split31;
  for (size_t r = 0; r < Codes.size(); ++r) {
    Split0 += Splits.IsTest(0, r) ? '1' : '0';
    Split31 += Splits.IsTest(31, r) ? '1' : '0';
  }
  EXPECT_EQ(std::count(Split0.begin(), Split0.end(), '1'), 4);
  EXPECT_EQ(Split0, "100110001000");
  EXPECT_EQ(Split31, "000111000100");
}

TEST(TSampleSplits, TinyTablesStillHaveBothParts) {
  const std::vector<int32_t> One = {0};
  EXPECT_FALSE(TSampleSplits(One, 1).IsTest(0, 0));
  const std::vector<int32_t> Singletons = {0, 1, 2};
  const TSampleSplits S(Singletons, 3);
  for (int32_t s = 0; s < TSampleSplits::Count; ++s)
    EXPECT_EQ(S.IsTest(s, 0) + S.IsTest(s, 1) + S.IsTest(s, 2), 1) << "split " << s;
  const std::vector<int32_t> Empty;
  EXPECT_EQ(TSampleSplits(Empty, 2).Rows(), 0u);
}
