// TClassifier: settings every classifier shares, the combined attribute
// index, and LearnData, which walks an outside data source through the
// record events and learns each record it is handed.
#include "ClassifierBase.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "Convert.h"
#include "Exceptions.h"

double StrToFloatNaN(std::string_view Text) {
  // A non-finite result means the text spelled a NaN or infinity (or
  // overflowed); those are decided by the substring rules below, which are
  // case-sensitive, so "nan" stays an error.
  if (const auto Value = TryStrToFloat(Text); Value && std::isfinite(*Value)) return *Value;
  if (Text.find("NAN") != std::string_view::npos) return std::numeric_limits<double>::quiet_NaN();
  if (Text.find("INF") != std::string_view::npos) {
    const double Inf = std::numeric_limits<double>::infinity();
    return Text.find('-') != std::string_view::npos ? -Inf : Inf;
  }
  throw EConvertError("'" + std::string(Text) + "' is not a valid floating point value");
}

TClassifier::TClassifier(TComponent* AOwner) : TComponent(AOwner) {
  SetMissingFloatValue("999");
  FMissingDiscreteIndex = -1;
  FIndexesZeroBased = true;
  FInternalPruning = false;
}

TClassifier::~TClassifier() = default;

void TClassifier::DefineProperties(TPropertyList& List) const {
  TComponent::DefineProperties(List);
  using K = TPropertyKind;
  List.push_back(MakeProperty<K::pkEvent, TClassifier>(
      "OnClassifyTest", [](const TClassifier& C) { return static_cast<bool>(C.FOnClassifyTest); }, nullptr,
      [](const TClassifier& C) { return static_cast<bool>(C.FOnClassifyTest); }));
  List.push_back(MakeProperty<K::pkBoolean, TClassifier>("IndexesZeroBased", &TClassifier::IndexesZeroBased,
                                                         &TClassifier::SetIndexesZeroBased));
  List.push_back(MakeProperty<K::pkInteger, TClassifier>(
      "MissingDiscreteIndex", &TClassifier::MissingDiscreteIndex, &TClassifier::SetMissingDiscreteIndex));
  List.push_back(MakeProperty<K::pkString, TClassifier>(
      "MissingFloatValue", &TClassifier::MissingFloatValue, &TClassifier::SetMissingFloatValue,
      [](const TClassifier& C) { return !C.FMissingFloatValue.empty(); }));
  List.push_back(MakeProperty<K::pkInteger, TClassifier>("AttributeCount", &TClassifier::AttributeCount,
                                                         &TClassifier::SetAttributeCount));
  List.push_back(MakeProperty<K::pkInteger, TClassifier>(
      "FloatAttributeCount", &TClassifier::FloatAttributeCount, &TClassifier::SetFloatAttributeCount));
  List.push_back(MakeProperty<K::pkInteger, TClassifier>(
      "DiscreteAttributeCount", &TClassifier::DiscreteAttributeCount, &TClassifier::SetDiscreteAttributeCount));
}

void TClassifier::SetDiscreteAttributeCount(int32_t Value) {
  FDiscreteAttributeCount = Value < 0 ? 0 : Value;
  FAttributeCount = FDiscreteAttributeCount + FFloatAttributeCount;
}

void TClassifier::SetFloatAttributeCount(int32_t Value) {
  FFloatAttributeCount = Value < 0 ? 0 : Value;
  FAttributeCount = FDiscreteAttributeCount + FFloatAttributeCount;
}

void TClassifier::SetMissingFloatValue(const std::string& Text) {
  // Parse first: a text that is no number leaves both fields as they were.
  const double Value = Text == "NAN" ? std::numeric_limits<double>::quiet_NaN() : StrToFloatNaN(Text);
  FMissingFloat = Value;
  FMissingFloatValue = Text;
}

double TClassifier::MaxPriorProbability(int32_t&) const { return 0.0; }

void TClassifier::Clear() {}

double TClassifier::ClassifyTest() {
  double Succes = 0.0;
  if (FOnClassifyTest) FOnClassifyTest(this, Succes);
  return Succes;
}

void TClassifier::AssignAttributeState(const TClassifier& Source) {
  for (int32_t i = 0; i < FAttributeCount; ++i) SetAttributeEnabled(i, Source.GetAttributeEnabled(i));
}

void TClassifier::EnableAttributes() {
  EnableDiscreteAttributes();
  EnableFloatAttributes();
}

void TClassifier::DisableAttributes() {
  DisableFloatAttributes();
  DisableDiscreteAttributes();
}

void TClassifier::EnableDiscreteAttributes() {
  for (int32_t i = 0; i < FDiscreteAttributeCount; ++i) DiscreteAttributeStateSet(i, true);
}

void TClassifier::DisableDiscreteAttributes() {
  for (int32_t i = 0; i < FDiscreteAttributeCount; ++i) DiscreteAttributeStateSet(i, false);
}

void TClassifier::EnableFloatAttributes() {
  for (int32_t i = 0; i < FFloatAttributeCount; ++i) FloatAttributeStateSet(i, true);
}

void TClassifier::DisableFloatAttributes() {
  for (int32_t i = 0; i < FFloatAttributeCount; ++i) FloatAttributeStateSet(i, false);
}

bool TClassifier::GetAttributeEnabled(int32_t Index) const {
  if (Index <= FDiscreteAttributeCount - 1) return DiscreteAttributeStateGet(Index);
  return FloatAttributeStateGet(Index - FDiscreteAttributeCount);
}

void TClassifier::SetAttributeEnabled(int32_t Index, bool Value) {
  if (Index <= FDiscreteAttributeCount - 1)
    DiscreteAttributeStateSet(Index, Value);
  else
    FloatAttributeStateSet(Index - FDiscreteAttributeCount, Value);
}

void TClassifier::LearnData() {
  // Reused for every record and never cleared between them: an element the
  // handler does not write keeps the previous record's value.
  std::vector<int32_t> DiscreteRecord(static_cast<size_t>(FDiscreteAttributeCount), 0);
  std::vector<double> FloatRecord(static_cast<size_t>(FFloatAttributeCount), 0.0);
  std::string Name;
  int32_t Index = 0;
  void* Bookmark = nullptr;

  if (!FOnPushPosition) throw Exception("OnPushPosition event not assigned!");
  FOnPushPosition(Bookmark, this);
  if (!FOnFirstRecord) throw Exception("OnFirstRecord event not assigned!");
  FOnFirstRecord(this);

  bool IsLast = false;
  if (FOnIndexNextRecord) {
    // The event delivers a zero-based position; LearnIndex reads the base
    // IndexesZeroBased names.
    const int32_t Base = FIndexesZeroBased ? 0 : 1;
    while (!IsLast) {
      FOnIndexNextRecord(Index, DiscreteRecord, FloatRecord, IsLast);
      // Saturate instead of overflowing; LearnIndex refuses such an index.
      LearnIndex(Index > INT32_MAX - Base ? INT32_MAX : Index + Base, DiscreteRecord, FloatRecord);
    }
  } else if (FOnNameNextRecord) {
    while (!IsLast) {
      FOnNameNextRecord(Name, DiscreteRecord, FloatRecord, IsLast);
      Learn(Name, DiscreteRecord, FloatRecord);
    }
  } else {
    throw Exception("FOnNextRecord events not assigned!");
  }

  if (FOnLastRecord) FOnLastRecord(this);
  if (!FOnPopPosition) throw Exception("OnPopPosition event not assigned!");
  FOnPopPosition(Bookmark, this);
}
