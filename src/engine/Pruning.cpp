// Attribute quality and pruning: rating attributes one at a time, a greedy
// forward selection from the strongest, a greedy backward elimination from
// the weakest, and Prune, which keeps the better of the two sets.
//
// Everything works through the attribute switches of TClassifier and one
// measurement ("measure" below): the classifier's own ClassifyTest when
// InternalPruning is set, otherwise the OnClassifyTest handler. The handler
// must be assigned in both cases; that is checked before any switch moves.
// A linear classifier measures the rating and the forward pass with its
// prior switched off, because the prior adds the same amount to every class
// response whatever attributes are on and would blur the comparison.
#include <string>
#include <vector>

#include "Classifier.h"
#include "Exceptions.h"

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

// Switches a linear classifier's prior off for the duration of a measured
// pass and back on afterwards. Deliberately not a scope guard: when the
// measurement raises, the switches and the flag stay as they were then.
class TPriorSwitch {
public:
  explicit TPriorSwitch(TClassifier& C) : FLinear(dynamic_cast<TLinearClassifier*>(&C)) {
    if (FLinear) {
      FSaved = FLinear->UsePriorProbability();
      FLinear->SetUsePriorProbability(false);
    }
  }
  void Restore() {
    if (FLinear) FLinear->SetUsePriorProbability(FSaved);
  }

private:
  TLinearClassifier* FLinear;
  bool FSaved = false;
};

}  // namespace

void TClassifier::SortIndexRecord(std::span<TIndexRecord> A, int32_t iLo, int32_t iHi) {
  if (iHi < iLo) return;
  if (iLo < 0) throw EListError("List index out of bounds (" + std::to_string(iLo) + ")");
  if (static_cast<size_t>(iHi) >= A.size()) throw EListError("List index out of bounds (" + std::to_string(iHi) + ")");
  int32_t Lo = iLo;
  int32_t Hi = iHi;
  const double Pivot = A[static_cast<size_t>(Lo + (Hi - Lo) / 2)].Quality;
  do {
    // The range bounds only matter for NaN qualities, which stop neither scan.
    while (Lo < iHi && A[static_cast<size_t>(Lo)].Quality < Pivot) ++Lo;
    while (Hi > iLo && A[static_cast<size_t>(Hi)].Quality > Pivot) --Hi;
    if (Lo <= Hi) {
      std::swap(A[static_cast<size_t>(Lo)], A[static_cast<size_t>(Hi)]);
      ++Lo;
      --Hi;
    }
  } while (Lo <= Hi);
  if (Hi > iLo) SortIndexRecord(A, iLo, Hi);
  if (Lo < iHi) SortIndexRecord(A, Lo, iHi);
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
    if (auto* Linear = dynamic_cast<TLinearClassifier*>(this)) Linear->SetUsePriorProbability(false);
    return PreScore;
  }
  return PostScore;
}
