// The k-NN search's block layout and its bound: an example the bound rules
// out must have an exact distance at or beyond the farthest neighbour's,
// both kernels must answer alike, byte and 32-bit codes alike, and the bound
// must rule out what is clearly farther.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "ExampleBlocks.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Missing = 999.0;  // the missing float value the blocks are built for
constexpr int32_t MissingCode = 5;

struct TExample {
  std::vector<int32_t> D;
  std::vector<double> F;
};

bool MissingFloat(double V) { return !std::isfinite(V) || V == Missing; }
bool MissingDiscrete(int32_t V) { return V < 0 || V == MissingCode; }

// The documented distance between a stored example and the query the scan
// query describes (its attributes are the comparable ones).
double Distance(const TExample& E, const TScanQuery& Q) {
  double S = 0.0;
  int32_t Compared = 0;
  for (const TScanFloat& A : Q.Float) {
    const double X = E.F[static_cast<size_t>(A.Index)];
    if (MissingFloat(X)) continue;
    const long double D = static_cast<long double>(X) - static_cast<long double>(A.Value);
    const long double T = Q.Norm2 ? (D * A.Scale) * (D * A.Scale) : std::fabs(D) * A.Scale;
    S = static_cast<double>(static_cast<long double>(S) + T);
    ++Compared;
  }
  int32_t Differences = 0;
  for (const TScanDiscrete& A : Q.Discrete) {
    const int32_t X = E.D[static_cast<size_t>(A.Index)];
    if (MissingDiscrete(X)) continue;
    ++Compared;
    if (X != A.Value) ++Differences;
  }
  const double T = static_cast<double>(static_cast<long double>(S) + Differences);
  if (!(T > 0.0)) return 0.0;
  return static_cast<double>(std::sqrt(static_cast<long double>(T) / Compared));
}

class TRandomBlocks {
public:
  TRandomBlocks(uint32_t Seed, int32_t D, int32_t F, int32_t LargestCode, bool WithMissing)
      : FRng(Seed), FD(D), FF(F), FLargestCode(LargestCode), FWithMissing(WithMissing) {}

  int32_t Pick(int32_t Lo, int32_t Hi) { return std::uniform_int_distribution<int32_t>(Lo, Hi)(FRng); }
  double Real(double Lo, double Hi) { return std::uniform_real_distribution<double>(Lo, Hi)(FRng); }

  TExample Example() {
    TExample E;
    for (int32_t a = 0; a < FD; ++a) {
      const int32_t R = Pick(0, 9);
      E.D.push_back(FWithMissing && R == 0 ? -3 : FWithMissing && R == 1 ? MissingCode : Pick(0, FLargestCode));
    }
    for (int32_t a = 0; a < FF; ++a) {
      const int32_t R = Pick(0, 19);
      E.F.push_back(FWithMissing && R == 0 ? NaN : FWithMissing && R == 1 ? Missing : std::round(Real(-4, 4) * 8) / 8);
    }
    return E;
  }

  // A query over some of the attributes (the others switched off or
  // missing in the query).
  TScanQuery Query(bool Norm2) {
    TScanQuery Q;
    Q.Norm2 = Norm2;
    for (int32_t a = 0; a < FF; ++a)
      if (Pick(0, 5) != 0) Q.Float.push_back({a, std::round(Real(-4, 4) * 8) / 8, 1.0 / Pick(1, 9)});
    for (int32_t a = 0; a < FD; ++a)
      if (Pick(0, 5) != 0) Q.Discrete.push_back(ScanDiscrete(a, Pick(0, FLargestCode)));
    return Q;
  }

private:
  std::mt19937 FRng;
  int32_t FD, FF, FLargestCode;
  bool FWithMissing;
};

// Checks every block of Blocks (holding Examples) against Far: both
// kernels agree, lanes past the end are never set, and a lane ruled out
// lies at or beyond Far. Returns the number of lanes ruled out.
size_t CheckBlocks(TExampleBlocks& Blocks, const std::vector<TExample>& Examples, const TScanQuery& Q, double Far) {
  const TExampleBlocks::TBound B = TExampleBlocks::Bound(Q, Far);
  size_t RuledOut = 0;
  for (size_t Block = 0; Block < Blocks.BlockCount(); ++Block) {
    Blocks.SetUseAvx2(true);
    const uint32_t Wide = Blocks.MayEnter(Block, Q, B);
    Blocks.SetUseAvx2(false);
    const uint32_t Narrow = Blocks.MayEnter(Block, Q, B);
    EXPECT_EQ(Wide, Narrow) << "block " << Block;
    for (size_t l = 0; l < TExampleBlocks::kLanes; ++l) {
      const size_t i = Block * TExampleBlocks::kLanes + l;
      const bool May = (Narrow >> l & 1u) != 0;
      if (i >= Examples.size()) {
        EXPECT_FALSE(May) << "lane past the end, block " << Block;
        continue;
      }
      if (!May) {
        ++RuledOut;
        EXPECT_GE(Distance(Examples[i], Q), Far) << "example " << i << " ruled out below " << Far;
      }
    }
  }
  return RuledOut;
}

}  // namespace

TEST(TExampleBlocks, RuledOutExamplesLieAtOrBeyondTheFarthest) {
  // Far is set to exact distances of stored examples and to their
  // neighbouring doubles, where a careless bound goes wrong first.
  for (uint32_t Seed = 1; Seed <= 12; ++Seed) {
    const int32_t LargestCode = Seed % 3 == 0 ? 300 : 9;  // 300 needs 32-bit codes
    const int32_t D = Seed % 4 == 0 ? 130 : static_cast<int32_t>(Seed % 7);
    const int32_t F = static_cast<int32_t>((Seed * 5) % 9);
    TRandomBlocks R(Seed, D, F, LargestCode, Seed % 2 == 0);
    TExampleBlocks Blocks;
    Blocks.Reset(D, F, MissingCode, Missing);
    std::vector<TExample> Examples;
    for (int32_t i = R.Pick(1, 150); i > 0; --i) {
      Examples.push_back(R.Example());
      Blocks.Append(Examples.back().D, Examples.back().F);
    }
    ASSERT_EQ(Blocks.Count(), Examples.size());
    for (int32_t Round = 0; Round < 20; ++Round) {
      const TScanQuery Q = R.Query(Round % 2 == 1);
      const double At = Distance(Examples[static_cast<size_t>(R.Pick(0, static_cast<int32_t>(Examples.size()) - 1))], Q);
      for (double Far : {At, std::nextafter(At, 0.0), std::nextafter(At, 10.0), 0.0, At * 0.5})
        CheckBlocks(Blocks, Examples, Q, Far);
      if (HasFailure()) return;
    }
  }
}

TEST(TExampleBlocks, ClearlyFartherExamplesAreRuledOut) {
  // Without missing values, an example more than twice as far as Far must
  // not reach the exact distance: that is where the search saves its time.
  for (bool Norm2 : {false, true}) {
    TRandomBlocks R(Norm2 ? 8 : 9, 6, 7, 9, false);
    TExampleBlocks Blocks;
    Blocks.Reset(6, 7, MissingCode, Missing);
    std::vector<TExample> Examples;
    for (int32_t i = 0; i < 203; ++i) {
      Examples.push_back(R.Example());
      Blocks.Append(Examples.back().D, Examples.back().F);
    }
    const TScanQuery Q = R.Query(Norm2);
    double Nearest = std::numeric_limits<double>::infinity();
    for (const TExample& E : Examples)
      if (Distance(E, Q) > 0) Nearest = std::min(Nearest, Distance(E, Q));
    size_t Positive = 0;
    for (const TExample& E : Examples) Positive += Distance(E, Q) > 0 ? 1 : 0;
    EXPECT_EQ(CheckBlocks(Blocks, Examples, Q, Nearest / 2), Positive);
  }
}

TEST(TExampleBlocks, TruncateAndWidenKeepTheLayoutConsistent) {
  TRandomBlocks R(31, 3, 2, 9, true);
  TExampleBlocks Blocks;
  Blocks.Reset(3, 2, MissingCode, Missing);
  std::vector<TExample> Examples;
  for (int32_t i = 0; i < 21; ++i) {
    Examples.push_back(R.Example());
    Blocks.Append(Examples.back().D, Examples.back().F);
  }
  Blocks.Truncate(10);
  Examples.resize(10);
  EXPECT_EQ(Blocks.Count(), 10u);
  EXPECT_EQ(Blocks.BlockCount(), 2u);
  // The lanes freed in the second block are no longer offered.
  const TScanQuery Q = R.Query(false);
  CheckBlocks(Blocks, Examples, Q, 0.0);
  // A code beyond a byte turns the codes 32-bit; the earlier ones keep
  // their values.
  Examples.push_back({{1000, 2, MissingCode}, {0.5, Missing}});
  Blocks.Append(Examples.back().D, Examples.back().F);
  for (int32_t i = 0; i < 9; ++i) {
    Examples.push_back(R.Example());
    Blocks.Append(Examples.back().D, Examples.back().F);
  }
  for (int32_t Round = 0; Round < 10; ++Round) {
    TScanQuery Q2 = R.Query(Round % 2 == 0);
    if (!Q2.Discrete.empty()) Q2.Discrete[0] = ScanDiscrete(Q2.Discrete[0].Index, 1000);
    for (size_t i = 0; i < Examples.size(); ++i) CheckBlocks(Blocks, Examples, Q2, Distance(Examples[i], Q2));
  }
  EXPECT_FALSE(Blocks.Complete(10));
  Blocks.Reset(3, 2, MissingCode, Missing);
  EXPECT_EQ(Blocks.Count(), 0u);
  EXPECT_EQ(Blocks.BlockCount(), 0u);
}

// Found by fuzzing a model stream: without float attributes the float array
// is empty, and placing the second example of a block added an offset to its
// null data pointer (undefined behaviour, reported under UBSan).
TEST(TExampleBlocks, LayoutsWithOnlyOneKindOfAttribute) {
  TExampleBlocks DiscreteOnly;
  DiscreteOnly.Reset(2, 0, MissingCode, Missing);
  for (int32_t i = 0; i < 11; ++i) DiscreteOnly.Append(std::vector<int32_t>{i % 3, MissingCode}, {});
  EXPECT_EQ(DiscreteOnly.Count(), 11u);
  EXPECT_EQ(DiscreteOnly.BlockCount(), (11 + TExampleBlocks::kLanes - 1) / TExampleBlocks::kLanes);
  EXPECT_TRUE(DiscreteOnly.Complete(10));

  TExampleBlocks FloatOnly;
  FloatOnly.Reset(0, 2, MissingCode, Missing);
  for (int32_t i = 0; i < 11; ++i) FloatOnly.Append({}, std::vector<double>{1.0 * i, i == 7 ? Missing : 0.5});
  EXPECT_EQ(FloatOnly.Count(), 11u);
  EXPECT_FALSE(FloatOnly.Complete(7));
  EXPECT_TRUE(FloatOnly.Complete(8));
}
