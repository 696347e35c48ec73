// TStatisticClassifier: class lookup and creation while learning, the
// decision rule over the items' responses, per-attribute enable state kept
// in every class item. (The whole-model entropy measures live with the
// measures they are built on, in LinearClassifier.cpp.)
#include "StatisticClassifier.h"

#include <utility>

#include "Exceptions.h"

TStatisticClassifier::TStatisticClassifier(TComponent* AOwner) : TClassifier(AOwner) {
  FRejectProbability = 0.01;
}

TStatisticClassifier::~TStatisticClassifier() { FClasses.reset(); }

void TStatisticClassifier::DefineProperties(TPropertyList& List) const {
  TClassifier::DefineProperties(List);
  // Always written: a value left out reloads as the constructor's 0.01, so
  // leaving out 0 (accept every best class) changed the model on a reload.
  // Every value other than 0 was written before, so those files keep their bytes.
  List.push_back(MakeProperty<TPropertyKind::pkFloat, TStatisticClassifier>(
      "RejectProbability", &TStatisticClassifier::RejectProbability, &TStatisticClassifier::SetRejectProbability));
}

TPropertyInfo TStatisticClassifier::ClassesStringsProperty() {
  return MakeProperty<TPropertyKind::pkStrings, TStatisticClassifier>(
      "Classes.Strings", &TStatisticClassifier::ClassNames, &TStatisticClassifier::SetClassNames,
      [](const TStatisticClassifier& C) { return C.FClasses->Count() > 0; });
}

std::vector<std::string> TStatisticClassifier::ClassNames() const { return FClasses->ToVector(); }

void TStatisticClassifier::SetClassNames(const std::vector<std::string>& Names) {
  FClasses->Clear();
  for (const std::string& Name : Names) FClasses->Add(Name);
}

void TStatisticClassifier::SetDiscreteAttributeCount(int32_t Value) {
  if (Value == FDiscreteAttributeCount) return;
  TClassifier::SetDiscreteAttributeCount(Value);
  for (int32_t i = 0; i < FClasses->Count(); ++i) FClasses->GetData(i)->InitializeDiscrete(FDiscreteAttributeCount);
  FClasses->SetDiscreteCount(FDiscreteAttributeCount);
}

void TStatisticClassifier::SetFloatAttributeCount(int32_t Value) {
  if (Value == FFloatAttributeCount) return;
  TClassifier::SetFloatAttributeCount(Value);
  for (int32_t i = 0; i < FClasses->Count(); ++i) FClasses->GetData(i)->InitializeFLoat(FFloatAttributeCount);
  FClasses->SetFloatCount(FFloatAttributeCount);
}

void TStatisticClassifier::DiscreteAttributeStateSet(int32_t Index, bool Value) {
  if (Index > FClasses->DiscreteCount() - 1) throw Exception("Index > DiscreteCount-1!");
  if (Index < 0) throw Exception("Index < 0!");
  for (int32_t i = 0; i < FClasses->Count(); ++i) FClasses->GetData(i)->EditDiscrete()[static_cast<size_t>(Index)].Enabled = Value;
}

void TStatisticClassifier::FloatAttributeStateSet(int32_t Index, bool Value) {
  if (Index > FClasses->FloatCount() - 1) throw Exception("Index > FloatCount-1!");
  if (Index < 0) throw Exception("Index < 0!");
  for (int32_t i = 0; i < FClasses->Count(); ++i) FClasses->GetData(i)->EditFloat()[static_cast<size_t>(Index)].Enabled = Value;
}

bool TStatisticClassifier::DiscreteAttributeStateGet(int32_t Index) const {
  if (Index > FDiscreteAttributeCount - 1) throw Exception("Index > DiscreteAttributeCount-1");
  if (Index < 0) throw Exception("Index < 0");
  return FClasses->GetData(0)->Discrete()[static_cast<size_t>(Index)].Enabled;
}

bool TStatisticClassifier::FloatAttributeStateGet(int32_t Index) const {
  if (Index > FFloatAttributeCount - 1) throw Exception("Index > FloatAttributeCount-1");
  if (Index < 0) throw Exception("Index < 0");
  return FClasses->GetData(0)->Float()[static_cast<size_t>(Index)].Enabled;
}

void TStatisticClassifier::Learn(const std::string& ClassName, std::span<const int32_t> DiscreteRecord,
                                 std::span<const double> FloatRecord) {
  int32_t i = FClasses->IndexOf(ClassName);
  if (i < 0) i = FClasses->Add(ClassName);
  FClasses->GetData(i)->Learn(DiscreteRecord, FloatRecord);
}

void TStatisticClassifier::LearnIndex(int32_t ClassIndex, std::span<const int32_t> DiscreteRecord,
                                      std::span<const double> FloatRecord) {
  const int32_t N = FClasses->Count();
  // Every missing class up to the index is created: a stray huge index would
  // otherwise exhaust memory one class at a time.
  const int64_t Wanted = FIndexesZeroBased ? int64_t{ClassIndex} : int64_t{ClassIndex} - 1;
  if (Wanted > MaxDiscreteValueCode)
    throw Exception("Class index " + std::to_string(ClassIndex) + " out of range (more than " +
                    std::to_string(int64_t{MaxDiscreteValueCode} + 1) + " classes)");
  int32_t Position;
  if (FIndexesZeroBased) {
    for (int32_t k = N; k <= ClassIndex; ++k) FClasses->Add(std::to_string(k));
    Position = ClassIndex;
  } else {
    for (int32_t k = N; k <= ClassIndex - 1; ++k) FClasses->Add(std::to_string(k + 1));
    Position = ClassIndex - 1;  // ClassIndex 0 (or less) gives a negative position: index error
  }
  FClasses->GetData(Position)->Learn(DiscreteRecord, FloatRecord);
}

void TStatisticClassifier::ComputeResponses(std::span<const int32_t> DiscreteRecord,
                                            std::span<const double> FloatRecord, std::span<double> Response) {
  const int32_t N = FClasses->Count();
  for (int32_t i = 0; i < N; ++i)
    Response[static_cast<size_t>(i)] = FClasses->GetData(i)->Classify(DiscreteRecord, FloatRecord);
}

// The decision rule, one for every statistic classifier: the best response
// wins (strictly greater, so the first of equal classes), and a best below
// RejectProbability rejects.
int32_t TStatisticClassifier::Classify(std::span<const int32_t> DiscreteRecord,
                                       std::span<const double> FloatRecord) {
  FResponses.resize(static_cast<size_t>(FClasses->Count()));
  ComputeResponses(DiscreteRecord, FloatRecord, FResponses);
  // Responses are compared after rounding to 32 bits, so near-equal classes
  // tie and the first one wins.
  float Best = 0.0f;
  int32_t BestIndex = 0;
  for (size_t i = 0; i < FResponses.size(); ++i) {
    const float R = static_cast<float>(FResponses[i]);
    if (R > Best) {
      Best = R;
      BestIndex = static_cast<int32_t>(i);
    }
  }
  if (static_cast<double>(Best) < FRejectProbability) return -1;
  return BestIndex;
}

int32_t TStatisticClassifier::ClassifyResponse(std::span<const int32_t> DiscreteRecord,
                                               std::span<const double> FloatRecord, std::span<double> Response) {
  if (static_cast<int64_t>(Response.size()) != FClasses->Count()) throw Exception("Length(Response) <> Classes.Count");
  ComputeResponses(DiscreteRecord, FloatRecord, Response);
  // Here at 64 bits, and no response above 0 rejects.
  double Best = 0.0;
  int32_t BestIndex = -1;
  for (size_t i = 0; i < Response.size(); ++i) {
    if (Response[i] > Best) {
      Best = Response[i];
      BestIndex = static_cast<int32_t>(i);
    }
  }
  if (Best < FRejectProbability) return -1;
  return BestIndex;
}

std::string TStatisticClassifier::ClassName(int32_t Index) const {
  if (Index >= 0 && Index <= FClasses->Count() - 1) return FClasses->Strings(Index);
  return "Reject";
}

int32_t TStatisticClassifier::ClassIndex(std::string_view Name) const { return FClasses->IndexOf(Name); }

double TStatisticClassifier::MaxPriorProbability(int32_t& Index) const {
  Index = -1;
  int32_t Max = 0;
  for (int32_t i = 0; i < FClasses->Count(); ++i) {
    const int32_t Cases = FClasses->GetData(i)->LearnedCases();
    if (Cases > Max) {
      Max = Cases;
      Index = i;
    }
  }
  // Nothing learned: 0 of 0 cases is reported as 0 percent.
  if (FClasses->LearnedCases() == 0) return 0.0;
  return static_cast<double>(static_cast<long double>(Max) * 100.0L /
                             static_cast<long double>(FClasses->LearnedCases()));
}

void TStatisticClassifier::Reset() { FClasses->Reset(); }

void TStatisticClassifier::SoftReset() { FClasses->SoftReset(); }

void TStatisticClassifier::Clear() { FClasses->Clear(); }
