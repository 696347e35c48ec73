// The k-NN search's block layout of the stored examples and the bound that
// rules examples out before their exact distance is computed.
#include "ExampleBlocks.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>

namespace {

constexpr size_t L = TExampleBlocks::kLanes;
constexpr double kLargest = std::numeric_limits<double>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Narrow codes: every stored code (missing ones are -1) fits a signed byte,
// and a mismatch count of up to kNarrowAttributes fits one too.
constexpr int32_t kNarrowLargest = 127;
constexpr int32_t kNarrowAttributes = 120;

}  // namespace

namespace {

bool HasAvx2() {
  __builtin_cpu_init();  // the probe may run before the runtime's own start-up code
  return __builtin_cpu_supports("avx2");
}

}  // namespace

TScanDiscrete ScanDiscrete(int32_t Index, int32_t Value) {
  const uint8_t Byte = static_cast<uint8_t>(Value >= 0 && Value <= kNarrowLargest ? Value : -1);
  return {Index, Value, static_cast<int64_t>(Byte * 0x0101010101010101ULL)};
}

TExampleBlocks::TExampleBlocks() : FAvx2(HasAvx2()) {}

void TExampleBlocks::SetUseAvx2(bool Value) { FAvx2 = Value && HasAvx2(); }

bool TExampleBlocks::BuiltFor(int32_t DiscreteCount, int32_t FloatCount, int32_t MissingDiscrete,
                              double MissingFloat) const {
  return DiscreteCount == FDiscreteCount && FloatCount == FFloatCount && MissingDiscrete == FMissingDiscrete &&
         std::bit_cast<uint64_t>(MissingFloat) == std::bit_cast<uint64_t>(FMissingFloat);
}

void TExampleBlocks::Reset(int32_t DiscreteCount, int32_t FloatCount, int32_t MissingDiscrete,
                           double MissingFloat) {
  FDiscreteCount = DiscreteCount;
  FFloatCount = FloatCount;
  FMissingDiscrete = MissingDiscrete;
  FMissingFloat = MissingFloat;
  FCount = 0;
  FWide = DiscreteCount > kNarrowAttributes;
  std::vector<int8_t>().swap(FNarrow);
  std::vector<int32_t>().swap(FDiscrete);
  std::vector<double>().swap(FFloat);
  std::vector<uint8_t>().swap(FComplete);
}

bool TExampleBlocks::IsMissing(double Value) const { return !std::isfinite(Value) || Value == FMissingFloat; }

void TExampleBlocks::Widen() {
  FDiscrete.assign(FNarrow.begin(), FNarrow.end());
  std::vector<int8_t>().swap(FNarrow);
  FWide = true;
}

void TExampleBlocks::Append(std::span<const int32_t> Discrete, std::span<const double> Float) {
  const size_t D = static_cast<size_t>(FDiscreteCount);
  const size_t F = static_cast<size_t>(FFloatCount);
  const size_t Block = FCount / L;
  const size_t Lane = FCount % L;
  if (!FWide)
    for (int32_t V : Discrete)
      if (V > kNarrowLargest && V != FMissingDiscrete) {
        Widen();
        break;
      }
  const size_t At = Block * D * L + Lane;
  WithDiscreteStore([&](auto& Store) {
    using TCode = typename std::decay_t<decltype(Store)>::value_type;
    // A new block; its unused lanes hold missing values.
    if (Lane == 0) Store.resize(Store.size() + D * L, -1);
    for (size_t a = 0; a < D; ++a) {
      const int32_t V = Discrete[a];
      Store[At + a * L] = static_cast<TCode>(V < 0 || V == FMissingDiscrete ? -1 : V);
    }
  });
  if (Lane == 0) FFloat.resize(FFloat.size() + F * L, kNaN);
  // An index, not a pointer: without float attributes the array is empty
  // and its data() may be null, where no offset may be added.
  const size_t FAt = Block * F * L + Lane;
  bool Complete = true;
  for (size_t a = 0; a < F; ++a) {
    const bool Missing = IsMissing(Float[a]);
    FFloat[FAt + a * L] = Missing ? kNaN : Float[a];
    Complete = Complete && !Missing;
  }
  FComplete.push_back(Complete ? 1 : 0);
  ++FCount;
}

void TExampleBlocks::Truncate(size_t Count) {
  if (Count >= FCount) return;
  FCount = Count;
  FComplete.resize(Count);
  const size_t D = static_cast<size_t>(FDiscreteCount);
  const size_t F = static_cast<size_t>(FFloatCount);
  const size_t Blocks = BlockCount();
  FFloat.resize(Blocks * F * L);
  WithDiscreteStore([&](auto& Store) {
    Store.resize(Blocks * D * L);
    // The freed lanes of the last block become padding again.
    for (size_t i = Count; i < Blocks * L; ++i)
      for (size_t a = 0; a < D; ++a) Store[(i / L * D + a) * L + i % L] = -1;
  });
  for (size_t i = Count; i < Blocks * L; ++i)
    for (size_t a = 0; a < F; ++a) FFloat[(i / L * F + a) * L + i % L] = kNaN;
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
// then to double per step, both monotone); so Sum x Keep, Keep = 1 - (m +
// 16) x 2^-50, is below the exact T, with room for the roundings of that
// product and of the subtraction. A fixed Slack (m + 1) x 2^-1000 covers the
// absolute errors of underflow, which also keeps an example whose T may be
// 0 (and its distance 0) from being ruled out. Limit = Far^2 (1 + 2^-46) m,
// rounded twice, stays above Far^2 n (1 + 2^-48): m, every comparable
// attribute of the query, is at least n. A NaN term (a missing value, or
// infinity times a zero scale) counts as 0; a sum that overflowed rules
// nothing out (the exact sum, extended in between, may not overflow).
//
// The mismatch count alone is checked against Need, an integer at least 1
// above (Limit + Slack) / Keep, so Count x Keep - Slack >= Limit with a
// margin far beyond the roundings.
TExampleBlocks::TBound TExampleBlocks::Bound(const TScanQuery& Query, double Far) {
  const double Terms = static_cast<double>(Query.Float.size() + Query.Discrete.size());
  TBound B;
  B.Keep = 1.0 - (Terms + 16.0) * 0x1p-50;
  B.Slack = (Terms + 1.0) * 0x1p-1000;
  B.Limit = Far * Far * (1.0 + 0x1p-46) * Terms;
  const double Count = (B.Limit + B.Slack) / B.Keep;
  B.NegNeed = Count < 0x1p30 ? -(static_cast<int32_t>(Count) + 2) : -std::numeric_limits<int32_t>::max();
  return B;
}

namespace {

// The kernels. First the mismatches of the 8 lanes are counted (missing
// codes are stored as -1 and never count); when every lane has at least
// -NegNeed, the block is out. Counts are kept negated (a comparison's
// all-ones lane is -1) and handed on as two vectors of four 32-bit counts.
// Then the float terms are added in double; every two attributes the block
// is given up once all its lanes are out. The answer has a bit per lane
// ruled out.

// Mismatches over byte codes.
bool Mismatches(const int8_t* DB, const TScanQuery& Query, int32_t NegNeed, __m128i& Lo, __m128i& Hi) {
  __m128i Counts = _mm_setzero_si128();
  const __m128i MinusOne = _mm_set1_epi8(-1);
  // Counts never pass -kNarrowAttributes, so a need beyond -128 is never met.
  const __m128i Need = _mm_set1_epi8(static_cast<char>(std::max(NegNeed, -128)));
  size_t Done = 0;
  for (const TScanDiscrete& A : Query.Discrete) {
    const __m128i V = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(DB + static_cast<size_t>(A.Index) * L));
    // A query code no byte holds is -1 here, which matches only missing
    // codes, and those do not count anyway.
    const __m128i Value = _mm_cvtsi64_si128(A.Bytes);
    Counts = _mm_add_epi8(Counts, _mm_andnot_si128(_mm_cmpeq_epi8(V, Value), _mm_cmpgt_epi8(V, MinusOne)));
    if (++Done % 4 == 0 && (_mm_movemask_epi8(_mm_cmpgt_epi8(Counts, Need)) & 0xFF) == 0) return true;
  }
  if ((_mm_movemask_epi8(_mm_cmpgt_epi8(Counts, Need)) & 0xFF) == 0) return true;
  const __m128i Words = _mm_srai_epi16(_mm_unpacklo_epi8(Counts, Counts), 8);
  Lo = _mm_srai_epi32(_mm_unpacklo_epi16(Words, Words), 16);
  Hi = _mm_srai_epi32(_mm_unpackhi_epi16(Words, Words), 16);
  return false;
}

// Mismatches over 32-bit codes.
bool Mismatches(const int32_t* DB, const TScanQuery& Query, int32_t NegNeed, __m128i& Lo, __m128i& Hi) {
  Lo = _mm_setzero_si128();
  Hi = _mm_setzero_si128();
  const __m128i MinusOne = _mm_set1_epi32(-1);
  const __m128i Need = _mm_set1_epi32(NegNeed);
  size_t Done = 0;
  for (const TScanDiscrete& A : Query.Discrete) {
    const __m128i* V = reinterpret_cast<const __m128i*>(DB + static_cast<size_t>(A.Index) * L);
    const __m128i Value = _mm_set1_epi32(A.Value);
    const __m128i V0 = _mm_loadu_si128(V), V1 = _mm_loadu_si128(V + 1);
    Lo = _mm_add_epi32(Lo, _mm_andnot_si128(_mm_cmpeq_epi32(V0, Value), _mm_cmpgt_epi32(V0, MinusOne)));
    Hi = _mm_add_epi32(Hi, _mm_andnot_si128(_mm_cmpeq_epi32(V1, Value), _mm_cmpgt_epi32(V1, MinusOne)));
    if (++Done % 4 == 0 && _mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi32(Lo, Need), _mm_cmpgt_epi32(Hi, Need))) == 0)
      return true;
  }
  return _mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi32(Lo, Need), _mm_cmpgt_epi32(Hi, Need))) == 0;
}

// A bit per lane whose sum rules it out (two lanes per vector of Sum).
inline uint32_t GoneSse2(const __m128d* Sum, const TExampleBlocks::TBound& B) {
  const __m128d Keep = _mm_set1_pd(B.Keep), Slack = _mm_set1_pd(B.Slack), Limit = _mm_set1_pd(B.Limit);
  const __m128d Largest = _mm_set1_pd(kLargest);
  uint32_t Out = 0;
  for (size_t k = 0; k < 4; ++k) {
    const __m128d Lower = _mm_sub_pd(_mm_mul_pd(Sum[k], Keep), Slack);
    const __m128d Gone = _mm_and_pd(_mm_cmpge_pd(Lower, Limit), _mm_cmple_pd(Sum[k], Largest));
    Out |= static_cast<uint32_t>(_mm_movemask_pd(Gone)) << (2 * k);
  }
  return Out;
}

template <bool Norm2>
uint32_t FloatsSse2(const double* FB, const TScanQuery& Query, const TExampleBlocks::TBound& B, __m128i Lo,
                    __m128i Hi) {
  const __m128d Zero = _mm_setzero_pd();
  const __m128d SignBit = _mm_set1_pd(-0.0);
  __m128d Sum[4] = {_mm_sub_pd(Zero, _mm_cvtepi32_pd(Lo)), _mm_sub_pd(Zero, _mm_cvtepi32_pd(_mm_shuffle_epi32(Lo, 0x0E))),
                    _mm_sub_pd(Zero, _mm_cvtepi32_pd(Hi)), _mm_sub_pd(Zero, _mm_cvtepi32_pd(_mm_shuffle_epi32(Hi, 0x0E)))};
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
      // MAXPD answers its second operand when the first is NaN.
      Sum[k] = _mm_add_pd(Sum[k], _mm_max_pd(Term, Zero));
    }
    if (++Done % 2 == 0 && GoneSse2(Sum, B) == 0xFF) return 0xFF;
  }
  return GoneSse2(Sum, B);
}

// The same with four lanes per vector.
__attribute__((target("avx2"))) inline uint32_t GoneAvx2(const __m256d* Sum, const TExampleBlocks::TBound& B) {
  const __m256d Keep = _mm256_set1_pd(B.Keep), Slack = _mm256_set1_pd(B.Slack), Limit = _mm256_set1_pd(B.Limit);
  const __m256d Largest = _mm256_set1_pd(kLargest);
  uint32_t Out = 0;
  for (size_t k = 0; k < 2; ++k) {
    const __m256d Lower = _mm256_sub_pd(_mm256_mul_pd(Sum[k], Keep), Slack);
    const __m256d Gone =
        _mm256_and_pd(_mm256_cmp_pd(Lower, Limit, _CMP_GE_OQ), _mm256_cmp_pd(Sum[k], Largest, _CMP_LE_OQ));
    Out |= static_cast<uint32_t>(_mm256_movemask_pd(Gone)) << (4 * k);
  }
  return Out;
}

template <bool Norm2>
__attribute__((target("avx2"))) uint32_t FloatsAvx2(const double* FB, const TScanQuery& Query,
                                                    const TExampleBlocks::TBound& B, __m128i Lo, __m128i Hi) {
  const __m256d Zero = _mm256_setzero_pd();
  const __m256d SignBit = _mm256_set1_pd(-0.0);
  __m256d Sum[2] = {_mm256_sub_pd(Zero, _mm256_cvtepi32_pd(Lo)), _mm256_sub_pd(Zero, _mm256_cvtepi32_pd(Hi))};
  size_t Done = 0;
  for (const TScanFloat& A : Query.Float) {
    const double* V = FB + static_cast<size_t>(A.Index) * L;
    const __m256d Value = _mm256_set1_pd(A.Value);
    const __m256d Scale = _mm256_set1_pd(A.Scale);
    for (size_t k = 0; k < 2; ++k) {
      const __m256d Diff = _mm256_sub_pd(_mm256_loadu_pd(V + 4 * k), Value);
      __m256d Term;
      if constexpr (Norm2) {
        const __m256d P = _mm256_mul_pd(Diff, Scale);
        Term = _mm256_mul_pd(P, P);
      } else {
        Term = _mm256_mul_pd(_mm256_andnot_pd(SignBit, Diff), Scale);
      }
      Sum[k] = _mm256_add_pd(Sum[k], _mm256_max_pd(Term, Zero));
    }
    if (++Done % 2 == 0 && GoneAvx2(Sum, B) == 0xFF) return 0xFF;
  }
  return GoneAvx2(Sum, B);
}

}  // namespace

uint32_t TExampleBlocks::MayEnter(size_t Block, const TScanQuery& Query, const TBound& B) const {
  const size_t D = static_cast<size_t>(FDiscreteCount);
  __m128i Lo, Hi;
  const bool Out = WithDiscreteStore(
      [&](const auto& Store) { return Mismatches(Store.data() + Block * D * L, Query, B.NegNeed, Lo, Hi); });
  if (Out) return 0;
  const double* FB = FFloat.data() + Block * static_cast<size_t>(FFloatCount) * L;
  uint32_t Gone;
  if (FAvx2)
    Gone = Query.Norm2 ? FloatsAvx2<true>(FB, Query, B, Lo, Hi) : FloatsAvx2<false>(FB, Query, B, Lo, Hi);
  else
    Gone = Query.Norm2 ? FloatsSse2<true>(FB, Query, B, Lo, Hi) : FloatsSse2<false>(FB, Query, B, Lo, Hi);
  const size_t Present = std::min(L, FCount - Block * L);
  return ~Gone & ((1u << Present) - 1);
}
