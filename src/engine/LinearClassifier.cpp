// The linear classifier: value counts and running means/deviations per class
// and attribute, the typicality scores built on them, the class response,
// the class list's separability measures with the statistic classifier's
// whole-model measures built on them, and the linear classifier's attribute
// rating by them.
//
// Arithmetic follows the formulas step by step: intermediates in long double
// (80-bit extended), rounded to double wherever a value lands in a 64-bit
// variable, field or result, and to float where a score is 32-bit. Keeping
// that discipline is what makes a class that learned one value a few hundred
// times keep its mean exactly and a deviation of exactly 0.
#include "LinearClassifier.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "Exceptions.h"
#include "RangeSort.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::array<float, 301> kNormalTable = {
    0.50000f, 0.50399f, 0.50798f, 0.51197f, 0.51595f, 0.51994f, 0.52392f, 0.52790f, 0.53188f, 0.53586f,
    0.53983f, 0.54380f, 0.54776f, 0.55172f, 0.55567f, 0.55962f, 0.56356f, 0.56749f, 0.57142f, 0.57535f,
    0.57926f, 0.58317f, 0.58706f, 0.59095f, 0.59483f, 0.59871f, 0.60257f, 0.60642f, 0.61026f, 0.61409f,
    0.61791f, 0.62172f, 0.62552f, 0.62930f, 0.63307f, 0.63683f, 0.64058f, 0.64431f, 0.64803f, 0.65173f,
    0.65542f, 0.65910f, 0.66276f, 0.66640f, 0.67003f, 0.67364f, 0.67724f, 0.68082f, 0.68439f, 0.68793f,
    0.69146f, 0.69497f, 0.69847f, 0.70194f, 0.70540f, 0.70884f, 0.71226f, 0.71566f, 0.71904f, 0.72240f,
    0.72575f, 0.72907f, 0.73237f, 0.73565f, 0.73891f, 0.74215f, 0.74537f, 0.74857f, 0.75175f, 0.75490f,
    0.75804f, 0.76115f, 0.76424f, 0.76730f, 0.77035f, 0.77337f, 0.77637f, 0.77935f, 0.78230f, 0.78524f,
    0.78814f, 0.79103f, 0.79389f, 0.79673f, 0.79955f, 0.80234f, 0.80511f, 0.80785f, 0.81057f, 0.81327f,
    0.81594f, 0.81859f, 0.82121f, 0.82381f, 0.82639f, 0.82894f, 0.83147f, 0.83398f, 0.83646f, 0.83891f,
    0.84134f, 0.84375f, 0.84614f, 0.84849f, 0.85083f, 0.85314f, 0.85543f, 0.85769f, 0.85993f, 0.86214f,
    0.86433f, 0.86650f, 0.86864f, 0.87076f, 0.87286f, 0.87493f, 0.87698f, 0.87900f, 0.88100f, 0.88298f,
    0.88493f, 0.88686f, 0.88877f, 0.89065f, 0.89251f, 0.89435f, 0.89617f, 0.89796f, 0.89973f, 0.90147f,
    0.90320f, 0.90490f, 0.90658f, 0.90824f, 0.90988f, 0.91149f, 0.91309f, 0.91466f, 0.91621f, 0.91774f,
    0.91924f, 0.92073f, 0.92220f, 0.92364f, 0.92507f, 0.92647f, 0.92785f, 0.92922f, 0.93056f, 0.93189f,
    0.93319f, 0.93448f, 0.93574f, 0.93699f, 0.93822f, 0.93943f, 0.94062f, 0.94179f, 0.94295f, 0.94408f,
    0.94520f, 0.94630f, 0.94738f, 0.94845f, 0.94950f, 0.95053f, 0.95154f, 0.95254f, 0.95352f, 0.95449f,
    0.95543f, 0.95637f, 0.95728f, 0.95818f, 0.95907f, 0.95994f, 0.96080f, 0.96164f, 0.96246f, 0.96327f,
    0.96407f, 0.96485f, 0.96562f, 0.96638f, 0.96712f, 0.96784f, 0.96856f, 0.96926f, 0.96995f, 0.97062f,
    0.97128f, 0.97193f, 0.97257f, 0.97320f, 0.97381f, 0.97441f, 0.97500f, 0.97558f, 0.97615f, 0.97670f,
    0.97725f, 0.97778f, 0.97831f, 0.97882f, 0.97932f, 0.97982f, 0.98030f, 0.98077f, 0.98124f, 0.98169f,
    0.98214f, 0.98257f, 0.98300f, 0.98341f, 0.98382f, 0.98422f, 0.98461f, 0.98500f, 0.98537f, 0.98574f,
    0.98610f, 0.98645f, 0.98679f, 0.98713f, 0.98745f, 0.98778f, 0.98809f, 0.98840f, 0.98870f, 0.98899f,
    0.98928f, 0.98956f, 0.98983f, 0.99010f, 0.99036f, 0.99061f, 0.99086f, 0.99111f, 0.99134f, 0.99158f,
    0.99180f, 0.99202f, 0.99224f, 0.99245f, 0.99266f, 0.99286f, 0.99305f, 0.99324f, 0.99343f, 0.99361f,
    0.99379f, 0.99396f, 0.99413f, 0.99430f, 0.99446f, 0.99461f, 0.99477f, 0.99492f, 0.99506f, 0.99520f,
    0.99534f, 0.99547f, 0.99560f, 0.99573f, 0.99585f, 0.99598f, 0.99609f, 0.99621f, 0.99632f, 0.99643f,
    0.99653f, 0.99664f, 0.99674f, 0.99683f, 0.99693f, 0.99702f, 0.99711f, 0.99720f, 0.99728f, 0.99736f,
    0.99744f, 0.99752f, 0.99760f, 0.99767f, 0.99774f, 0.99781f, 0.99788f, 0.99795f, 0.99801f, 0.99807f,
    0.99813f, 0.99819f, 0.99825f, 0.99831f, 0.99836f, 0.99841f, 0.99846f, 0.99851f, 0.99856f, 0.99861f,
    0.99865f,
};

// 2 x (1 - NormalTable[k]): the two-sided tail beyond k/100. Exact in float
// (1 - t is exact for t in [0.5, 1]), so the table is the score itself.
constexpr std::array<float, 301> kTailGain = [] {
  std::array<float, 301> G{};
  for (size_t k = 0; k < G.size(); ++k) G[k] = static_cast<float>((1.0L - kNormalTable[k]) * 2.0L);
  return G;
}();

// Nearest integer, ties to even (the default rounding mode), without a
// library call in the response loop.
inline int32_t RoundHalfEven(double V) {
#if defined(__SSE2__)
  return _mm_cvtsd_si32(_mm_set_sd(V));
#else
  return static_cast<int32_t>(std::nearbyint(V));
#endif
}

// A / B rounded to float, for counts A >= 0 and B > 0. In double the quotient
// rounds to the same float as in extended precision as long as B < 2^28 (the
// gap between A/B and any float midpoint then exceeds half a double ulp), so
// the slow extended division is only needed beyond that.
inline float CountQuotient(int64_t A, int64_t B) {
  if (B < (int64_t{1} << 27)) return static_cast<float>(static_cast<double>(A) / static_cast<double>(B));
  return static_cast<float>(static_cast<long double>(A) / static_cast<long double>(B));
}

// The score of value code v (below R.ValueCount) under one attribute: its
// count over the mode's; with the prior each count gains one and the mode's
// also the number of values.
inline float DiscreteScore(const TDiscreteRecord& R, int32_t v, bool Prior) {
  const int32_t* Counts = R.Counts.data();
  if (Prior) return CountQuotient(int64_t{Counts[v]} + 1, int64_t{Counts[R.Mode]} + R.ValueCount);
  return CountQuotient(Counts[v], Counts[R.Mode]);
}

// Score sums: Result := Result + Score x Weight, extended, stored as double.
inline double Accumulate(double Sum, long double Term) {
  return static_cast<double>(static_cast<long double>(Sum) + Term);
}

// The response loops. While every weight so far is 1.0 (the only weight the
// engine itself sets) and there are at most MaxPlainAttributes attributes,
// WeightSum is a small integer and Result a sum of at most that many scores
// in [2^-32, 1] (or 0), each exact in float. Adding such a score to such a
// sum is exact within 64 bits, so the extended sum rounded to double equals
// the plain double sum: the double loop gives the identical result without
// a round trip through memory on the dependency chain. At the first other
// weight, or a score above 1 (only an inconsistent model gives one), the
// rest is summed in the extended loop.
constexpr size_t MaxPlainAttributes = 256;

enum class Part { Skip, WeightOnly, Scored };

// The values a response passes over: a negative or missing value code, and
// a NaN, infinite or missing float.
inline bool IsMissingDiscrete(int32_t v, int32_t Missing) { return v < 0 || v == Missing; }
inline bool IsMissingFloat(double x, double Missing) { return IsNaNOrInf(x) || x == Missing; }

// Eval(i, Score, Weight) says whether attribute i takes part and fills its
// score and weight.
// The extended loop from attribute i on, the sums so far given; when
// Pending, attribute i has already been evaluated (P, Score, Weight). Out
// of line, so that the plain loop's sums stay in registers rather than in
// the memory this loop's x87 code reads them from.
template <class EvalFn>
[[gnu::noinline]] double SumScoresExtended(size_t i, size_t N, bool Pending, Part P, float Score, double Weight,
                                           double Result, double Weights, double& WeightSum, EvalFn& Eval) {
  for (; i < N; ++i) {
    if (!Pending) P = Eval(i, Score, Weight);
    Pending = false;
    if (P == Part::Skip) continue;
    if (P == Part::Scored) Result = Accumulate(Result, static_cast<long double>(Score) * Weight);
    Weights = Accumulate(Weights, Weight);
  }
  WeightSum = Weights;
  return Result;
}

template <class EvalFn>
double SumScores(size_t N, double& WeightSum, EvalFn Eval) {
  if (N > MaxPlainAttributes) return SumScoresExtended(0, N, false, Part::Skip, 0.0f, 0.0, 0.0, 0.0, WeightSum, Eval);
  double Result = 0.0;
  double Weights = 0.0;
  float Score = 0.0f;
  double Weight = 0.0;
  for (size_t i = 0; i < N; ++i) {
    const Part P = Eval(i, Score, Weight);
    if (P == Part::Skip) continue;
    if (Weight != 1.0 || (P == Part::Scored && !(Score <= 1.0f)))
      return SumScoresExtended(i, N, true, P, Score, Weight, Result, Weights, WeightSum, Eval);
    if (P == Part::Scored) Result += static_cast<double>(Score);
    Weights += 1.0;
  }
  WeightSum = Weights;
  return Result;
}

// z := |X - Mean| / (2 StdDev) computed in extended precision, rounded to
// float.
inline float ExtendedZ(float X, double Mean, double StdDev) {
  return static_cast<float>(std::fabs(static_cast<long double>(X) - Mean) / (2.0L * static_cast<long double>(StdDev)));
}

// The double quotient |X - Mean| / TwoStdDev.
inline double DoubleQuotient(float X, double Mean, double TwoStdDev) {
  return std::fabs(static_cast<double>(X) - Mean) / TwoStdDev;
}

// The same z from double arithmetic where that provably rounds to the same
// float. The double quotient q is within 2^-52 (relative) of the exact one
// and the extended quotient within 2^-63, so both round to the same float
// unless a float rounding midpoint lies between them; a midpoint has the 29
// mantissa bits below float precision equal to 1 followed by zeros. Only
// when q falls within 16 double ulps of such a pattern is the extended
// division needed. (Infinite, NaN or subnormal quotients round the same way
// in both, or to a z whose score is the same.)
inline float ZOfQuotient(double q, float X, double Mean, double StdDev) {
  const auto Low = static_cast<int64_t>(std::bit_cast<uint64_t>(q) & 0x1FFFFFFFu);
  const int64_t FromMidpoint = Low - 0x10000000;
  if (FromMidpoint > 16 || FromMidpoint < -16) return static_cast<float>(q);
  return ExtendedZ(X, Mean, StdDev);
}

// The score for a given z: the tail table below 3, else 0.
inline float GainOfZ(float z) {
  if (z < 3.0f) return kTailGain[static_cast<size_t>(RoundHalfEven(static_cast<double>(z) * 100.0))];
  return 0.0f;
}

// The score of X against a mean and deviation (FloatInformationGain; see
// the header). Quotient() gives DoubleQuotient(X, Mean, 2 StdDev); it is
// asked only for a deviation above 0.
template <class QuotientFn>
inline float FloatScore(float X, double Mean, double StdDev, QuotientFn Quotient) {
  if (StdDev == 0.0) return static_cast<double>(X) == Mean ? 1.0f : 0.0f;
  return GainOfZ(ZOfQuotient(Quotient(), X, Mean, StdDev));
}

// TwoStdDev is 2.0 x Rec.StdDev.
inline float FloatGain(float X, const TFloatRecord& Rec, double TwoStdDev) {
  return FloatScore(X, Rec.Mean, Rec.StdDev, [&] { return DoubleQuotient(X, Rec.Mean, TwoStdDev); });
}

inline float FloatGain(float X, const TFloatRecord& Rec) { return FloatGain(X, Rec, 2.0 * Rec.StdDev); }

// Whether every count DiscreteScore reads for a value below R.ValueCount is
// there (always so for learned or loaded records).
inline bool ScoresReadable(const TDiscreteRecord& R) {
  const size_t Length = R.Counts.size();
  return R.ValueCount >= 0 && static_cast<size_t>(R.ValueCount) <= Length &&
         (R.ValueCount == 0 || (R.Mode >= 0 && static_cast<size_t>(R.Mode) < Length));
}

// How value code v of record R enters a class's discrete sums: not at all
// when the record is disabled or v missing; with its weight and a score of
// 0 when v was never reached; else with its weight and ScoreOf(v).
template <class ScoreFn>
inline Part DiscreteTerm(const TDiscreteRecord& R, int32_t v, int32_t Missing, float& Score, double& Weight,
                         ScoreFn ScoreOf) {
  if (!R.Enabled || IsMissingDiscrete(v, Missing)) return Part::Skip;
  Weight = R.Weight;
  if (v >= R.ValueCount) return Part::WeightOnly;
  Score = ScoreOf(v);
  return Part::Scored;
}

// How float x enters a class's float sums (TwoStdDev is 2.0 x R.StdDev).
inline Part FloatTerm(const TFloatRecord& R, double x, double Missing, double TwoStdDev, float& Score,
                      double& Weight) {
  if (!R.Enabled || IsMissingFloat(x, Missing)) return Part::Skip;
  Weight = R.Weight;
  Score = FloatGain(static_cast<float>(x), R, TwoStdDev);
  return Part::Scored;
}

// A class's response from its sums: 0 when no attribute took part (prior
// or not), else (D + F) / (Wd + Wf) in extended precision, with PriorValue
// added to the numerator when Prior is set.
inline double ClassResponse(double D, double Wd, double F, double Wf, bool Prior, double PriorValue) {
  if (Wd == 0.0 && Wf == 0.0) return 0.0;
  const long double W = static_cast<long double>(Wd) + Wf;
  if (Prior) return static_cast<double>((static_cast<long double>(PriorValue) + D + F) / W);
  return static_cast<double>((static_cast<long double>(D) + F) / W);
}

}  // namespace

extern const std::array<float, 301> NormalTable = kNormalTable;

// --- TLClassesListItem -------------------------------------------------------

bool TLClassesListItem::UsePrior() const {
  return FOwner && static_cast<const TLClassesList*>(FOwner)->UsePriorProbability();
}

void TLClassesListItem::LearnDiscrete(std::span<const int32_t> NewDiscreteRecord) {
  if (NewDiscreteRecord.size() != FDiscrete.size())
    throw Exception("Length(NewDiscreteRecord) <> Length(Discrete)!");
  Changed();
  const int32_t Missing = FOwner ? FOwner->MissingDiscreteIndex() : -1;
  const size_t N = FDiscrete.size();
  // Reject an unusable value code before anything changes.
  for (size_t i = 0; i < N; ++i) {
    const int32_t v = NewDiscreteRecord[i];
    if (v > MaxDiscreteValueCode && v != Missing && FDiscrete[i].Enabled) ExtendValueCount(FDiscrete[i], v);
  }
  for (size_t i = 0; i < N; ++i) {
    TDiscreteRecord& R = FDiscrete[i];
    const int32_t v = NewDiscreteRecord[i];
    if (!R.Enabled || IsMissingDiscrete(v, Missing)) continue;
    if (v > R.ValueCount - 1) ExtendValueCount(R, v);
    ++R.Count;
    int32_t* Counts = R.Counts.data();
    ++Counts[v];
    if (Counts[R.Mode] < Counts[v]) R.Mode = v;  // strict: on a tie the earlier mode stays
  }
}

void TLClassesListItem::LearnFloat(std::span<const double> NewFloatRecord) {
  if (NewFloatRecord.size() != FFloat.size()) throw Exception("Length(NewFloatRecord) <> Length(Float)!");
  Changed();
  const double Missing = FOwner ? FOwner->MissingFloat() : 999.0;
  const size_t N = FFloat.size();
  for (size_t j = 0; j < N; ++j) {
    TFloatRecord& R = FFloat[j];
    const double x = NewFloatRecord[j];
    if (!R.Enabled || IsMissingFloat(x, Missing)) continue;
    if (R.Count > 0) {
      const int32_t n = R.Count;
      const long double ln = n;
      R.Count = n + 1;
      const double M = static_cast<double>((ln * R.Mean + x) * (1.0L / (ln + 1.0L)));
      const long double dMean = static_cast<long double>(R.Mean) - M;
      const long double dX = static_cast<long double>(x) - M;
      const double S = static_cast<double>(ln * (dMean * dMean) + dX * dX);
      const long double Sd = R.StdDev;
      R.StdDev = static_cast<double>(std::sqrt((Sd * Sd * (ln - 1.0L) + S) * (1.0L / ln)));
      R.Mean = M;
    } else {
      R.Count = R.Count + 1;
      R.Mean = x;
      R.StdDev = 0.0;
    }
  }
}

float TLClassesListItem::DiscreteInformationGain(int32_t Value, const TDiscreteRecord& Rec) const {
  return DiscreteScore(Rec, Value, UsePrior());
}

float TLClassesListItem::FloatInformationGain(float X, const TFloatRecord& Rec) { return FloatGain(X, Rec); }

double TLClassesListItem::ClassifyDiscrete(std::span<const int32_t> DiscreteSource, double& WeightSum) {
  WeightSum = 0.0;
  if (FDiscrete.size() != DiscreteSource.size()) throw Exception("Length(Discrete) <> Length(DiscreteSource)!");
  const int32_t Missing = FOwner ? FOwner->MissingDiscreteIndex() : -1;
  const bool Prior = UsePrior();
  const TDiscreteRecord* Records = FDiscrete.data();
  const int32_t* Values = DiscreteSource.data();
  return SumScores(FDiscrete.size(), WeightSum, [&](size_t i, float& Score, double& Weight) {
    const TDiscreteRecord& R = Records[i];
    return DiscreteTerm(R, Values[i], Missing, Score, Weight, [&](int32_t v) { return DiscreteScore(R, v, Prior); });
  });
}

double TLClassesListItem::ClassifyFloat(std::span<const double> FloatSource, double& WeightSum) {
  WeightSum = 0.0;
  if (FFloat.size() != FloatSource.size()) throw Exception("Length(Float) <> Length(FloatSource)!");
  const double Missing = FOwner ? FOwner->MissingFloat() : 999.0;
  const TFloatRecord* Records = FFloat.data();
  const double* Values = FloatSource.data();
  return SumScores(FFloat.size(), WeightSum, [&](size_t j, float& Score, double& Weight) {
    const TFloatRecord& R = Records[j];
    return FloatTerm(R, Values[j], Missing, 2.0 * R.StdDev, Score, Weight);
  });
}

double TLClassesListItem::Classify(std::span<const int32_t> DiscreteSource, std::span<const double> FloatSource) {
  if (!FEnabled) return 0.0;
  double Wd = 0.0;
  double Wf = 0.0;
  const double D = ClassifyDiscrete(DiscreteSource, Wd);
  const double F = ClassifyFloat(FloatSource, Wf);
  const bool Prior = UsePrior();
  return ClassResponse(D, Wd, F, Wf, Prior, Prior ? PriorProbability() : 0.0);
}

// --- TLClassesList -----------------------------------------------------------

TLClassesList::TLClassesList(TClassifier* AOwner)
    : TClassesList(AOwner), FLinear(dynamic_cast<const TLinearClassifier*>(AOwner)) {}

std::unique_ptr<TClassesListItem> TLClassesList::GetClassItem() { return std::make_unique<TLClassesListItem>(this); }

bool TLClassesList::UsePriorProbability() const { return FLinear && FLinear->UsePriorProbability(); }

const TLClassesList::TClassScores& TLClassesList::ScoresOf(size_t Index, const TClassesListItem& Item,
                                                           bool Prior) const {
  TClassScores& S = FScores[Index];
  if (S.Item == &Item && S.ChangeCount == Item.ChangeCount() && S.Prior == Prior) return S;
  S.Item = &Item;
  S.ChangeCount = Item.ChangeCount();
  S.Prior = Prior;
  const std::vector<TDiscreteRecord>& Discrete = Item.Discrete();
  const size_t Attributes = Discrete.size();
  const size_t Cap = std::max<size_t>(kMaxKeptScores / std::max<size_t>(Attributes, 1), 16);
  S.First.resize(Attributes + 1);
  size_t Kept = 0;
  for (size_t i = 0; i < Attributes; ++i) {
    S.First[i] = static_cast<uint32_t>(Kept);
    const TDiscreteRecord& R = Discrete[i];
    if (ScoresReadable(R)) Kept += std::min(static_cast<size_t>(R.ValueCount), Cap);
  }
  S.First[Attributes] = static_cast<uint32_t>(Kept);
  S.Score.resize(Kept);
  for (size_t i = 0; i < Attributes; ++i) {
    const auto Width = static_cast<int32_t>(S.First[i + 1] - S.First[i]);
    for (int32_t v = 0; v < Width; ++v) S.Score[S.First[i] + static_cast<size_t>(v)] = DiscreteScore(Discrete[i], v, Prior);
  }
  const std::vector<TFloatRecord>& Float = Item.Float();
  S.TwoStdDev.resize(Float.size());
  for (size_t j = 0; j < Float.size(); ++j) S.TwoStdDev[j] = 2.0 * Float[j].StdDev;
  return S;
}

// TLClassesListItem::Classify of one class, the discrete scores and the
// doubled deviations taken from the kept ones; the sums, the float scores
// and the final division are computed exactly as there.
double TLClassesList::ClassifyOne(size_t Index, const TClassesListItem& Item, bool Prior,
                                  std::span<const int32_t> DiscreteSource, std::span<const double> FloatSource) const {
  if (!Item.Enabled()) return 0.0;
  const TClassScores& S = ScoresOf(Index, Item, Prior);
  const int32_t MissingDiscrete = MissingDiscreteIndex();
  const double Missing = MissingFloat();
  const std::vector<TDiscreteRecord>& Discrete = Item.Discrete();
  const std::vector<TFloatRecord>& Float = Item.Float();
  double Wd = 0.0;
  if (Discrete.size() != DiscreteSource.size()) throw Exception("Length(Discrete) <> Length(DiscreteSource)!");
  const TDiscreteRecord* DiscreteRecords = Discrete.data();
  const int32_t* DiscreteValues = DiscreteSource.data();
  const uint32_t* First = S.First.data();
  const float* Scores = S.Score.data();
  const double D = SumScores(Discrete.size(), Wd, [&](size_t i, float& Score, double& Weight) {
    const TDiscreteRecord& R = DiscreteRecords[i];
    return DiscreteTerm(R, DiscreteValues[i], MissingDiscrete, Score, Weight, [&](int32_t v) {
      const auto Slot = static_cast<uint32_t>(v);
      return Slot < First[i + 1] - First[i] ? Scores[First[i] + Slot] : DiscreteScore(R, v, Prior);
    });
  });
  double Wf = 0.0;
  if (Float.size() != FloatSource.size()) throw Exception("Length(Float) <> Length(FloatSource)!");
  const TFloatRecord* FloatRecords = Float.data();
  const double* FloatValues = FloatSource.data();
  const double* TwoStdDev = S.TwoStdDev.data();
  const double F = SumScores(Float.size(), Wf, [&](size_t j, float& Score, double& Weight) {
    return FloatTerm(FloatRecords[j], FloatValues[j], Missing, TwoStdDev[j], Score, Weight);
  });
  return ClassResponse(D, Wd, F, Wf, Prior, Prior ? FPriors[Index] : 0.0);
}

void TLClassesList::UpdateColumns(bool Prior) const {
  TColumns& C = FColumns;
  const auto Classes = static_cast<size_t>(Count());
  bool Relayout = !C.Built || C.Prior != Prior || C.Classes != Classes;
  for (size_t k = 0; k < Classes && !Relayout; ++k)
    Relayout = GetData(static_cast<int32_t>(k)) != C.Items[k];
  if (!Relayout && C.Usable) {
    for (size_t k = 0; k < Classes && !Relayout; ++k)
      if (C.Items[k]->ChangeCount() != C.ChangeCount[k]) Relayout = !FillColumns(k);
  }
  if (!Relayout) return;
  LayOutColumns(Prior);
  if (!C.Usable) return;
  for (size_t k = 0; k < Classes; ++k) FillColumns(k);
}

void TLClassesList::LayOutColumns(bool Prior) const {
  TColumns& C = FColumns;
  const auto Classes = static_cast<size_t>(Count());
  C.Built = true;
  C.Prior = Prior;
  C.Classes = Classes;
  C.Items.resize(Classes);
  for (size_t k = 0; k < Classes; ++k) C.Items[k] = GetData(static_cast<int32_t>(k));
  C.Usable = Classes > 0;
  if (!C.Usable) return;
  C.DiscreteCount = C.Items[0]->Discrete().size();
  C.FloatCount = C.Items[0]->Float().size();
  if (C.DiscreteCount > MaxPlainAttributes || C.FloatCount > MaxPlainAttributes) C.Usable = false;
  for (const TClassesListItem* Item : C.Items)
    if (Item->Discrete().size() != C.DiscreteCount || Item->Float().size() != C.FloatCount) C.Usable = false;
  if (!C.Usable) return;
  C.Reach.resize(C.DiscreteCount);
  C.RowsPerAttribute.resize(C.DiscreteCount);
  for (size_t i = 0; i < C.DiscreteCount; ++i) {
    int32_t Reach = 0;
    for (const TClassesListItem* Item : C.Items) Reach = std::max(Reach, Item->Discrete()[i].ValueCount);
    C.Reach[i] = Reach;
    C.RowsPerAttribute[i] = Reach + 1;
  }
  if (TValueRows<float>::EntriesFor(C.RowsPerAttribute, 0, Classes) > kMaxKeptScores) {
    C.Usable = false;
    return;
  }
  C.ChangeCount.resize(Classes);
  C.Plain.resize(Classes);
  C.Score.LayOut(C.RowsPerAttribute, 0, Classes);
  C.DiscreteTakesPart.resize(C.DiscreteCount * Classes);
  C.Mean.resize(C.FloatCount * Classes);
  C.StdDev.resize(C.FloatCount * Classes);
  C.TwoStdDev.resize(C.FloatCount * Classes);
  C.FloatEnabled.resize(C.FloatCount * Classes);
  C.Sums.resize(4 * Classes);
  C.Quotient.resize(Classes);
}

bool TLClassesList::FillColumns(size_t k) const {
  TColumns& C = FColumns;
  const TClassesListItem& Item = *C.Items[k];
  const std::vector<TDiscreteRecord>& Discrete = Item.Discrete();
  const std::vector<TFloatRecord>& Float = Item.Float();
  if (Discrete.size() != C.DiscreteCount || Float.size() != C.FloatCount) return false;
  for (size_t i = 0; i < C.DiscreteCount; ++i)
    if (Discrete[i].ValueCount > C.Reach[i]) return false;
  const size_t Classes = C.Classes;
  bool Plain = true;
  for (size_t i = 0; i < C.DiscreteCount; ++i) {
    const TDiscreteRecord& R = Discrete[i];
    const bool Readable = ScoresReadable(R);
    C.DiscreteTakesPart[i * Classes + k] = R.Enabled ? 1.0 : 0.0;
    if (R.Enabled && (R.Weight != 1.0 || !Readable)) Plain = false;
    for (int32_t v = 0; v <= C.Reach[i]; ++v) {
      float Score = 0.0f;
      if (R.Enabled && Readable && v < R.ValueCount) {
        Score = DiscreteScore(R, v, C.Prior);
        if (!(Score <= 1.0f)) Plain = false;
      }
      C.Score.Entries(C.Score.Row(i, v))[k] = Score;
    }
  }
  for (size_t j = 0; j < C.FloatCount; ++j) {
    const TFloatRecord& R = Float[j];
    const size_t At = j * Classes + k;
    C.Mean[At] = R.Mean;
    C.StdDev[At] = R.StdDev;
    C.TwoStdDev[At] = 2.0 * R.StdDev;
    C.FloatEnabled[At] = R.Enabled ? 1 : 0;
    if (R.Enabled && R.Weight != 1.0) Plain = false;
  }
  C.Plain[k] = Plain ? 1 : 0;
  C.ChangeCount[k] = Item.ChangeCount();
  return true;
}

// TLClassesListItem::Classify for every class. The classes with plain sums
// go together, attribute by attribute: each one's sums receive the same
// terms in the same order as SumScores's plain loop would add them (a
// disabled record's or unreached value's term is 0, which leaves the sum
// as it is). The others go one by one through ClassifyOne.
void TLClassesList::ClassifyAll(std::span<const int32_t> DiscreteSource, std::span<const double> FloatSource,
                                std::span<double> Response) const {
  const auto Classes = static_cast<size_t>(Count());
  if (Response.size() != Classes) throw Exception("Length(Response) <> Classes.Count");
  const bool Prior = UsePriorProbability();
  if (FScores.size() != Classes) FScores.resize(Classes);
  if (Prior && FPriorsChangeCount != ChangeCount()) {
    FPriors.resize(Classes);
    for (size_t k = 0; k < Classes; ++k) FPriors[k] = GetData(static_cast<int32_t>(k))->PriorProbability();
    FPriorsChangeCount = ChangeCount();
  }
  UpdateColumns(Prior);
  const TColumns& C = FColumns;
  if (!C.Usable) {
    for (size_t k = 0; k < Classes; ++k)
      Response[k] = ClassifyOne(k, *GetData(static_cast<int32_t>(k)), Prior, DiscreteSource, FloatSource);
    return;
  }
  // Every record has the same length: the first enabled class raises what
  // the items would.
  bool AnyEnabled = false;
  for (size_t k = 0; k < Classes && !AnyEnabled; ++k) AnyEnabled = C.Items[k]->Enabled();
  if (!AnyEnabled) {
    for (size_t k = 0; k < Classes; ++k) Response[k] = 0.0;
    return;
  }
  if (DiscreteSource.size() != C.DiscreteCount) throw Exception("Length(Discrete) <> Length(DiscreteSource)!");
  if (FloatSource.size() != C.FloatCount) throw Exception("Length(Float) <> Length(FloatSource)!");

  double* D = FColumns.Sums.data();
  double* Wd = D + Classes;
  double* F = Wd + Classes;
  double* Wf = F + Classes;
  std::fill(D, D + 4 * Classes, 0.0);
  const int32_t MissingDiscrete = MissingDiscreteIndex();
  for (size_t i = 0; i < C.DiscreteCount; ++i) {
    const int32_t v = DiscreteSource[i];
    if (IsMissingDiscrete(v, MissingDiscrete)) continue;
    const float* Score = C.Score.Entries(C.Score.Row(i, std::min(v, C.Reach[i])));
    const double* TakesPart = C.DiscreteTakesPart.data() + i * Classes;
    for (size_t k = 0; k < Classes; ++k) {
      D[k] += static_cast<double>(Score[k]);
      Wd[k] += TakesPart[k];
    }
  }
  const double Missing = MissingFloat();
  double* Quotient = FColumns.Quotient.data();
  for (size_t j = 0; j < C.FloatCount; ++j) {
    const double x = FloatSource[j];
    if (IsMissingFloat(x, Missing)) continue;
    const auto X = static_cast<float>(x);
    const double* Mean = C.Mean.data() + j * Classes;
    const double* StdDev = C.StdDev.data() + j * Classes;
    const double* TwoStdDev = C.TwoStdDev.data() + j * Classes;
    const uint8_t* Enabled = C.FloatEnabled.data() + j * Classes;
    // The divisions first, independent of each other.
    for (size_t k = 0; k < Classes; ++k) Quotient[k] = DoubleQuotient(X, Mean[k], TwoStdDev[k]);
    for (size_t k = 0; k < Classes; ++k) {
      if (!Enabled[k]) continue;
      const float Score = FloatScore(X, Mean[k], StdDev[k], [&] { return Quotient[k]; });
      F[k] += static_cast<double>(Score);
      Wf[k] += 1.0;
    }
  }
  for (size_t k = 0; k < Classes; ++k) {
    const TClassesListItem& Item = *C.Items[k];
    if (!Item.Enabled()) {
      Response[k] = 0.0;
    } else if (!C.Plain[k]) {
      Response[k] = ClassifyOne(k, Item, Prior, DiscreteSource, FloatSource);
    } else {
      Response[k] = ClassResponse(D[k], Wd[k], F[k], Wf[k], Prior, Prior ? FPriors[k] : 0.0);
    }
  }
}

double TLClassesList::DiscreteEntropyOf(const TClassesList& List, int32_t AttributeIndex) {
  if (AttributeIndex > List.DiscreteCount() - 1) throw Exception("AttributeIndex > DiscreteCount-1");
  if (AttributeIndex < 0) throw Exception("AttributeIndex < 0");
  const auto a = static_cast<size_t>(AttributeIndex);
  const int32_t K = List.Count();
  int32_t V = 0;
  for (int32_t c = 0; c < K; ++c) {
    const auto& D = List.GetData(c)->Discrete();
    if (a < D.size() && D[a].ValueCount > V) V = D[a].ValueCount;
  }
  double Sum = 0.0;
  for (int32_t v = 0; v < V; ++v) {
    float Best = 0.0f;
    for (int32_t c = 0; c < K; ++c) {
      const auto& D = List.GetData(c)->Discrete();
      if (a >= D.size()) continue;
      const TDiscreteRecord& R = D[a];
      // A record that holds no count for v (or no values at all) cannot give
      // it a share.
      if (v >= R.ValueCount || static_cast<size_t>(v) >= R.Counts.size() || R.Count <= 0) continue;
      const float p = CountQuotient(R.Counts[static_cast<size_t>(v)], R.Count);
      if (p > Best) Best = p;
    }
    Sum = Accumulate(Sum, Best);
  }
  if (V >= 1) return static_cast<double>(static_cast<long double>(Sum) / K);
  return 0.0;
}

double TLClassesList::FloatEntropyOf(const TClassesList& List, int32_t AttributeIndex) {
  if (AttributeIndex > List.FloatCount() - 1) throw Exception("AttributeIndex > FloatCount-1");
  if (AttributeIndex < 0) throw Exception("AttributeIndex < 0");
  const auto a = static_cast<size_t>(AttributeIndex);
  const int32_t K = List.Count();
  std::vector<TFloatRecord> A;
  A.reserve(static_cast<size_t>(K));
  for (int32_t c = 0; c < K; ++c) {
    const auto& F = List.GetData(c)->Float();
    A.push_back(a < F.size() ? F[a] : TFloatRecord{});
  }
  QuickSort(A, 0, K - 1);

  // Both overlaps of position i are scored against the class at i. An end
  // class whose only neighbour has the same mean gets 2, so it scores 0.
  auto Overlap = [](const TFloatRecord& Lower, const TFloatRecord& Upper, const TFloatRecord& Own, bool AtEnd) {
    if (Lower.StdDev > 0.0 && Upper.StdDev > 0.0) {
      const float X = GaussIntersection(static_cast<float>(Lower.Mean), static_cast<float>(Lower.StdDev),
                                        static_cast<float>(Upper.Mean), static_cast<float>(Upper.StdDev));
      return TLClassesListItem::FloatInformationGain(X, Own);
    }
    if (Lower.Mean == Upper.Mean) return AtEnd ? 2.0f : 1.0f;
    return 0.0f;
  };

  double Sum = 0.0;
  for (int32_t i = 0; i < K; ++i) {
    const auto p = static_cast<size_t>(i);
    const float L = i == 0 ? 0.0f : Overlap(A[p - 1], A[p], A[p], i == K - 1);
    const float R = i == K - 1 ? 0.0f : Overlap(A[p], A[p + 1], A[p], i == 0);
    Sum = static_cast<double>(static_cast<long double>(Sum) + 1.0L -
                              (static_cast<long double>(L) + R) * 0.5L);
  }
  if (K >= 1) return static_cast<double>(static_cast<long double>(Sum) / K);
  return 0.0;
}

float TLClassesList::GaussIntersection(float Mean1, float StdDev1, float Mean2, float StdDev2) {
  const long double m1 = Mean1, s1 = StdDev1, m2 = Mean2, s2 = StdDev2;
  const float Mid = static_cast<float>((m1 + m2) * 0.5L);
  // Equal deviations: the densities meet exactly once, at the midpoint (and
  // the general formula would divide by zero).
  if (StdDev1 == StdDev2) return Mid;
  const long double v1 = s1 * s1;
  const long double v2 = s2 * s2;
  const float Root = static_cast<float>(
      s1 * s2 * std::sqrt((m1 - m2) * (m1 - m2) + 2.0L * (v1 - v2) * (std::log(s1) - std::log(s2))));
  const float Q = static_cast<float>(1.0L / (v1 - v2));
  const float X1 = static_cast<float>((v1 * m2 - v2 * m1 + Root) * Q);
  const float X2 = static_cast<float>((v1 * m2 - v2 * m1 - Root) * Q);
  if (Mean1 <= X1 && X1 <= Mean2) return X1;
  if (Mean1 <= X2 && X2 <= Mean2) return X2;
  return Mid;
}

void TLClassesList::QuickSort(std::span<TFloatRecord> A, int32_t iLo, int32_t iHi) {
  SortRangeByKey(A, iLo, iHi, [](const TFloatRecord& R) { return R.Mean; });
}

// --- Entropy measures of the statistic classifier ------------------------
// They belong to TStatisticClassifier but are built on the measures above,
// over its class list whatever its kind, so they live beside them.

namespace {

// The attribute of Count with the strictly largest Measure (the first of
// equals) in Index, -1 when none is above 0; returns that value x 100.
template <class MeasureFn>
double BestAttribute(int32_t Count, MeasureFn Measure, int32_t& Index) {
  Index = -1;
  double Best = 0.0;
  for (int32_t i = 0; i < Count; ++i) {
    const double E = Measure(i);
    if (E > Best) {
      Best = E;
      Index = i;
    }
  }
  return static_cast<double>(static_cast<long double>(Best) * 100.0L);
}

}  // namespace

double TStatisticClassifier::Entropy() const {
  const int32_t Attributes = FClasses->DiscreteCount() + FClasses->FloatCount();
  if (Attributes == 0) return 0.0;  // no attribute separates anything
  long double Sum = 0.0L;
  for (int32_t i = 0; i < FClasses->DiscreteCount(); ++i) Sum += TLClassesList::DiscreteEntropyOf(*FClasses, i);
  for (int32_t j = 0; j < FClasses->FloatCount(); ++j) Sum += TLClassesList::FloatEntropyOf(*FClasses, j);
  return static_cast<double>(Sum / static_cast<long double>(Attributes) * 100.0L);
}

double TStatisticClassifier::MaxDiscreteEntropy(int32_t& Index) const {
  return BestAttribute(
      FClasses->DiscreteCount(), [this](int32_t i) { return TLClassesList::DiscreteEntropyOf(*FClasses, i); }, Index);
}

double TStatisticClassifier::MaxFloatEntropy(int32_t& Index) const {
  return BestAttribute(
      FClasses->FloatCount(), [this](int32_t j) { return TLClassesList::FloatEntropyOf(*FClasses, j); }, Index);
}

double TStatisticClassifier::MaxEntropy(int32_t& Index) const {
  int32_t FloatIndex = -1;
  int32_t DiscreteIndex = -1;
  const double F = MaxFloatEntropy(FloatIndex);
  const double D = MaxDiscreteEntropy(DiscreteIndex);
  if (F >= D) {
    Index = FloatIndex + FDiscreteAttributeCount;
    return F;
  }
  Index = DiscreteIndex;
  return D;
}

// --- TLinearClassifier -------------------------------------------------------

TLinearClassifier::TLinearClassifier(TComponent* AOwner) : TStatisticClassifier(AOwner) {
  FClasses = std::make_unique<TLClassesList>(this);
  FClasses->SetDiscreteCount(FDiscreteAttributeCount);
  FClasses->SetFloatCount(FFloatAttributeCount);
  FUsePriorProbability = false;
}

void TLinearClassifier::DefineProperties(TPropertyList& List) const {
  TStatisticClassifier::DefineProperties(List);
  List.push_back(MakeProperty<TPropertyKind::pkBoolean, TLinearClassifier>(
      "UsePriorProbability", &TLinearClassifier::UsePriorProbability, &TLinearClassifier::SetUsePriorProbability));
  List.push_back(ClassesStringsProperty());
}

// The linear classifier rates attributes by their entropy in the model,
// without measuring.
void TLinearClassifier::ComputeResponses(std::span<const int32_t> DiscreteRecord,
                                         std::span<const double> FloatRecord, std::span<double> Response) {
  Classes()->ClassifyAll(DiscreteRecord, FloatRecord, Response);
}

void TLinearClassifier::AttributeQuality(std::span<TIndexRecord> AttributeList) const {
  if (AttributeList.size() != static_cast<size_t>(FAttributeCount))
    throw Exception("Length(AttributeList) <> AttributeCount");
  const TLClassesList& List = *Classes();
  for (int32_t i = 0; i < FDiscreteAttributeCount; ++i)
    AttributeList[static_cast<size_t>(i)] = TIndexRecord{List.DiscreteEntropy(i), i};
  for (int32_t j = 0; j < FFloatAttributeCount; ++j) {
    const int32_t k = FDiscreteAttributeCount + j;
    AttributeList[static_cast<size_t>(k)] = TIndexRecord{List.FloatEntropy(j), k};
  }
  SortIndexRecord(AttributeList, 0, static_cast<int32_t>(AttributeList.size()) - 1);
}
