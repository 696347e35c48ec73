// The k-nearest-neighbours classifier: the example store and float ranges
// kept by learning, the distance, the sorted neighbour list, the vote, the
// search over stored examples or over an outside data source, and the
// leave-one-out test.
//
// Arithmetic follows the engine's rule: each step in extended precision,
// rounded to double where a 64-bit variable receives it (the running float
// sum, the total, the distance).
#include "KNearestNeighbors.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "ClassesList.h"  // MaxDiscreteValueCode
#include "Exceptions.h"

namespace {

constexpr const char* kDiscreteLength = "Length(DiscreteRecord) <> DiscreteAttributeCount!";
constexpr const char* kFloatLength = "Length(FloatRecord) <> FloatAttributeCount!";
constexpr int64_t kMaxClassPosition = MaxDiscreteValueCode;  // the engine's limit on codes

// One float term of the distance, added to the running sum S.
inline double AddFloatTerm(double S, double Candidate, double Query, double Scale, bool Norm2) {
  const long double D = static_cast<long double>(Candidate) - static_cast<long double>(Query);
  if (Norm2) {
    const long double T = D * static_cast<long double>(Scale);
    return static_cast<double>(static_cast<long double>(S) + T * T);
  }
  return static_cast<double>(static_cast<long double>(S) + std::fabs(D) * static_cast<long double>(Scale));
}

// The square root of the mean term; 0 when nothing differed.
inline double FinishDistance(double FloatPart, int32_t DiscretePart, int32_t Compared) {
  const double T = static_cast<double>(static_cast<long double>(FloatPart) + DiscretePart);
  if (!(T > 0.0)) return 0.0;
  return static_cast<double>(std::sqrt(static_cast<long double>(T) / static_cast<long double>(Compared)));
}

// Slightly above 1: a product scaled by it is at least the exact product of
// its (rounded) factors, whatever the two roundings did.
constexpr long double kRoundUp = 1.0L + 0x1p-60L;

// As FinishDistance, but +infinity when the distance cannot come below
// Cutoff's root (Cutoff >= the square of the farthest neighbour's distance
// of a full list): T / n >= Cutoff, then the root and both roundings are
// monotone, so the distance would only tie or pass that neighbour and be
// dropped. This spares the division and the root for most candidates.
inline double FinishOrDrop(double FloatPart, int32_t DiscretePart, int32_t Compared, long double Cutoff) {
  const double T = static_cast<double>(static_cast<long double>(FloatPart) + DiscretePart);
  if (!(T > 0.0)) return 0.0;
  if (static_cast<long double>(T) >= Cutoff * static_cast<long double>(Compared) * kRoundUp)
    return std::numeric_limits<double>::infinity();
  return static_cast<double>(std::sqrt(static_cast<long double>(T) / static_cast<long double>(Compared)));
}

// Restores LeaveOneOut when the leave-one-out test ends, however it ends.
class TRestoreInt {
public:
  explicit TRestoreInt(int32_t& Target) : FTarget(Target), FSaved(Target) {}
  ~TRestoreInt() { FTarget = FSaved; }
  TRestoreInt(const TRestoreInt&) = delete;
  TRestoreInt& operator=(const TRestoreInt&) = delete;

private:
  int32_t& FTarget;
  int32_t FSaved;
};

}  // namespace

TKNearestNeighbors::TKNearestNeighbors(TComponent* AOwner) : TClassifier(AOwner) {
  FKNeighbors = 10;
  SetStoreExamples(false);
  FLeaveOneOut = -1;
}

TKNearestNeighbors::~TKNearestNeighbors() { ClearNeighbors(); }

void TKNearestNeighbors::DefineProperties(TPropertyList& List) const {
  TClassifier::DefineProperties(List);
  using K = TPropertyKind;
  using C = TKNearestNeighbors;
  List.push_back(MakeProperty<K::pkInteger, C>("LeaveOneOut", &C::LeaveOneOut, &C::SetLeaveOneOut));
  List.push_back(MakeProperty<K::pkEnumeration, C>("DistanceModel", &C::DistanceModel, &C::SetDistanceModel, {},
                                                   {"dmNorm1", "dmNorm2"}));
  List.push_back(MakeProperty<K::pkBoolean, C>("StoreExamples", &C::StoreExamples, &C::SetStoreExamples));
  List.push_back(MakeProperty<K::pkStrings, C>("Classes.Strings", &C::ClassNames, &C::SetClassNames,
                                               [](const C& O) { return O.FClasses.Count() > 0; }));
  List.push_back(MakeProperty<K::pkInteger, C>("KNeighbors", &C::KNeighbors, &C::SetKNeighbors));
  List.push_back(MakeProperty<K::pkBoolean, C>("InternalPruning", &TClassifier::InternalPruning,
                                               &TClassifier::SetInternalPruning));
  // Handlers are never restored from a stream: an entry only records that
  // one was assigned.
  auto Event = [&List](const char* Name, auto Assigned) {
    List.push_back(MakeProperty<K::pkEvent, C>(Name, Assigned, nullptr, std::function<bool(const C&)>(Assigned)));
  };
  Event("OnNameNextRecord", [](const C& O) { return static_cast<bool>(O.FOnNameNextRecord); });
  Event("OnIndexNextRecord", [](const C& O) { return static_cast<bool>(O.FOnIndexNextRecord); });
  Event("OnFirstRecord", [](const C& O) { return static_cast<bool>(O.FOnFirstRecord); });
  Event("OnLastRecord", [](const C& O) { return static_cast<bool>(O.FOnLastRecord); });
  Event("OnPushPosition", [](const C& O) { return static_cast<bool>(O.FOnPushPosition); });
  Event("OnPopPosition", [](const C& O) { return static_cast<bool>(O.FOnPopPosition); });
}

// --- Setters ------------------------------------------------------------------

void TKNearestNeighbors::SetStoreExamples(bool Value) {
  FStoreExamples = Value;
  if (!Value) ClearExamples();
}

void TKNearestNeighbors::SetClasses(const TStringList& Value) {
  if (&Value == &FClasses) return;
  SetClassNames(Value.ToVector());
}

void TKNearestNeighbors::SetClassNames(const std::vector<std::string>& Names) {
  FClasses.Clear();
  for (const std::string& Name : Names) FClasses.Add(Name);
}

void TKNearestNeighbors::SetKNeighbors(int32_t Value) { FKNeighbors = Value < 1 ? 1 : Value; }

void TKNearestNeighbors::SetExampleCount(int32_t Value) {
  if (Value < 0 || Value > FExampleCount)
    throw Exception("ExampleCount " + std::to_string(Value) + " out of range (0.." +
                    std::to_string(FExampleCount) + ")");
  for (int32_t i = Value; i < FExampleCount; ++i) FExamples[static_cast<size_t>(i)] = TExampleRecord{};
  FBlocks.Truncate(static_cast<size_t>(Value));
  FExampleCount = Value;
}

void TKNearestNeighbors::SetDiscreteAttributeCount(int32_t Value) {
  if (Value == FDiscreteAttributeCount) return;
  TClassifier::SetDiscreteAttributeCount(Value);
  FDiscreteParams.resize(static_cast<size_t>(FDiscreteAttributeCount));
  ResetDParams();
}

void TKNearestNeighbors::SetFloatAttributeCount(int32_t Value) {
  if (Value == FFloatAttributeCount) return;
  TClassifier::SetFloatAttributeCount(Value);
  FFloatSpans.assign(static_cast<size_t>(FFloatAttributeCount), TFloatSpan{});
  FFloatParams.resize(static_cast<size_t>(FFloatAttributeCount));
  ResetFParams();
}

// --- Attribute states and parameters --------------------------------------------

void TKNearestNeighbors::DiscreteAttributeStateSet(int32_t Index, bool Value) {
  if (Index > static_cast<int32_t>(FDiscreteParams.size()) - 1)
    throw Exception("Index > (Length(DiscreteParams)-1)");
  if (Index < 0) throw Exception("Index < 0!");
  FDiscreteParams[static_cast<size_t>(Index)].Enabled = Value;
}

void TKNearestNeighbors::FloatAttributeStateSet(int32_t Index, bool Value) {
  if (Index > static_cast<int32_t>(FFloatParams.size()) - 1) throw Exception("Index > (Length(FloatParams)-1)");
  if (Index < 0) throw Exception("Index < 0!");
  FFloatParams[static_cast<size_t>(Index)].Enabled = Value;
}

bool TKNearestNeighbors::DiscreteAttributeStateGet(int32_t Index) const {
  if (Index > static_cast<int32_t>(FDiscreteParams.size()) - 1)
    throw Exception("Index > (Length(DiscreteParams)-1)");
  if (Index < 0) throw Exception("Index < 0");
  return FDiscreteParams[static_cast<size_t>(Index)].Enabled;
}

bool TKNearestNeighbors::FloatAttributeStateGet(int32_t Index) const {
  if (Index > static_cast<int32_t>(FFloatParams.size()) - 1) throw Exception("Index > (Length(FloatParams)-1)");
  if (Index < 0) throw Exception("Index < 0");
  return FFloatParams[static_cast<size_t>(Index)].Enabled;
}

void TKNearestNeighbors::ResetParams() {
  ResetDParams();
  ResetFParams();
}

void TKNearestNeighbors::ResetDParams() { std::fill(FDiscreteParams.begin(), FDiscreteParams.end(), TAttributeParam{}); }

void TKNearestNeighbors::ResetFParams() { std::fill(FFloatParams.begin(), FFloatParams.end(), TAttributeParam{}); }

// --- Learning -----------------------------------------------------------------------

void TKNearestNeighbors::CheckRecordLengths(std::span<const int32_t> DiscreteRecord,
                                            std::span<const double> FloatRecord) const {
  if (DiscreteRecord.size() != static_cast<size_t>(FDiscreteAttributeCount)) throw Exception(kDiscreteLength);
  if (FloatRecord.size() != static_cast<size_t>(FFloatAttributeCount)) throw Exception(kFloatLength);
}

void TKNearestNeighbors::EnsureClassCount(int64_t Count) {
  const int64_t Base = FIndexesZeroBased ? 0 : 1;
  for (int64_t k = FClasses.Count(); k < Count; ++k) FClasses.Add(std::to_string(k + Base));
}

void TKNearestNeighbors::Learn(const std::string& ClassName, std::span<const int32_t> DiscreteRecord,
                               std::span<const double> FloatRecord) {
  CheckRecordLengths(DiscreteRecord, FloatRecord);
  int32_t Position = FClasses.IndexOf(ClassName);
  if (Position < 0) Position = FClasses.Add(ClassName);
  LearnIndex(FIndexesZeroBased ? Position : Position + 1, DiscreteRecord, FloatRecord);
}

void TKNearestNeighbors::LearnIndex(int32_t ClassIndex, std::span<const int32_t> DiscreteRecord,
                                    std::span<const double> FloatRecord) {
  CheckRecordLengths(DiscreteRecord, FloatRecord);
  const int64_t Position = FIndexesZeroBased ? int64_t{ClassIndex} : int64_t{ClassIndex} - 1;
  if (Position < 0) throw EListError("List index out of bounds (" + std::to_string(Position) + ")");
  // Every missing class up to the index is created: a stray huge index
  // would otherwise exhaust memory one class name at a time.
  if (Position > kMaxClassPosition)
    throw Exception("Class index " + std::to_string(ClassIndex) + " out of range (more than " +
                    std::to_string(kMaxClassPosition + 1) + " classes)");
  EnsureClassCount(Position + 1);
  if (FStoreExamples) AddExample(static_cast<int32_t>(Position), DiscreteRecord, FloatRecord);
  for (size_t i = 0; i < FloatRecord.size(); ++i) {
    const double V = FloatRecord[i];
    // An infinity is a missing value, and a range widened to it would make
    // the scale 0 and silence the attribute for good; a NaN compares false.
    if (std::isinf(V)) continue;
    TFloatSpan& S = FFloatSpans[i];
    if (V >= S.Max) S.Max = V;
    if (V <= S.Min) S.Min = V;
  }
  FSpanChanged = true;
}

void TKNearestNeighbors::AddExample(int32_t ClassIndex, std::span<const int32_t> DiscreteRecord,
                                    std::span<const double> FloatRecord) {
  CheckRecordLengths(DiscreteRecord, FloatRecord);
  const int32_t i = FExampleCount;
  if (FExamples.size() < static_cast<size_t>(i) + 1) {
    const size_t Capacity = 2 * (static_cast<size_t>(i) + 1) + 37;
    FExamples.reserve(Capacity);
    FExamples.resize(Capacity);
  }
  TExampleRecord& E = FExamples[static_cast<size_t>(i)];
  E.DiscreteValues.assign(DiscreteRecord.begin(), DiscreteRecord.end());
  E.FloatValues.assign(FloatRecord.begin(), FloatRecord.end());
  E.ClassIndex = ClassIndex;
  FExampleCount = i + 1;
}

void TKNearestNeighbors::ClearExamples() {
  std::vector<TExampleRecord>().swap(FExamples);
  FBlocks.Reset(FDiscreteAttributeCount, FFloatAttributeCount, FMissingDiscreteIndex, FMissingFloat);
  FExampleCount = 0;
}

// --- Forgetting ------------------------------------------------------------------------

void TKNearestNeighbors::ZeroSpans() { std::fill(FFloatSpans.begin(), FFloatSpans.end(), TFloatSpan{}); }

void TKNearestNeighbors::Reset() {
  SoftReset();
  ResetParams();
}

void TKNearestNeighbors::SoftReset() {
  ZeroSpans();
  FClasses.Clear();
  ClearExamples();
  ClearNeighbors();
}

void TKNearestNeighbors::Clear() {
  FClasses.Clear();
  ClearExamples();
}

// --- Distance ------------------------------------------------------------------------------

int32_t TKNearestNeighbors::DiscreteSum(std::span<const int32_t> D1, std::span<const int32_t> D2,
                                        int32_t& Count) const {
  if (D1.size() != static_cast<size_t>(FDiscreteAttributeCount)) throw Exception(kDiscreteLength);
  if (D2.size() != D1.size()) throw Exception(kDiscreteLength);
  Count = 0;
  int32_t Differences = 0;
  for (size_t i = 0; i < D1.size(); ++i) {
    if (!FDiscreteParams[i].Enabled || IsMissingDiscrete(D2[i]) || IsMissingDiscrete(D1[i])) continue;
    ++Count;
    if (D1[i] != D2[i]) ++Differences;
  }
  return Differences;
}

double TKNearestNeighbors::FloatSum(std::span<const double> F1, std::span<const double> F2, int32_t& Count) const {
  if (F1.size() != static_cast<size_t>(FFloatAttributeCount)) throw Exception(kFloatLength);
  if (F2.size() != F1.size()) throw Exception(kFloatLength);
  const bool Norm2 = FDistanceModel == TDistanceModel::dmNorm2;
  Count = 0;
  double S = 0.0;
  for (size_t i = 0; i < F1.size(); ++i) {
    if (!FFloatParams[i].Enabled || IsMissingFloat(F2[i]) || IsMissingFloat(F1[i])) continue;
    S = AddFloatTerm(S, F1[i], F2[i], FFloatSpans[i].Scale, Norm2);
    ++Count;
  }
  return S;
}

double TKNearestNeighbors::Distance(std::span<const int32_t> D1, std::span<const double> F1,
                                    std::span<const int32_t> D2, std::span<const double> F2) const {
  int32_t FloatCount = 0;
  int32_t DiscreteCount = 0;
  const double FloatPart = FloatSum(F1, F2, FloatCount);
  const int32_t DiscretePart = DiscreteSum(D1, D2, DiscreteCount);
  return FinishDistance(FloatPart, DiscretePart, FloatCount + DiscreteCount);
}

double TKNearestNeighbors::SpanScale(const TFloatSpan& Span) {
  const double Range = static_cast<double>(static_cast<long double>(Span.Max) - static_cast<long double>(Span.Min));
  return Range > 0.0 ? static_cast<double>(1.0L / static_cast<long double>(Range)) : 0.001;
}

void TKNearestNeighbors::PrepareFloatSpan() {
  for (TFloatSpan& S : FFloatSpans) S.Scale = SpanScale(S);
}

// The query's side of the distance is the same for every candidate: note
// once which attributes are enabled and present in the query, so the
// per-candidate work only looks at the candidate's values.
void TKNearestNeighbors::PrepareQuery(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord) {
  // Room for every attribute once, so no later query allocates.
  FScan.Float.reserve(FloatRecord.size());
  FScan.Discrete.reserve(DiscreteRecord.size());
  FScan.Float.clear();
  for (size_t i = 0; i < FloatRecord.size(); ++i)
    if (FFloatParams[i].Enabled && !IsMissingFloat(FloatRecord[i]))
      FScan.Float.push_back({static_cast<int32_t>(i), FloatRecord[i], FFloatSpans[i].Scale});
  FScan.Discrete.clear();
  FQueryDiscreteUsed.assign(DiscreteRecord.size(), 0);
  FQueryDiscreteValue.assign(DiscreteRecord.begin(), DiscreteRecord.end());
  for (size_t i = 0; i < DiscreteRecord.size(); ++i)
    if (FDiscreteParams[i].Enabled && !IsMissingDiscrete(DiscreteRecord[i])) {
      FQueryDiscreteUsed[i] = 1;
      FScan.Discrete.push_back(ScanDiscrete(static_cast<int32_t>(i), DiscreteRecord[i]));
    }
  FScan.Norm2 = FDistanceModel == TDistanceModel::dmNorm2;
}

// Distance from one candidate to the prepared query: the same terms, in the
// same order, as Distance(). A candidate free of missing float values
// (Complete), the common case, skips the per-value test.
double TKNearestNeighbors::CandidateDistance(const int32_t* D, const double* F, bool Complete,
                                             long double Cutoff) const {
  double S;
  int32_t Compared = 0;
  int32_t Differences = 0;
  if (Complete) {
    S = FScan.Norm2 ? AddFloatTerms<true>(F) : AddFloatTerms<false>(F);
    Compared = static_cast<int32_t>(FScan.Float.size());
  } else {
    S = FScan.Norm2 ? AddCheckedFloatTerms<true>(F, Compared) : AddCheckedFloatTerms<false>(F, Compared);
  }
  AddDiscreteTerms(D, Compared, Differences);
  return FinishOrDrop(S, Differences, Compared, Cutoff);
}

template <bool Norm2>
double TKNearestNeighbors::AddFloatTerms(const double* F) const {
  double S = 0.0;
  for (const TScanFloat& Q : FScan.Float) S = AddFloatTerm(S, F[Q.Index], Q.Value, Q.Scale, Norm2);
  return S;
}

template <bool Norm2>
double TKNearestNeighbors::AddCheckedFloatTerms(const double* F, int32_t& Compared) const {
  double S = 0.0;
  for (const TScanFloat& Q : FScan.Float) {
    const double X = F[Q.Index];
    if (IsMissingFloat(X)) continue;
    S = AddFloatTerm(S, X, Q.Value, Q.Scale, Norm2);
    ++Compared;
  }
  return S;
}

inline void TKNearestNeighbors::AddDiscreteTerms(const int32_t* D, int32_t& Compared, int32_t& Differences) const {
  const int32_t MissingCode = FMissingDiscreteIndex;
  const int32_t* Used = FQueryDiscreteUsed.data();
  const int32_t* Value = FQueryDiscreteValue.data();
  const size_t N = FQueryDiscreteUsed.size();
  int32_t C = 0;
  int32_t Diff = 0;
  // Branch-free so the compiler can do it several attributes at a time.
  for (size_t i = 0; i < N; ++i) {
    const int32_t V = D[i];
    const int32_t Ok = Used[i] & static_cast<int32_t>(V >= 0) & static_cast<int32_t>(V != MissingCode);
    C += Ok;
    Diff += Ok & static_cast<int32_t>(V != Value[i]);
  }
  Compared += C;
  Differences += Diff;
}

double TKNearestNeighbors::QueryDistance(std::span<const int32_t> D1, std::span<const double> F1) const {
  if (F1.size() != static_cast<size_t>(FFloatAttributeCount)) throw Exception(kFloatLength);
  if (D1.size() != static_cast<size_t>(FDiscreteAttributeCount)) throw Exception(kDiscreteLength);
  return CandidateDistance(D1.data(), F1.data(), false, std::numeric_limits<long double>::infinity());
}

void TKNearestNeighbors::CheckCandidate(const TExampleRecord& E) const {
  if (E.FloatValues.size() != static_cast<size_t>(FFloatAttributeCount)) throw Exception(kFloatLength);
  if (E.DiscreteValues.size() != static_cast<size_t>(FDiscreteAttributeCount)) throw Exception(kDiscreteLength);
}

// --- Neighbour list and vote ------------------------------------------------------------------

void TKNearestNeighbors::InsertNeighbors(const TKRecord& R) {
  const size_t K = static_cast<size_t>(FKNeighbors);
  const size_t n = FNeighbors.size();
  const bool Full = n >= K;
  // A full list whose farthest entry is not farther than R keeps R out;
  // this is also the common case of a long search, so it is tested first.
  if (Full && (n == 0 || R.Distance >= FNeighbors.back().Distance)) return;
  // R goes after every entry of equal distance.
  const auto At = std::upper_bound(FNeighbors.begin(), FNeighbors.end(), R.Distance,
                                   [](double D, const TKRecord& E) { return D < E.Distance; });
  if (!Full) {
    FNeighbors.insert(At, R);  // within the capacity reserved for K entries
    return;
  }
  std::move_backward(At, FNeighbors.end() - 1, FNeighbors.end());
  *At = R;
}

int32_t TKNearestNeighbors::FindMajorityClass(std::span<double> Votes) const {
  if (Votes.empty()) return 0;
  std::fill(Votes.begin(), Votes.end(), 0.0);
  for (const TKRecord& E : FNeighbors)
    if (E.ClassIndex >= 0 && static_cast<size_t>(E.ClassIndex) < Votes.size())
      Votes[static_cast<size_t>(E.ClassIndex)] += 1.0;
  size_t Best = 0;
  for (size_t c = 1; c < Votes.size(); ++c)
    if (Votes[c] > Votes[Best]) Best = c;
  return static_cast<int32_t>(Best);
}

// --- Search -------------------------------------------------------------------------------------

void TKNearestNeighbors::ClassifyInternal(std::span<const int32_t> DiscreteRecord,
                                          std::span<const double> FloatRecord) {
  CheckRecordLengths(DiscreteRecord, FloatRecord);
  if (FFloatSpans.size() != static_cast<size_t>(FFloatAttributeCount) ||
      FFloatParams.size() != static_cast<size_t>(FFloatAttributeCount) ||
      FDiscreteParams.size() != static_cast<size_t>(FDiscreteAttributeCount))
    throw Exception("Attribute parameters do not match the attribute counts");
  if (FSpanChanged) PrepareFloatSpan();
  ClearNeighbors();
  // Room for the whole list once, so later searches insert without
  // allocating; never more than the stored examples can fill.
  size_t Room = static_cast<size_t>(FKNeighbors);
  if (FStoreExamples) Room = std::min(Room, static_cast<size_t>(FExampleCount));
  FNeighbors.reserve(std::min<size_t>(Room, 4096));
  PrepareQuery(DiscreteRecord, FloatRecord);
  if (FStoreExamples)
    SearchExamples();
  else
    SearchDataSource();
}

// Brings the block layout up to the store. It stops before an example whose
// lengths differ from the attribute counts: the search takes that one and
// those after it one by one, and fails at it.
void TKNearestNeighbors::UpdateBlocks() {
  if (!FBlocks.BuiltFor(FDiscreteAttributeCount, FFloatAttributeCount, FMissingDiscreteIndex, FMissingFloat) ||
      FBlocks.Count() > static_cast<size_t>(FExampleCount))
    FBlocks.Reset(FDiscreteAttributeCount, FFloatAttributeCount, FMissingDiscreteIndex, FMissingFloat);
  while (FBlocks.Count() < static_cast<size_t>(FExampleCount)) {
    const TExampleRecord& E = FExamples[FBlocks.Count()];
    if (E.FloatValues.size() != static_cast<size_t>(FFloatAttributeCount) ||
        E.DiscreteValues.size() != static_cast<size_t>(FDiscreteAttributeCount))
      break;
    FBlocks.Append(E.DiscreteValues, E.FloatValues);
  }
}

// Offers stored example i with its exact distance. A full list can only
// take it nearer than its farthest entry: FinishOrDrop spares the division
// and the root of those that cannot be.
void TKNearestNeighbors::OfferExample(int32_t i, bool Complete) {
  long double Cutoff = std::numeric_limits<long double>::infinity();
  if (FNeighbors.size() >= static_cast<size_t>(FKNeighbors)) {
    const long double Far = FNeighbors.back().Distance;
    Cutoff = Far * Far * kRoundUp;
  }
  const TExampleRecord& E = FExamples[static_cast<size_t>(i)];
  InsertNeighbors({CandidateDistance(E.DiscreteValues.data(), E.FloatValues.data(), Complete, Cutoff),
                   E.ClassIndex, i});
}

// Candidates are offered in store order, as one by one. Once the list is
// full, the blocks' bound passes over the examples that could only tie or
// trail its farthest entry: offered, they would be dropped and change
// nothing, so the list and every distance in it come out the same.
void TKNearestNeighbors::SearchExamples() {
  UpdateBlocks();
  constexpr size_t L = TExampleBlocks::kLanes;
  const size_t Laid = FBlocks.Count();
  const size_t K = static_cast<size_t>(FKNeighbors);
  // The bound is remade only when the farthest distance changed.
  double BoundFar = std::numeric_limits<double>::quiet_NaN();
  TExampleBlocks::TBound Bound{};
  for (size_t Block = 0; Block < FBlocks.BlockCount(); ++Block) {
    const size_t First = Block * L;
    const size_t Present = std::min(L, Laid - First);
    uint32_t Mask = (1u << Present) - 1;
    if (FNeighbors.size() >= K) {
      const double Far = FNeighbors.back().Distance;
      if (!(Far == BoundFar)) {
        Bound = TExampleBlocks::Bound(FScan, Far);
        BoundFar = Far;
      }
      Mask = FBlocks.MayEnter(Block, FScan, Bound);
    }
    while (Mask != 0) {
      const size_t l = static_cast<size_t>(std::countr_zero(Mask));
      Mask &= Mask - 1;
      const int32_t i = static_cast<int32_t>(First + l);
      if (i != FLeaveOneOut) OfferExample(i, FBlocks.Complete(First + l));
    }
  }
  for (int32_t i = static_cast<int32_t>(Laid); i < FExampleCount; ++i) {
    if (i == FLeaveOneOut) continue;
    const TExampleRecord& E = FExamples[static_cast<size_t>(i)];
    CheckCandidate(E);
    bool Complete = true;
    for (double X : E.FloatValues) Complete = Complete && !IsMissingFloat(X);
    OfferExample(i, Complete);
  }
}

void TKNearestNeighbors::SearchDataSource() {
  FWorkDiscrete.assign(static_cast<size_t>(FDiscreteAttributeCount), 0);
  FWorkFloat.assign(static_cast<size_t>(FFloatAttributeCount), 0.0);
  FWorkName.clear();
  int32_t Index = 0;
  void* Bookmark = nullptr;

  if (!FOnPushPosition) throw Exception("OnPushPosition event not assigned!");
  FOnPushPosition(Bookmark, this);
  if (FOnFirstRecord) FOnFirstRecord(this);
  bool IsLast = false;
  while (!IsLast) {
    int32_t Position;
    if (FOnIndexNextRecord) {
      // The event delivers a zero-based class position (ClassifierBase.h).
      FOnIndexNextRecord(Index, FWorkDiscrete, FWorkFloat, IsLast);
      Position = Index;
    } else if (FOnNameNextRecord) {
      FOnNameNextRecord(FWorkName, FWorkDiscrete, FWorkFloat, IsLast);
      Position = FClasses.IndexOf(FWorkName);
    } else {
      throw Exception("OnNextRecord events not assigned!");
    }
    InsertNeighbors({QueryDistance(FWorkDiscrete, FWorkFloat), Position, -1});
  }
  if (FOnLastRecord) FOnLastRecord(this);
  if (!FOnPopPosition) throw Exception("OnPopPosition event not assigned!");
  FOnPopPosition(Bookmark, this);
}

// --- Classification -------------------------------------------------------------------------------

int32_t TKNearestNeighbors::Classify(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord) {
  ClassifyInternal(DiscreteRecord, FloatRecord);
  FVotes.resize(static_cast<size_t>(FClasses.Count()));
  return FindMajorityClass(FVotes);
}

int32_t TKNearestNeighbors::ClassifyResponse(std::span<const int32_t> DiscreteRecord,
                                             std::span<const double> FloatRecord, std::span<double> Response) {
  ClassifyInternal(DiscreteRecord, FloatRecord);
  if (Response.size() != static_cast<size_t>(FClasses.Count())) throw Exception("Length(Response) <> Classes.Count");
  return FindMajorityClass(Response);
}

std::string TKNearestNeighbors::ClassName(int32_t Index) const {
  if (Index >= 0 && Index <= FClasses.Count() - 1) return FClasses.Strings(Index);
  return "Reject";
}

int32_t TKNearestNeighbors::ClassIndex(std::string_view Name) const { return FClasses.IndexOf(Name); }

double TKNearestNeighbors::ClassifyTest() {
  if (!FStoreExamples) throw Exception("StoreExamples = False!");
  if (FExampleCount == 0) return 0.0;
  TRestoreInt Restore(FLeaveOneOut);
  int32_t Correct = 0;
  for (int32_t i = 0; i < FExampleCount; ++i) {
    FLeaveOneOut = i;
    const TExampleRecord& E = FExamples[static_cast<size_t>(i)];
    if (Classify(E.DiscreteValues, E.FloatValues) == E.ClassIndex) ++Correct;
  }
  return static_cast<double>(static_cast<long double>(Correct) / static_cast<long double>(FExampleCount) * 100.0L);
}
