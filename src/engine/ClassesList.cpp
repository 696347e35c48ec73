// The class list and its items: creation, deletion and the three resets of
// per-class statistics, the class prior, and the unit's Mean and StdDev.
#include "ClassesList.h"

#include <algorithm>
#include <cmath>

#include "Exceptions.h"

void ExtendValueCount(TDiscreteRecord& R, int32_t Value) {
  if (Value > MaxDiscreteValueCode)
    throw Exception("Discrete value " + std::to_string(Value) + " out of range (0.." +
                    std::to_string(MaxDiscreteValueCode) + ")");
  if (Value <= R.ValueCount - 1) return;
  R.NewMaxima.push_back(Value);
  R.ValueCount = Value + 1;
  if (static_cast<int64_t>(R.Counts.size()) < R.ValueCount)
    R.Counts.resize(static_cast<size_t>(std::max(2 * R.ValueCount, 8)), 0);
}

void GuessNewMaxima(TDiscreteRecord& R) {
  R.NewMaxima.clear();
  const size_t Top = std::min(R.Counts.size(), static_cast<size_t>(std::max(R.ValueCount, 0)));
  for (size_t v = 0; v < Top; ++v)
    if (R.Counts[v] != 0) R.NewMaxima.push_back(static_cast<int32_t>(v));
}

// --- TClassesListItem -------------------------------------------------------

void TClassesListItem::InitializeDiscrete(int32_t Count) {
  Changed();
  FDiscrete.assign(static_cast<size_t>(std::max(Count, 0)), TDiscreteRecord{});
  for (TDiscreteRecord& R : FDiscrete) {
    R.Enabled = true;
    R.Weight = 1.0;
  }
}

void TClassesListItem::InitializeFLoat(int32_t Count) {
  Changed();
  FFloat.assign(static_cast<size_t>(std::max(Count, 0)), TFloatRecord{});
  for (TFloatRecord& R : FFloat) {
    R.Enabled = true;
    R.Weight = 1.0;
  }
}

void TClassesListItem::Learn(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord) {
  Changed();
  ++FLearnedCases;
  if (FOwner) ++FOwner->FLearnedCases;
  LearnDiscrete(DiscreteRecord);
  LearnFloat(FloatRecord);
}

void TClassesListItem::AssignLearnedCases(int32_t Value) {
  Changed();
  if (FOwner) FOwner->FLearnedCases += Value - FLearnedCases;
  FLearnedCases = Value;
}

void TClassesListItem::Reset() {
  Changed();
  for (TDiscreteRecord& R : FDiscrete) {
    R = TDiscreteRecord{};
    R.Enabled = true;
    R.Weight = 1.0;
  }
  for (TFloatRecord& R : FFloat) {
    R = TFloatRecord{};
    R.Enabled = true;
    R.Weight = 1.0;
  }
  if (FOwner) FOwner->FLearnedCases -= FLearnedCases;
  FLearnedCases = 0;
}

void TClassesListItem::SoftReset() {
  Changed();
  for (TDiscreteRecord& R : FDiscrete) {
    std::vector<int32_t>().swap(R.Counts);
    std::vector<int32_t>().swap(R.NewMaxima);
    R.ValueCount = 0;
    R.Count = 0;
    R.Mode = 0;
  }
  for (TFloatRecord& R : FFloat) {
    R.Mean = 0.0;
    R.StdDev = 0.0;
    R.Count = 0;
  }
  if (FOwner) FOwner->FLearnedCases -= FLearnedCases;
  FLearnedCases = 0;
}

void TClassesListItem::ResetWeights() {
  Changed();
  for (TDiscreteRecord& R : FDiscrete) R.Weight = 1.0;
  for (TFloatRecord& R : FFloat) R.Weight = 1.0;
}

double TClassesListItem::PriorProbability() const {
  const int32_t Classes = FOwner ? FOwner->Count() : 1;
  const int32_t Total = FOwner ? FOwner->LearnedCases() : FLearnedCases;
  return static_cast<double>((static_cast<long double>(FLearnedCases) + 1.0L) /
                             (static_cast<long double>(Classes) + static_cast<long double>(Total)));
}

// --- TClassesList -----------------------------------------------------------

TClassesList::~TClassesList() { TClassesList::Clear(); }

void TClassesList::CreateItemAt(int32_t Index, const std::string& S) {
  Changed();
  if (Index < 0 || Index > Count()) IndexError(Index);
  std::unique_ptr<TClassesListItem> Item = GetClassItem();
  Item->SetEnabled(true);
  Item->InitializeDiscrete(FDiscreteCount);
  Item->InitializeFLoat(FFloatCount);
  InsertItem(Index, S, Item.get());
  Item.release();  // now owned through the list's object slot; freed by Delete
}

int32_t TClassesList::Add(const std::string& S) {
  const int32_t Index = Count();
  CreateItemAt(Index, S);
  return Index;
}

void TClassesList::Insert(int32_t Index, const std::string& S) { CreateItemAt(Index, S); }

void TClassesList::Delete(int32_t Index) {
  Changed();
  std::unique_ptr<TClassesListItem> Item(GetData(Index));
  FLearnedCases -= Item->LearnedCases();
  TStringList::SetObjects(Index, nullptr);
  TStringList::Delete(Index);
}

void TClassesList::Clear() {
  Changed();
  for (int32_t n = Count(); n > 0; --n) Delete(0);
  TStringList::Clear();
}

void TClassesList::Assign(const TPersistent& Source) {
  const auto* List = dynamic_cast<const TStringList*>(&Source);
  if (!List) {
    TPersistent::Assign(Source);
    return;
  }
  if (List == this) return;
  // Copy the names first: Source may be a view onto data Clear would free.
  const std::vector<std::string> Names = List->ToVector();
  Clear();
  for (const std::string& Name : Names) Add(Name);
}

TClassesListItem* TClassesList::GetData(int32_t Index) const {
  return static_cast<TClassesListItem*>(Objects(Index));
}

void TClassesList::Reset() {
  Changed();
  for (int32_t i = 0; i < Count(); ++i) GetData(i)->Reset();
}

void TClassesList::SoftReset() {
  Changed();
  for (int32_t i = 0; i < Count(); ++i) GetData(i)->SoftReset();
}

void TClassesList::ResetWeights() {
  Changed();
  for (int32_t i = 0; i < Count(); ++i) GetData(i)->ResetWeights();
}

// --- Unit-level routines -----------------------------------------------------

double Mean(std::span<const double> Data) {
  if (Data.empty()) return 0.0;
  long double Sum = 0.0L;
  for (double X : Data) Sum += X;
  return static_cast<double>(Sum / static_cast<long double>(Data.size()));
}

double StdDev(std::span<const double> Data, double AMean) {
  if (Data.size() <= 1) return 0.0;
  long double Sum = 0.0L;
  for (double X : Data) {
    const long double D = static_cast<long double>(X) - AMean;
    Sum += D * D;
  }
  return static_cast<double>(std::sqrt(Sum / static_cast<long double>(Data.size() - 1)));
}
