// The k-NN search's block layout of the stored examples and the bound that
// rules examples out before their exact distance is computed.
#include "ExampleBlocks.h"

#include <emmintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

constexpr size_t L = TExampleBlocks::kLanes;
constexpr double kLargest = std::numeric_limits<double>::max();

}  // namespace

bool TExampleBlocks::BuiltFor(int32_t DiscreteCount, int32_t FloatCount, double MissingFloat) const {
  return DiscreteCount == FDiscreteCount && FloatCount == FFloatCount &&
         std::bit_cast<uint64_t>(MissingFloat) == std::bit_cast<uint64_t>(FMissingFloat);
}

void TExampleBlocks::Reset(int32_t DiscreteCount, int32_t FloatCount, double MissingFloat) {
  FDiscreteCount = DiscreteCount;
  FFloatCount = FloatCount;
  FMissingFloat = MissingFloat;
  FCount = 0;
  std::vector<int32_t>().swap(FDiscrete);
  std::vector<double>().swap(FFloat);
  std::vector<uint8_t>().swap(FComplete);
}

bool TExampleBlocks::IsMissing(double Value) const { return !std::isfinite(Value) || Value == FMissingFloat; }

void TExampleBlocks::Append(std::span<const int32_t> Discrete, std::span<const double> Float) {
  const size_t D = static_cast<size_t>(FDiscreteCount);
  const size_t F = static_cast<size_t>(FFloatCount);
  const size_t Block = FCount / L;
  const size_t Lane = FCount % L;
  if (Lane == 0) {
    // A new block; its unused lanes hold missing values.
    FDiscrete.resize(FDiscrete.size() + D * L, -1);
    FFloat.resize(FFloat.size() + F * L, std::numeric_limits<double>::quiet_NaN());
  }
  int32_t* DB = FDiscrete.data() + Block * D * L + Lane;
  for (size_t a = 0; a < D; ++a) DB[a * L] = Discrete[a];
  double* FB = FFloat.data() + Block * F * L + Lane;
  bool Complete = true;
  for (size_t a = 0; a < F; ++a) {
    const bool Missing = IsMissing(Float[a]);
    FB[a * L] = Missing ? std::numeric_limits<double>::quiet_NaN() : Float[a];
    Complete = Complete && !Missing;
  }
  FComplete.push_back(Complete ? 1 : 0);
  ++FCount;
}

void TExampleBlocks::Truncate(size_t Count) {
  if (Count >= FCount) return;
  FCount = Count;
  FComplete.resize(Count);
  const size_t Blocks = BlockCount();
  FDiscrete.resize(Blocks * static_cast<size_t>(FDiscreteCount) * L);
  FFloat.resize(Blocks * static_cast<size_t>(FFloatCount) * L);
  // The freed lanes of the last block become padding again.
  for (size_t i = Count; i < Blocks * L; ++i) {
    const size_t Block = i / L;
    const size_t Lane = i % L;
    for (size_t a = 0; a < static_cast<size_t>(FDiscreteCount); ++a)
      FDiscrete[(Block * static_cast<size_t>(FDiscreteCount) + a) * L + Lane] = -1;
    for (size_t a = 0; a < static_cast<size_t>(FFloatCount); ++a)
      FFloat[(Block * static_cast<size_t>(FFloatCount) + a) * L + Lane] = std::numeric_limits<double>::quiet_NaN();
  }
}

uint32_t TExampleBlocks::MayEnter(size_t Block, const TScanQuery& Query, double Far) const {
  return Query.Norm2 ? MayEnterBy<true>(Block, Query, Far) : MayEnterBy<false>(Block, Query, Far);
}

// Why ruling an example out is safe. Let n be its number of compared
// attributes and T its exact total (float sum plus mismatches); it is
// dropped when sqrt(T / n), rounded, is not below Far, which holds once
// T >= Far^2 x n x (1 + 2^-48) in real numbers.
//
// Every term is >= 0, so each partial sum here and in the exact sum only
// grows, and a partial sum is a lower bound of the whole. With m terms, each
// way of summing stays within a factor (1 +- u)^(m + 8) (u = 2^-53) of the
// real sum of the real terms (the exact way rounds in extended precision and
// then to double per step, both monotone); so Sum x (1 - (m + 16) x 2^-50)
// is below the exact T, with room for the roundings of that product and of
// the subtraction. A fixed slack (m + 1) x 2^-1000 covers the absolute
// errors of underflow, which also keeps an example whose T may be 0 (and its
// distance 0) from being ruled out. Limit = Far^2 (1 + 2^-46) n, rounded
// twice, stays above Far^2 n (1 + 2^-48). n here counts every comparable
// float attribute of the query, at least the true count, which only lowers
// the bound. A NaN term (a missing value, or infinity times a zero scale)
// counts as 0; a sum that overflowed rules nothing out (the exact sum,
// extended in between, may not overflow).
template <bool Norm2>
uint32_t TExampleBlocks::MayEnterBy(size_t Block, const TScanQuery& Query, double Far) const {
  static_assert(L == 8, "the kernel below works on 8 lanes");
  const int32_t* DB = FDiscrete.data() + Block * static_cast<size_t>(FDiscreteCount) * L;
  const double* FB = FFloat.data() + Block * static_cast<size_t>(FFloatCount) * L;
  // Counts kept negative: a comparison's all-ones lane is -1.
  __m128i Compared0 = _mm_setzero_si128(), Compared1 = _mm_setzero_si128();
  __m128i Diff0 = _mm_setzero_si128(), Diff1 = _mm_setzero_si128();
  const __m128i MinusOne = _mm_set1_epi32(-1);
  const __m128i MissingCode = _mm_set1_epi32(Query.MissingDiscrete);
  for (const TScanDiscrete& A : Query.Discrete) {
    const __m128i* V = reinterpret_cast<const __m128i*>(DB + static_cast<size_t>(A.Index) * L);
    const __m128i Value = _mm_set1_epi32(A.Value);
    const __m128i V0 = _mm_loadu_si128(V), V1 = _mm_loadu_si128(V + 1);
    const __m128i Ok0 = _mm_andnot_si128(_mm_cmpeq_epi32(V0, MissingCode), _mm_cmpgt_epi32(V0, MinusOne));
    const __m128i Ok1 = _mm_andnot_si128(_mm_cmpeq_epi32(V1, MissingCode), _mm_cmpgt_epi32(V1, MinusOne));
    Compared0 = _mm_add_epi32(Compared0, Ok0);
    Compared1 = _mm_add_epi32(Compared1, Ok1);
    Diff0 = _mm_add_epi32(Diff0, _mm_andnot_si128(_mm_cmpeq_epi32(V0, Value), Ok0));
    Diff1 = _mm_add_epi32(Diff1, _mm_andnot_si128(_mm_cmpeq_epi32(V1, Value), Ok1));
  }
  const double Terms = static_cast<double>(Query.Float.size() + Query.Discrete.size());
  const __m128d Keep = _mm_set1_pd(1.0 - (Terms + 16.0) * 0x1p-50);
  const __m128d Slack = _mm_set1_pd((Terms + 1.0) * 0x1p-1000);
  const __m128d Cut = _mm_set1_pd(Far * Far * (1.0 + 0x1p-46));
  const __m128d FloatCount = _mm_set1_pd(static_cast<double>(Query.Float.size()));
  const __m128d Largest = _mm_set1_pd(kLargest);
  const __m128d Zero = _mm_setzero_pd();
  const __m128d SignBit = _mm_set1_pd(-0.0);
  // Lanes 0-1, 2-3, 4-5, 6-7 of a vector of 32-bit counts, as doubles.
  auto Low = [](__m128i X) { return _mm_cvtepi32_pd(X); };
  auto High = [](__m128i X) { return _mm_cvtepi32_pd(_mm_shuffle_epi32(X, 0x0E)); };
  __m128d Sum[4] = {_mm_sub_pd(Zero, Low(Diff0)), _mm_sub_pd(Zero, High(Diff0)), _mm_sub_pd(Zero, Low(Diff1)),
                    _mm_sub_pd(Zero, High(Diff1))};
  const __m128d Count[4] = {Low(Compared0), High(Compared0), Low(Compared1), High(Compared1)};
  __m128d Limit[4];
  for (size_t k = 0; k < 4; ++k) Limit[k] = _mm_mul_pd(Cut, _mm_sub_pd(FloatCount, Count[k]));
  // Two bits per vector: set where that lane is ruled out.
  auto RuledOut = [&](size_t k) {
    const __m128d Bound = _mm_sub_pd(_mm_mul_pd(Sum[k], Keep), Slack);
    return _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(Bound, Limit[k]), _mm_cmple_pd(Sum[k], Largest)));
  };
  size_t Done = 0;
  for (const TScanFloat& A : Query.Float) {
    const double* V = FB + static_cast<size_t>(A.Index) * L;
    const __m128d Value = _mm_set1_pd(A.Value);
    const __m128d Scale = _mm_set1_pd(A.Scale);
    for (size_t k = 0; k < 4; ++k) {
      const __m128d Diff = _mm_sub_pd(_mm_loadu_pd(V + 2 * k), Value);
      __m128d Term;
      if constexpr (Norm2) {
        const __m128d P = _mm_mul_pd(Diff, Scale);
        Term = _mm_mul_pd(P, P);
      } else {
        Term = _mm_mul_pd(_mm_andnot_pd(SignBit, Diff), Scale);
      }
      // MAXPD answers its second operand when the first is NaN: a missing
      // value adds 0.
      Sum[k] = _mm_add_pd(Sum[k], _mm_max_pd(Term, Zero));
    }
    // Most examples are out long before the last attribute.
    if (++Done % 4 == 0 && (RuledOut(0) & RuledOut(1) & RuledOut(2) & RuledOut(3)) == 3) return 0;
  }
  const uint32_t Out = static_cast<uint32_t>(RuledOut(0) | RuledOut(1) << 2 | RuledOut(2) << 4 | RuledOut(3) << 6);
  const size_t Present = std::min(L, FCount - Block * L);
  return ~Out & ((1u << Present) - 1);
}
