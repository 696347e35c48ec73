// Merging models: the checks every classifier makes before it takes another
// model in, and the merge of the statistic classifiers (class union, value
// counts, pairwise combination of running means and deviations, the linear
// classifier's modes, naive Bayes' list-wide counts).
//
// The aim is that "learn A, learn B apart, merge B into A" gives the model
// of "learn A then B": counts add exactly; means and deviations combine by
// the pairwise formula (n = nA + nB, d = meanB - meanA, mean = meanA +
// d nB / n, M2 = M2A + M2B + d^2 nA nB / n, M2 = StdDev^2 (n - 1)), in
// extended precision, which agrees with learning in sequence up to the last
// bits of the stored doubles.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Classifier.h"
#include "Exceptions.h"

namespace {

constexpr int64_t kMaxCount = std::numeric_limits<int32_t>::max();

[[noreturn]] void Refuse(const std::string& What) { throw Exception("Cannot merge: " + What); }

void RefuseDifference(const std::string& What, const std::string& Here, const std::string& There) {
  Refuse(What + " " + Here + " here, " + There + " in the other model");
}

bool SameMissingFloat(double A, double B) { return A == B || (std::isnan(A) && std::isnan(B)); }

int32_t CountAt(const TDiscreteRecord& R, size_t v) { return v < R.Counts.size() ? R.Counts[v] : 0; }

// The counts array learning would leave after this record's cases and then
// Other's: a value beyond every earlier one raises ValueCount, and the
// array grows at such a value beyond its length to max(2 (v + 1), 8). Of
// Other's new maxima, those beyond this record's values are the ones that
// would have raised it here, in the same order.
size_t MergedCountsLength(const TDiscreteRecord& R, const TDiscreteRecord& Other) {
  size_t Length = R.Counts.size();
  for (int32_t v : Other.NewMaxima)
    if (v > R.ValueCount - 1 && static_cast<size_t>(v) >= Length) Length = std::max<size_t>(2 * (static_cast<size_t>(v) + 1), 8);
  // Records edited from outside may hold counts their history does not explain.
  size_t Needed = static_cast<size_t>(std::max({R.ValueCount, Other.ValueCount, 0}));
  for (size_t v = Other.Counts.size(); v > Needed; --v)
    if (Other.Counts[v - 1] != 0) Needed = v;
  if (Length < Needed) Length = std::max<size_t>(2 * Needed, 8);
  return Length;
}

void MergeCounts(TDiscreteRecord& R, const TDiscreteRecord& Other) {
  const size_t Length = MergedCountsLength(R, Other);
  if (R.Counts.size() < Length) R.Counts.resize(Length, 0);
  for (size_t v = 0; v < Other.Counts.size(); ++v)
    if (Other.Counts[v] != 0) R.Counts[v] += Other.Counts[v];
  for (int32_t v : Other.NewMaxima)
    if (v > R.ValueCount - 1 && (R.NewMaxima.empty() || v > R.NewMaxima.back())) R.NewMaxima.push_back(v);
  R.ValueCount = std::max(R.ValueCount, Other.ValueCount);
  R.Count += Other.Count;
}

// The pairwise combination of two running means and sample deviations.
void MergeMoments(TFloatRecord& R, const TFloatRecord& Other) {
  if (Other.Count <= 0) return;
  if (R.Count <= 0) {
    R.Mean = Other.Mean;
    R.StdDev = Other.StdDev;
    R.Count = Other.Count;
    return;
  }
  const long double nA = R.Count;
  const long double nB = Other.Count;
  const long double n = nA + nB;
  const long double d = static_cast<long double>(Other.Mean) - static_cast<long double>(R.Mean);
  const long double SdA = R.StdDev;
  const long double SdB = Other.StdDev;
  const long double M2 = SdA * SdA * (nA - 1.0L) + SdB * SdB * (nB - 1.0L) + d * d * nA * nB / n;
  R.Mean = static_cast<double>(static_cast<long double>(R.Mean) + d * nB / n);
  R.StdDev = static_cast<double>(std::sqrt(M2 / (n - 1.0L)));
  R.Count += Other.Count;
}

// Learning keeps as Mode the first value to reach the top count (a value
// that only ties it does not take over). After this record's cases and
// then Other's, a value that already had the top count here got there
// first: that is this record's own mode. Otherwise every candidate reached
// the top during Other's cases, in an order Other did not keep: the one
// this record had most of is taken (the receiver's cases come first), then
// Other's own mode, then the lowest code. Responses read only the mode's
// count, which is the same for every candidate.
int32_t MergedMode(const TDiscreteRecord& R, const TDiscreteRecord& Other) {
  const size_t Length = std::max(R.Counts.size(), Other.Counts.size());
  int64_t Top = 0;
  for (size_t v = 0; v < Length; ++v) Top = std::max<int64_t>(Top, int64_t{CountAt(R, v)} + CountAt(Other, v));
  if (Top == 0) return R.Mode;
  if (R.Mode >= 0 && CountAt(R, static_cast<size_t>(R.Mode)) == Top) return R.Mode;
  int32_t Best = -1;
  for (size_t v = 0; v < Length; ++v) {
    if (int64_t{CountAt(R, v)} + CountAt(Other, v) != Top) continue;
    const auto Code = static_cast<int32_t>(v);
    if (Best < 0 || CountAt(R, v) > CountAt(R, static_cast<size_t>(Best)) ||
        (CountAt(R, v) == CountAt(R, static_cast<size_t>(Best)) && Code == Other.Mode))
      Best = Code;
  }
  return Best;
}

void RequireSum(int64_t A, int64_t B, const std::string& What) {
  if (A + B > kMaxCount) Refuse(What + " above 2147483647 together");
}

// Every count the merge adds must stay within 32 bits; checked for all
// classes before any of them changes.
void CheckCountSums(const TClassesListItem& Here, const TClassesListItem& There) {
  RequireSum(Here.LearnedCases(), There.LearnedCases(), "learned cases");
  const size_t D = std::min(Here.Discrete().size(), There.Discrete().size());
  for (size_t i = 0; i < D; ++i) {
    const TDiscreteRecord& R = Here.Discrete()[i];
    const TDiscreteRecord& O = There.Discrete()[i];
    RequireSum(R.Count, O.Count, "value counts");
    for (size_t v = 0; v < O.Counts.size(); ++v) RequireSum(CountAt(R, v), O.Counts[v], "value counts");
  }
  const size_t F = std::min(Here.Float().size(), There.Float().size());
  for (size_t j = 0; j < F; ++j) RequireSum(Here.Float()[j].Count, There.Float()[j].Count, "float counts");
}

}  // namespace

// --- TClassifier ------------------------------------------------------------------

void TClassifier::Merge(const TClassifier&) { throw Exception(TypeName() + " cannot merge models"); }

void TClassifier::CheckMergeable(const TClassifier& Other) const {
  if (Other.TypeName() != TypeName()) throw Exception("Cannot merge a " + Other.TypeName() + " into a " + TypeName());
  if (Other.FDiscreteAttributeCount != FDiscreteAttributeCount)
    RefuseDifference("DiscreteAttributeCount", std::to_string(FDiscreteAttributeCount),
                     std::to_string(Other.FDiscreteAttributeCount));
  if (Other.FFloatAttributeCount != FFloatAttributeCount)
    RefuseDifference("FloatAttributeCount", std::to_string(FFloatAttributeCount),
                     std::to_string(Other.FFloatAttributeCount));
  if (Other.FMissingDiscreteIndex != FMissingDiscreteIndex)
    RefuseDifference("MissingDiscreteIndex", std::to_string(FMissingDiscreteIndex),
                     std::to_string(Other.FMissingDiscreteIndex));
  if (!SameMissingFloat(FMissingFloat, Other.FMissingFloat))
    RefuseDifference("MissingFloatValue", "\"" + FMissingFloatValue + "\"", "\"" + Other.FMissingFloatValue + "\"");
  if (!HasAttributeStates() || !Other.HasAttributeStates()) return;
  for (int32_t i = 0; i < FAttributeCount; ++i) {
    const bool Here = GetAttributeEnabled(i);
    if (Here == Other.GetAttributeEnabled(i)) continue;
    const bool Discrete = i < FDiscreteAttributeCount;
    Refuse((Discrete ? "discrete attribute " + std::to_string(i)
                     : "float attribute " + std::to_string(i - FDiscreteAttributeCount)) +
           " is " + (Here ? "enabled" : "disabled") + " here and " + (Here ? "disabled" : "enabled") +
           " in the other model");
  }
}

// --- Class items --------------------------------------------------------------------

void TClassesListItem::Merge(const TClassesListItem& Other) {
  Changed();
  // Merging an item into itself reads a copy of what it held.
  std::vector<TDiscreteRecord> OwnDiscrete;
  std::vector<TFloatRecord> OwnFloat;
  const std::vector<TDiscreteRecord>* FromDiscrete = &Other.FDiscrete;
  const std::vector<TFloatRecord>* FromFloat = &Other.FFloat;
  if (&Other == this) {
    OwnDiscrete = FDiscrete;
    OwnFloat = FFloat;
    FromDiscrete = &OwnDiscrete;
    FromFloat = &OwnFloat;
  }
  const size_t D = std::min(FDiscrete.size(), FromDiscrete->size());
  for (size_t i = 0; i < D; ++i) MergeCounts(FDiscrete[i], (*FromDiscrete)[i]);
  const size_t F = std::min(FFloat.size(), FromFloat->size());
  for (size_t j = 0; j < F; ++j) MergeMoments(FFloat[j], (*FromFloat)[j]);
  AssignLearnedCases(FLearnedCases + Other.FLearnedCases);
}

void TLClassesListItem::Merge(const TClassesListItem& Other) {
  const size_t D = std::min(FDiscrete.size(), Other.Discrete().size());
  std::vector<int32_t> Modes(D);
  for (size_t i = 0; i < D; ++i) Modes[i] = MergedMode(FDiscrete[i], Other.Discrete()[i]);
  TClassesListItem::Merge(Other);
  for (size_t i = 0; i < D; ++i) FDiscrete[i].Mode = Modes[i];
}

// --- Statistic classifiers ------------------------------------------------------------

void TStatisticClassifier::Merge(const TClassifier& Other) {
  CheckMergeable(Other);
  const auto& From = static_cast<const TStatisticClassifier&>(Other);
  const TClassesList& Theirs = *From.FClasses;
  RequireSum(FClasses->LearnedCases(), Theirs.LearnedCases(), "learned cases");
  for (int32_t c = 0; c < Theirs.Count(); ++c) {
    const int32_t Here = FClasses->IndexOf(Theirs.Strings(c));
    if (Here >= 0) CheckCountSums(*FClasses->GetData(Here), *Theirs.GetData(c));
  }
  // Other's own count is read now: merging into itself doubles it.
  const int32_t TheirClasses = Theirs.Count();
  for (int32_t c = 0; c < TheirClasses; ++c) {
    const TClassesListItem& Source = *Theirs.GetData(c);
    int32_t Here = FClasses->IndexOf(Theirs.Strings(c));
    if (Here < 0) {
      // A class new here starts as Other's did: its switches and weights.
      Here = FClasses->Add(Theirs.Strings(c));
      TClassesListItem& Item = *FClasses->GetData(Here);
      Item.SetEnabled(Source.Enabled());
      std::vector<TDiscreteRecord>& Discrete = Item.EditDiscrete();
      for (size_t i = 0; i < std::min(Discrete.size(), Source.Discrete().size()); ++i) {
        Discrete[i].Enabled = Source.Discrete()[i].Enabled;
        Discrete[i].Weight = Source.Discrete()[i].Weight;
      }
      std::vector<TFloatRecord>& Float = Item.EditFloat();
      for (size_t j = 0; j < std::min(Float.size(), Source.Float().size()); ++j) {
        Float[j].Enabled = Source.Float()[j].Enabled;
        Float[j].Weight = Source.Float()[j].Weight;
      }
    }
    FClasses->GetData(Here)->Merge(Source);
  }
}

void TNaiveBayes::Merge(const TClassifier& Other) {
  try {
    TStatisticClassifier::Merge(Other);
  } catch (...) {
    Classes()->InvalidateTotals();
    throw;
  }
  Classes()->InvalidateTotals();
}
