// The naive Bayes classifier: per-class value counts with the list-wide
// Totals beside them, the m-estimate, and the response built from it.
//
// Arithmetic follows the formulas step by step in extended precision, each
// result rounded to double where a 64-bit variable receives it (the
// m-estimate, the running product, Q and the response).
#include "NaiveBayes.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "Exceptions.h"

namespace {

// The m-estimate of a value's probability within a class, (m x P + n) /
// (m + Nv): n the class's count of the value, Nv the whole list's. The
// caller brings m x P and m + Nv in extended precision (the response hoists
// them out of its loops); the quotient is rounded to double.
inline double MEstimate(long double mP, int32_t n, long double mPlusNv) {
  return static_cast<double>((mP + static_cast<long double>(n)) / mPlusNv);
}

// One link of a class's product: Gain x Result x Q in extended precision,
// rounded to double.
inline double ProductStep(double Gain, double Result, double Q) {
  return static_cast<double>(static_cast<long double>(Gain) * Result * Q);
}

// The end of a class's product: P x Result, rounded to double.
inline double FinalProduct(double P, double Result) { return static_cast<double>(static_cast<long double>(P) * Result); }

}  // namespace

// --- TBClassesListItem ----------------------------------------------------------

TBClassesListItem::TBClassesListItem(TBClassesList* AOwner) : TClassesListItem(AOwner) {}

TBClassesList& TBClassesListItem::List() const { return *static_cast<TBClassesList*>(FOwner); }

void TBClassesListItem::LearnDiscrete(std::span<const int32_t> NewDiscreteRecord) {
  if (NewDiscreteRecord.size() != FDiscrete.size())
    throw Exception("Length(NewDiscreteRecord) <> Length(Discrete)!");
  Changed();
  TBClassesList& L = List();
  const int32_t Missing = L.MissingDiscreteIndex();
  const size_t N = FDiscrete.size();
  // Reject an unusable value code before anything changes.
  for (size_t i = 0; i < N; ++i) {
    const int32_t v = NewDiscreteRecord[i];
    if (v > MaxDiscreteValueCode && v != Missing && FDiscrete[i].Enabled) ExtendValueCount(FDiscrete[i], v);
  }
  std::vector<TDiscreteRecord>& Totals = L.TotalsFor(*this);
  for (size_t i = 0; i < N; ++i) {
    TDiscreteRecord& R = FDiscrete[i];
    const int32_t v = NewDiscreteRecord[i];
    if (!R.Enabled || v < 0 || v == Missing) continue;
    TDiscreteRecord* T = &Totals[i];
    if (v > R.ValueCount - 1) {
      ExtendValueCount(R, v);
      if (R.ValueCount > T->ValueCount) {
        T->Counts.resize(R.Counts.size());
        std::fill(T->Counts.begin() + T->ValueCount, T->Counts.begin() + R.ValueCount, 0);
        T->ValueCount = R.ValueCount;
      }
    }
    const size_t Slot = static_cast<size_t>(v);
    // Only a record read back shorter than its ValueCount lacks the slot.
    if (Slot >= R.Counts.size()) R.Counts.resize(static_cast<size_t>(std::max(2 * R.ValueCount, 8)), 0);
    if (Slot >= T->Counts.size()) {
      L.RebuildTotals();
      T = &Totals[i];
    }
    ++R.Count;
    ++R.Counts[Slot];
    ++T->Counts[Slot];
  }
}

void TBClassesListItem::LearnFloat(std::span<const double>) {}

double TBClassesListItem::ClassifyDiscrete(std::span<const int32_t> DiscreteSource, double&) {
  const TBClassesListItem* Self = this;
  double Result;
  List().DiscreteResponses(&Self, 1, DiscreteSource, &Result);
  return Result;
}

double TBClassesListItem::ClassifyFloat(std::span<const double>, double&) { return 0.0; }

double TBClassesListItem::Classify(std::span<const int32_t> DiscreteSource, std::span<const double>) {
  if (!FEnabled) return 0.0;
  double Unused = 0.0;
  return ClassifyDiscrete(DiscreteSource, Unused);
}

double TBClassesListItem::InformationGain(int32_t AttributeIndex, int32_t ValueIndex, int32_t M, double P) const {
  if (AttributeIndex < 0 || static_cast<size_t>(AttributeIndex) >= FDiscrete.size())
    throw Exception("AttributeIndex out of range");
  const TDiscreteRecord& R = FDiscrete[static_cast<size_t>(AttributeIndex)];
  const TDiscreteRecord& T = List().TotalsFor(*this)[static_cast<size_t>(AttributeIndex)];
  const bool Inside = ValueIndex >= 0;
  const size_t Slot = static_cast<size_t>(ValueIndex);
  const int32_t n = Inside && Slot < R.Counts.size() ? R.Counts[Slot] : 0;
  const int32_t Nv = Inside && Slot < T.Counts.size() ? T.Counts[Slot] : 0;
  return MEstimate(static_cast<long double>(M) * static_cast<long double>(P), n,
                   static_cast<long double>(M) + static_cast<long double>(Nv));
}

// --- TBClassesList ------------------------------------------------------------------

TBClassesList::TBClassesList(TClassifier* AOwner)
    : TClassesList(AOwner), FBayes(dynamic_cast<const TNaiveBayes*>(AOwner)) {}

TBClassesList::~TBClassesList() = default;

std::unique_ptr<TClassesListItem> TBClassesList::GetClassItem() { return std::make_unique<TBClassesListItem>(this); }

int32_t TBClassesList::M() const { return FBayes ? FBayes->M() : 2; }

void TBClassesList::EmptyTotals() {
  for (TDiscreteRecord& T : FTotals) T = TDiscreteRecord{};
}

void TBClassesList::Delete(int32_t Index) {
  TClassesList::Delete(Index);
  EmptyTotals();
  // The remaining classes still hold counts; sum them again before use.
  FTotalsStale = true;
}

// Every class count is 0 afterwards, so empty Totals agree with them.
void TBClassesList::Reset() {
  TClassesList::Reset();
  EmptyTotals();
  FTotalsStale = false;
}

void TBClassesList::SoftReset() {
  TClassesList::SoftReset();
  EmptyTotals();
  FTotalsStale = false;
}

void TBClassesList::ResetTotals(int32_t Count) {
  FTotals.assign(static_cast<size_t>(std::max(Count, 0)), TDiscreteRecord{});
  FTotalsStale = false;
  Changed();
}

const std::vector<TDiscreteRecord>& TBClassesList::Totals() const {
  if (FTotalsStale) RebuildTotals();
  return FTotals;
}

std::vector<TDiscreteRecord>& TBClassesList::TotalsFor(const TBClassesListItem& Item) const {
  if (FTotalsStale || FTotals.size() < Item.Discrete().size()) RebuildTotals();
  return FTotals;
}

void TBClassesList::RebuildTotals() const {
  size_t Attributes = static_cast<size_t>(std::max(DiscreteCount(), 0));
  for (int32_t c = 0; c < Count(); ++c) Attributes = std::max(Attributes, GetData(c)->Discrete().size());
  FTotals.assign(Attributes, TDiscreteRecord{});
  std::vector<int64_t> Sum;
  for (size_t i = 0; i < Attributes; ++i) {
    TDiscreteRecord& T = FTotals[i];
    size_t Length = 0;
    for (int32_t c = 0; c < Count(); ++c) {
      const auto& Records = GetData(c)->Discrete();
      if (i >= Records.size()) continue;
      const TDiscreteRecord& R = Records[i];
      T.ValueCount = std::max(T.ValueCount, R.ValueCount);
      Length = std::max({Length, R.Counts.size(), static_cast<size_t>(std::max(R.ValueCount, 0))});
    }
    Sum.assign(Length, 0);
    for (int32_t c = 0; c < Count(); ++c) {
      const auto& Records = GetData(c)->Discrete();
      if (i >= Records.size()) continue;
      const std::vector<int32_t>& Counts = Records[i].Counts;
      for (size_t v = 0; v < Counts.size(); ++v) Sum[v] += Counts[v];
    }
    // Counts of a sound model sum to at most the learned cases; clamp what
    // a damaged one might hold rather than overflow.
    T.Counts.resize(Length);
    for (size_t v = 0; v < Length; ++v)
      T.Counts[v] = static_cast<int32_t>(std::clamp<int64_t>(Sum[v], 0, std::numeric_limits<int32_t>::max()));
  }
  FTotalsStale = false;
  ++FCache.Epoch;  // kept factors read the old Totals
}

TBClassesList::TPriorTerms TBClassesList::PriorTermsOf(const TBClassesListItem& Item, long double Lm) {
  TPriorTerms T;
  T.P = Item.PriorProbability();
  T.Q = static_cast<double>(1.0L / static_cast<long double>(T.P));
  T.mP = Lm * static_cast<long double>(T.P);
  return T;
}

// Inside the response loops: inlined, so that the extended values stay in
// registers rather than passing through memory at every call.
[[gnu::always_inline]] inline long double TBClassesList::ValueDenominator(size_t Attribute, size_t Slot,
                                                                         long double Lm) const {
  const TDiscreteRecord& T = FTotals[Attribute];
  return Slot < T.Counts.size() ? Lm + T.Counts[Slot] : -1.0L;
}

long double TBClassesList::RetakenDenominator(size_t Attribute, size_t Slot, long double Lm) const {
  RebuildTotals();  // Totals did not cover a value this class has; kept rows go stale
  return Lm + FTotals[Attribute].Counts[Slot];
}

[[gnu::always_inline]] inline double TBClassesList::Factor(const TDiscreteRecord& R, size_t Attribute, size_t Slot,
                                                           long double mP, long double Lm,
                                                           long double& Denominator) const {
  if (Denominator < 0.0L) Denominator = RetakenDenominator(Attribute, Slot, Lm);
  const int32_t n = Slot < R.Counts.size() ? R.Counts[Slot] : 0;
  return MEstimate(mP, n, Denominator);
}

// The naive Bayes response of up to kResponseBlock classes to one record:
// for each class, Result := InformationGain(i, v, m, P) x Result x Q over
// the usable attributes, then P x Result. The classes go side by side:
// each one's product is a chain of extended multiplications rounded to
// double (through memory on x87), and several chains in flight keep the
// unit busy, where one class after the other would wait on each link.
void TBClassesList::DiscreteResponses(const TBClassesListItem* const* Items, size_t Count,
                                      std::span<const int32_t> DiscreteSource, double* Out) const {
  const int32_t m = M();
  const long double Lm = m;
  TPriorTerms Prior[kResponseBlock];
  double Result[kResponseBlock];
  for (size_t k = 0; k < Count; ++k) {
    if (Items[k]->Discrete().size() != DiscreteSource.size())
      throw Exception("Length(Discrete) <> Length(DiscreteSource)!");
    TotalsFor(*Items[k]);
    Prior[k] = PriorTermsOf(*Items[k], Lm);
    Result[k] = 1.0;
  }
  const int32_t Missing = MissingDiscreteIndex();
  for (size_t i = 0; i < DiscreteSource.size(); ++i) {
    const int32_t v = DiscreteSource[i];
    if (v < 0 || v == Missing) continue;
    const size_t Slot = static_cast<size_t>(v);
    // The list-wide count is the same for every class.
    long double Denominator = ValueDenominator(i, Slot, Lm);
    for (size_t k = 0; k < Count; ++k) {
      const TDiscreteRecord& R = Items[k]->Discrete()[i];
      if (!R.Enabled || v >= R.ValueCount) continue;
      const double Gain = Factor(R, i, Slot, Prior[k].mP, Lm, Denominator);
      Result[k] = ProductStep(Gain, Result[k], Prior[k].Q);
    }
  }
  for (size_t k = 0; k < Count; ++k) Out[k] = FinalProduct(Prior[k].P, Result[k]);
}

void TBClassesList::ClassifyAllDirect(std::span<const int32_t> DiscreteSource, std::span<double> Response) const {
  if (Response.size() != static_cast<size_t>(Count())) throw Exception("Length(Response) <> Classes.Count");
  const TBClassesListItem* Block[kResponseBlock];
  size_t Position[kResponseBlock];
  double Values[kResponseBlock];
  size_t n = 0;
  auto Flush = [&] {
    DiscreteResponses(Block, n, DiscreteSource, Values);
    for (size_t k = 0; k < n; ++k) Response[Position[k]] = Values[k];
    n = 0;
  };
  for (int32_t c = 0; c < Count(); ++c) {
    const auto* Item = static_cast<const TBClassesListItem*>(GetData(c));
    if (!Item->Enabled()) {
      Response[static_cast<size_t>(c)] = 0.0;
      continue;
    }
    Block[n] = Item;
    Position[n] = static_cast<size_t>(c);
    if (++n == kResponseBlock) Flush();
  }
  if (n > 0) Flush();
}

// The layout of the kept factors for the current model. Priors are taken
// as DiscreteResponses takes them; Totals are brought up to date as it
// would before its first factor.
void TBClassesList::PrepareCache() const {
  TResponseCache& C = FCache;
  C.ChangeCount = ChangeCount();
  ++C.Epoch;
  const size_t Classes = static_cast<size_t>(Count());
  C.Items.resize(Classes);
  C.ClassEnabled.resize(Classes);
  C.AnyEnabled = false;
  C.Direct = false;
  for (size_t k = 0; k < Classes; ++k) {
    C.Items[k] = static_cast<const TBClassesListItem*>(GetData(static_cast<int32_t>(k)));
    C.ClassEnabled[k] = C.Items[k]->Enabled() ? 1 : 0;
    C.AnyEnabled = C.AnyEnabled || C.Items[k]->Enabled();
    if (C.Items[k]->Discrete().size() != C.Items[0]->Discrete().size()) C.Direct = true;
  }
  if (C.Direct) return;
  const size_t Attributes = Classes > 0 ? C.Items[0]->Discrete().size() : 0;
  C.Attributes = Attributes;
  if (C.AnyEnabled && (FTotalsStale || FTotals.size() < Attributes)) RebuildTotals();

  C.Lm = M();
  C.Prior.resize(Classes);
  C.Q.resize(Classes);
  for (size_t k = 0; k < Classes; ++k) {
    C.Prior[k] = PriorTermsOf(*C.Items[k], C.Lm);
    C.Q[k] = C.Prior[k].Q;
  }

  const size_t PerValue = std::max<size_t>(Classes * Attributes, 1);
  const auto Cap = static_cast<int32_t>(std::min<size_t>(std::max<size_t>(kMaxCachedFactors / PerValue, 16),
                                                         static_cast<size_t>(MaxDiscreteValueCode) + 1));
  C.Reach.assign(Attributes, 0);
  for (const TBClassesListItem* Item : C.Items) {
    const TDiscreteRecord* Records = Item->Discrete().data();
    for (size_t i = 0; i < Attributes; ++i) C.Reach[i] = std::max(C.Reach[i], Records[i].ValueCount);
  }
  C.Width.resize(Attributes);
  for (size_t i = 0; i < Attributes; ++i) C.Width[i] = std::min(C.Reach[i], Cap);
  // The rows stay where they are (the new epoch makes them stale) unless
  // their layout changed: the common case after learning one more case.
  const bool Relayout = C.Gain.LayOut(C.Width, 1, Classes);
  C.Used.LayOut(C.Width, 1, Classes);
  if (!Relayout && !C.Rows.empty()) return;
  C.Rows.assign(C.Gain.RowCount(), TValueRow{});
}

// Every class's factor for value code Value of attribute Attribute, as
// DiscreteResponses computes it, into row Row.
void TBClassesList::FillRow(size_t Attribute, int32_t Value, size_t Row) const {
  TResponseCache& C = FCache;
  const size_t Classes = C.Items.size();
  const size_t Slot = static_cast<size_t>(Value);
  double* Gain = C.Gain.Entries(Row);
  uint8_t* Used = C.Used.Entries(Row);
  long double Denominator = ValueDenominator(Attribute, Slot, C.Lm);
  bool AllUsed = true;
  for (size_t k = 0; k < Classes; ++k) {
    const TDiscreteRecord& R = C.Items[k]->Discrete()[Attribute];
    if (!C.ClassEnabled[k] || !R.Enabled || Value >= R.ValueCount) {
      Gain[k] = 0.0;
      Used[k] = 0;
      AllUsed = false;
      continue;
    }
    Gain[k] = Factor(R, Attribute, Slot, C.Prior[k].mP, C.Lm, Denominator);
    Used[k] = 1;
  }
  C.Rows[Row].Epoch = C.Epoch;
  C.Rows[Row].AllUsed = AllUsed;
}

// DiscreteResponses for all classes at once, from the kept factors: per
// class the same chain of extended multiplications, each rounded to double,
// over the same attributes in the same order.
void TBClassesList::ClassifyAll(std::span<const int32_t> DiscreteSource, std::span<double> Response) const {
  if (Response.size() != static_cast<size_t>(Count())) throw Exception("Length(Response) <> Classes.Count");
  TResponseCache& C = FCache;
  const uint64_t Now = ChangeCount();
  if (C.ChangeCount != Now) {
    // The first record after a change is computed directly: when learning
    // and classifying alternate, every factor would be used once.
    if (C.LastClassified != Now) {
      C.LastClassified = Now;
      ClassifyAllDirect(DiscreteSource, Response);
      return;
    }
    PrepareCache();
  }
  if (C.Direct) {
    ClassifyAllDirect(DiscreteSource, Response);
    return;
  }
  if (C.AnyEnabled && DiscreteSource.size() != C.Attributes)
    throw Exception("Length(Discrete) <> Length(DiscreteSource)!");
  const size_t Classes = C.Items.size();
  double* Result = Response.data();
  for (size_t k = 0; k < Classes; ++k) Result[k] = 1.0;
  if (!C.AnyEnabled) {
    for (size_t k = 0; k < Classes; ++k) Result[k] = 0.0;
    return;
  }
  const int32_t Missing = MissingDiscreteIndex();
  const size_t ScratchRow = C.Gain.SpareRow();
  const double* Q = C.Q.data();
  for (size_t i = 0; i < C.Attributes; ++i) {
    const int32_t v = DiscreteSource[i];
    if (v < 0 || v == Missing || v >= C.Reach[i]) continue;
    size_t Row = ScratchRow;
    if (v < C.Gain.Width(i)) {
      Row = C.Gain.Row(i, v);
      if (C.Rows[Row].Epoch != C.Epoch) FillRow(i, v, Row);
    } else {
      FillRow(i, v, Row);
    }
    const double* Gain = C.Gain.Entries(Row);
    if (C.Rows[Row].AllUsed) {
      for (size_t k = 0; k < Classes; ++k) Result[k] = ProductStep(Gain[k], Result[k], Q[k]);
    } else {
      const uint8_t* Used = C.Used.Entries(Row);
      for (size_t k = 0; k < Classes; ++k)
        if (Used[k]) Result[k] = ProductStep(Gain[k], Result[k], Q[k]);
    }
  }
  for (size_t k = 0; k < Classes; ++k)
    Result[k] = C.ClassEnabled[k] ? FinalProduct(C.Prior[k].P, Result[k]) : 0.0;
}

// --- TNaiveBayes ------------------------------------------------------------------------

TNaiveBayes::TNaiveBayes(TComponent* AOwner) : TStatisticClassifier(AOwner) {
  FClasses = std::make_unique<TBClassesList>(this);
  FM = 2;
}

void TNaiveBayes::DefineProperties(TPropertyList& List) const {
  TStatisticClassifier::DefineProperties(List);
  List.push_back(MakeProperty<TPropertyKind::pkInteger, TNaiveBayes>("M", &TNaiveBayes::M, &TNaiveBayes::SetM));
  List.push_back(ClassesStringsProperty());
}

void TNaiveBayes::SetM(int32_t Value) {
  FM = std::clamp(Value, 1, 10);
  Classes()->Changed();
}

void TNaiveBayes::SetDiscreteAttributeCount(int32_t Value) {
  if (Value == FDiscreteAttributeCount) return;
  TStatisticClassifier::SetDiscreteAttributeCount(Value);
  Classes()->ResetTotals(FDiscreteAttributeCount);
}

void TNaiveBayes::LoadFromStream(TStream& Stream) {
  // Also when the load fails midway: whatever the items hold then is summed
  // afresh before it is used.
  Classes()->InvalidateTotals();
  TStatisticClassifier::LoadFromStream(Stream);
  Classes()->InvalidateTotals();
}

// All classes at once (see DiscreteResponses); the float values are not read.
void TNaiveBayes::ComputeResponses(std::span<const int32_t> DiscreteRecord, std::span<const double>,
                                   std::span<double> Response) {
  Classes()->ClassifyAll(DiscreteRecord, Response);
}
