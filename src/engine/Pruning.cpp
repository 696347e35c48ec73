// Attribute quality and pruning: rating attributes one at a time, a greedy
// forward selection from the strongest, a greedy backward elimination from
// the weakest, and Prune, which keeps the better of the two sets.
//
// Everything works through the attribute switches of TClassifier and one
// measurement ("measure" below): the classifier's own ClassifyTest when
// InternalPruning is set, otherwise the OnClassifyTest handler. The handler
// must be assigned in both cases; that is checked before any switch moves.
// A classifier with a prior (the linear classifier) measures the rating and
// the forward pass with it switched off (SuspendPrior), because the prior
// adds the same amount to every class response whatever attributes are on
// and would blur the comparison.
#include <string>
#include <vector>

#include "Classifier.h"
#include "Exceptions.h"
#include "RangeSort.h"

namespace {

void RequireClassifyTest(const TClassifier& C) {
  if (!C.OnClassifyTest()) throw Exception("OnClassifyTeset = nil");
}

// The lists are read for AttributeCount records; a shorter one would be read
// (or written) past its end.
void RequireListLength(size_t Length, int32_t AttributeCount) {
  if (Length < static_cast<size_t>(AttributeCount)) throw Exception("Length(AttributeList) < AttributeCount");
}

double Measure(TClassifier& C) {
  if (C.InternalPruning()) return C.ClassifyTest();
  double Succes = 0.0;
  C.OnClassifyTest()(&C, Succes);
  return Succes;
}

// Switches the classifier's prior off for the duration of a measured pass
// and back afterwards. Deliberately not a scope guard: when the measurement
// raises, the switches and the prior stay as they were then.
class TPriorSwitch {
public:
  explicit TPriorSwitch(TClassifier& C) : FClassifier(C), FWasOn(C.SuspendPrior()) {}
  void Restore() { FClassifier.RestorePrior(FWasOn); }

private:
  TClassifier& FClassifier;
  bool FWasOn;
};

}  // namespace

void TClassifier::SortIndexRecord(std::span<TIndexRecord> A, int32_t iLo, int32_t iHi) {
  SortRangeByKey(A, iLo, iHi, [](const TIndexRecord& R) { return R.Quality; });
}

void TClassifier::AttributeQuality(std::span<TIndexRecord> AttributeList) {
  RequireClassifyTest(*this);
  RequireListLength(AttributeList.size(), FAttributeCount);
  TPriorSwitch Prior(*this);
  DisableAttributes();
  for (int32_t k = 0; k < FAttributeCount; ++k) {
    TIndexRecord& R = AttributeList[static_cast<size_t>(k)];
    R.Index = k;
    SetAttributeEnabled(k, true);
    R.Quality = Measure(*this);
    SetAttributeEnabled(k, false);
  }
  SortIndexRecord(AttributeList, 0, FAttributeCount - 1);
  Prior.Restore();
}

double TClassifier::PrePrune(std::span<const TIndexRecord> AttributeList) {
  RequireClassifyTest(*this);
  RequireListLength(AttributeList.size(), FAttributeCount);
  TPriorSwitch Prior(*this);
  double Best = 0.0;
  DisableAttributes();
  for (int32_t k = FAttributeCount - 1; k >= 0; --k) {
    const int32_t a = AttributeList[static_cast<size_t>(k)].Index;
    SetAttributeEnabled(a, true);
    const double S = Measure(*this);
    if (S > Best)
      Best = S;
    else
      SetAttributeEnabled(a, false);
  }
  Prior.Restore();
  return Best;
}

double TClassifier::PostPrune(std::span<const TIndexRecord> AttributeList) {
  RequireClassifyTest(*this);
  RequireListLength(AttributeList.size(), FAttributeCount);
  EnableAttributes();
  double Best = Measure(*this);
  for (int32_t k = 0; k < FAttributeCount; ++k) {
    const int32_t a = AttributeList[static_cast<size_t>(k)].Index;
    SetAttributeEnabled(a, false);
    const double S = Measure(*this);
    if (S > Best)
      Best = S;
    else
      SetAttributeEnabled(a, true);
  }
  return Best;
}

double TClassifier::Prune() {
  std::vector<TIndexRecord> AttributeList(static_cast<size_t>(FAttributeCount));
  std::vector<bool> Saved(static_cast<size_t>(FAttributeCount));
  AttributeQuality(AttributeList);
  const double PreScore = PrePrune(AttributeList);
  for (int32_t k = 0; k < FAttributeCount; ++k) Saved[static_cast<size_t>(k)] = GetAttributeEnabled(k);
  const double PostScore = PostPrune(AttributeList);
  if (PreScore > PostScore) {
    for (int32_t k = 0; k < FAttributeCount; ++k) SetAttributeEnabled(k, Saved[static_cast<size_t>(k)]);
    // The forward pass measured without the prior; keep the setting its score belongs to.
    SuspendPrior();
    return PreScore;
  }
  return PostScore;
}
