// TKNearestNeighbors: the instance-based classifier of the engine.
//
// Learning copies each case into an example store (when StoreExamples is
// set) and widens the value range of every float attribute. Classifying
// measures the distance from the query to every stored example, or, when
// examples are not stored, to every record of an outside data source fetched
// through the record events, keeps the KNeighbors nearest in a sorted list
// and answers the class most of them belong to. There is no reject.
//
// Distance between a candidate and the query: over the attributes enabled
// and present on both sides, each float difference scaled by 1 / (range of
// the attribute) enters as |d| (dmNorm1) or d^2 (dmNorm2), each discrete
// mismatch as 1; the distance is the square root of the mean of these terms,
// 0 when nothing was comparable.
//
// Classes are the names in Classes(); a class is its zero-based position
// there. Errors are Exception with the exact messages quoted below.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ClassifierBase.h"
#include "ExampleBlocks.h"
#include "StringList.h"

enum class TDistanceModel : int32_t { dmNorm1, dmNorm2 };

// One candidate neighbour. ExampleIndex is the stored example it came from,
// -1 for a record of the outside data source.
struct TKRecord {
  double Distance = 0.0;
  int32_t ClassIndex = -1;
  int32_t ExampleIndex = -1;
};

// One stored example: private copies of the learned records, with the
// attribute counts in force when it was stored.
struct TExampleRecord {
  int32_t ClassIndex = 0;
  std::vector<int32_t> DiscreteValues;
  std::vector<double> FloatValues;
};

// Range of one float attribute (both ends start at 0) and the scale derived
// from it by PrepareFloatSpan.
struct TFloatSpan {
  double Scale = 0.0;
  double Max = 0.0;
  double Min = 0.0;
};

// Per-attribute switch; Weight is kept at 1.0 and not used by the distance.
struct TAttributeParam {
  bool Enabled = true;
  double Weight = 1.0;
};

class TKNearestNeighbors : public TClassifier {
public:
  // KNeighbors 10, StoreExamples false, LeaveOneOut -1, dmNorm1, no classes.
  explicit TKNearestNeighbors(TComponent* AOwner);
  ~TKNearestNeighbors() override;

  std::string TypeName() const override { return "TKNearestNeighbors"; }
  // TClassifier's entries, then LeaveOneOut, DistanceModel, StoreExamples,
  // "Classes.Strings" (when not empty), KNeighbors, InternalPruning and the
  // six record events (each when assigned).
  void DefineProperties(TPropertyList& List) const override;

  // --- Properties -------------------------------------------------------
  // Index of the stored example the search skips; -1 skips none.
  int32_t LeaveOneOut() const { return FLeaveOneOut; }
  void SetLeaveOneOut(int32_t Value) { FLeaveOneOut = Value; }
  TDistanceModel DistanceModel() const { return FDistanceModel; }
  void SetDistanceModel(TDistanceModel Value) { FDistanceModel = Value; }
  bool StoreExamples() const { return FStoreExamples; }
  // Setting false discards every stored example.
  void SetStoreExamples(bool Value);
  const TStringList& Classes() const { return FClasses; }
  TStringList& Classes() { return FClasses; }
  // Copies the names of Value (not its objects) into Classes.
  void SetClasses(const TStringList& Value);
  std::vector<std::string> ClassNames() const { return FClasses.ToVector(); }
  void SetClassNames(const std::vector<std::string>& Names);
  int32_t KNeighbors() const { return FKNeighbors; }
  // Values below 1 store 1; the current neighbour list is not touched.
  void SetKNeighbors(int32_t Value);
  int32_t ExampleCount() const { return FExampleCount; }
  // Keeps the first Value examples and releases the others. Raises
  // "ExampleCount <v> out of range (0..<count>)" for a value below 0 or
  // above the number of stored examples (those slots hold no example).
  void SetExampleCount(int32_t Value);

  // Read access to the model.
  bool SpanChanged() const { return FSpanChanged; }
  const std::vector<TKRecord>& Neighbors() const { return FNeighbors; }
  const std::vector<TFloatSpan>& FloatSpans() const { return FFloatSpans; }
  // The whole store: its size is the capacity, the first ExampleCount()
  // entries are in use.
  const std::vector<TExampleRecord>& Examples() const { return FExamples; }
  const std::vector<TAttributeParam>& DiscreteParams() const { return FDiscreteParams; }
  const std::vector<TAttributeParam>& FloatParams() const { return FFloatParams; }

  // --- Overridden virtual operations ---------------------------------------
  // A changed count resizes the parameters (all reset) and, for floats, the
  // spans (all 0). Stored examples are kept with their old lengths, so a
  // later search over them fails with the length messages below.
  void SetDiscreteAttributeCount(int32_t Value) override;
  void SetFloatAttributeCount(int32_t Value) override;
  // Raise "Index > (Length(DiscreteParams)-1)" / "Index > (Length(FloatParams)-1)"
  // above the last attribute, "Index < 0!" (set) / "Index < 0" (get) below 0.
  void DiscreteAttributeStateSet(int32_t Index, bool Value) override;
  void FloatAttributeStateSet(int32_t Index, bool Value) override;
  bool DiscreteAttributeStateGet(int32_t Index) const override;
  bool FloatAttributeStateGet(int32_t Index) const override;

  // Appends the class when no class has that name (letter case ignored) and
  // learns the case through LearnIndex.
  void Learn(const std::string& ClassName, std::span<const int32_t> DiscreteRecord,
             std::span<const double> FloatRecord) override;
  // Creates every missing class up to ClassIndex (named "0", "1", ... or
  // "1", "2", ... after IndexesZeroBased), stores the example when
  // StoreExamples is set and widens the float ranges. Records must have the
  // attribute counts' lengths: "Length(DiscreteRecord) <>
  // DiscreteAttributeCount!" / "Length(FloatRecord) <> FloatAttributeCount!";
  // a position below 0 raises EListError. A failing call changes nothing.
  void LearnIndex(int32_t ClassIndex, std::span<const int32_t> DiscreteRecord,
                  std::span<const double> FloatRecord) override;
  // Searches the neighbours and returns the majority class among them
  // (ties: lowest position; 0 without classes or neighbours). The query must
  // have the attribute counts' lengths (the messages above). Without stored
  // examples the outside data source is searched through the events:
  // "OnPushPosition event not assigned!", "OnNextRecord events not
  // assigned!", "OnPopPosition event not assigned!". An error midway ends the
  // search at once (OnLastRecord and OnPopPosition are not called).
  int32_t Classify(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord) override;
  // As Classify, and leaves the number of neighbours of each class in
  // Response; raises "Length(Response) <> Classes.Count" after the search.
  int32_t ClassifyResponse(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord,
                           std::span<double> Response) override;
  std::string ClassName(int32_t Index) const override;
  int32_t ClassIndex(std::string_view Name) const override;
  // Forget, by depth:
  //             spans    classes  examples  neighbours  parameters
  //   Reset     zeroed   cleared  cleared   cleared     reset
  //   SoftReset zeroed   cleared  cleared   cleared     kept
  //   Clear     kept     cleared  cleared   kept        kept
  // None clears SpanChanged.
  void Reset() override;
  void SoftReset() override;
  void Clear() override;
  // Leave-one-out test: percent of stored examples classified right by the
  // others. Raises "StoreExamples = False!"; 0 with no stored example.
  // LeaveOneOut is restored afterwards, also when an error passes.
  double ClassifyTest() override;
  void SaveToStream(TStream& Stream) const override;
  void LoadFromStream(TStream& Stream) override;
  int32_t ClassCount() const override { return FClasses.Count(); }
  bool KeepsExamples() const override { return FStoreExamples; }
  // Appends Other's stored examples in Other's order, their classes mapped
  // to the united class list, and widens the float ranges to cover both.
  // Both classifiers must store examples ("Cannot merge: ... does not store
  // examples"), and every example of Other must have the attribute counts'
  // lengths.
  void Merge(const TClassifier& Other) override;
  // The same, moving Other's examples (Other keeps its classes and spans
  // and no example).
  void MergeTaking(TClassifier& Other) override;
  // Without stored examples the search reads the outside data source.
  bool ReadsRecordsWhileClassifying() const override { return !FStoreExamples; }

  // --- Own operations ------------------------------------------------------
  // Number of enabled discrete attributes on which D1 (candidate) and D2
  // (query) differ; Count receives the number compared.
  int32_t DiscreteSum(std::span<const int32_t> D1, std::span<const int32_t> D2, int32_t& Count) const;
  // Scaled float difference sum per DistanceModel; Count as above.
  double FloatSum(std::span<const double> F1, std::span<const double> F2, int32_t& Count) const;
  // Distance between a candidate (D1, F1) and the query (D2, F2), with the
  // scales as they stand (PrepareFloatSpan is not run).
  double Distance(std::span<const int32_t> D1, std::span<const double> F1, std::span<const int32_t> D2,
                  std::span<const double> F2) const;
  // Scale of every float attribute: SpanScale of its range.
  void PrepareFloatSpan();
  // 1 / (Max - Min), or 0.001 for an empty range; the difference and the
  // quotient in extended precision, each rounded to double. The model
  // stream reader checks stored scales with it.
  static double SpanScale(const TFloatSpan& Span);
  // Fills Neighbors() for the query (the search behind Classify).
  void ClassifyInternal(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord);
  // Offers one candidate: the list keeps the KNeighbors smallest distances,
  // ascending; an equal distance ranks after those offered before, and a
  // candidate that only ties the farthest entry of a full list is dropped.
  void InsertNeighbors(const TKRecord& R);
  void ClearNeighbors() { FNeighbors.clear(); }
  // Counts one vote per neighbour into Votes (by class position; positions
  // outside Votes are not counted) and returns the winner, 0 when Votes is empty.
  int32_t FindMajorityClass(std::span<double> Votes) const;
  // Appends one example under zero-based class ClassIndex (the store grows
  // to 2 x count + 37 entries when full). Records as for LearnIndex.
  void AddExample(int32_t ClassIndex, std::span<const int32_t> DiscreteRecord,
                  std::span<const double> FloatRecord);
  // Frees the store; ExampleCount becomes 0.
  void ClearExamples();
  void ResetParams();   // both kinds
  void ResetDParams();  // discrete: Enabled true, Weight 1.0
  void ResetFParams();  // float: likewise

private:
  // Merge; with Movable (the same object as From) the examples are moved.
  void MergeNeighbors(const TKNearestNeighbors& From, TKNearestNeighbors* Movable);
  void CheckRecordLengths(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord) const;
  void EnsureClassCount(int64_t Count);
  void PrepareQuery(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord);
  double QueryDistance(std::span<const int32_t> D1, std::span<const double> F1) const;
  double CandidateDistance(const int32_t* D, const double* F, bool Complete, long double Cutoff) const;
  template <bool Norm2>
  double AddFloatTerms(const double* F) const;
  template <bool Norm2>
  double AddCheckedFloatTerms(const double* F, int32_t& Compared) const;
  void AddDiscreteTerms(const int32_t* D, int32_t& Compared, int32_t& Differences) const;
  void CheckCandidate(const TExampleRecord& E) const;
  void UpdateBlocks();
  void OfferExample(int32_t i, bool Complete);
  void SearchExamples();
  void SearchDataSource();
  void ZeroSpans();

  bool FSpanChanged = false;
  std::vector<TKRecord> FNeighbors;
  std::vector<TFloatSpan> FFloatSpans;
  std::vector<TExampleRecord> FExamples;
  // The stored examples laid out for the search, a copy beside FExamples.
  // It may lag behind the store: the search first appends what was learned
  // since, and rebuilds it when the attribute counts or a missing value
  // changed. ClearExamples empties it and SetExampleCount shortens it with
  // the store.
  TExampleBlocks FBlocks;
  int32_t FKNeighbors = 10;
  TStringList FClasses;
  bool FStoreExamples = false;
  int32_t FExampleCount = 0;
  TDistanceModel FDistanceModel = TDistanceModel::dmNorm1;
  int32_t FLeaveOneOut = -1;
  std::vector<TAttributeParam> FFloatParams;
  std::vector<TAttributeParam> FDiscreteParams;

  // Work space reused by every search, so classifying allocates nothing
  // once the sizes are reached.
  // The query's comparable attributes (float ones in order, as the exact
  // sum takes them); for discrete attributes also per attribute whether it
  // is comparable (1) or not (0), and the query's values.
  TScanQuery FScan;
  std::vector<int32_t> FQueryDiscreteUsed;
  std::vector<int32_t> FQueryDiscreteValue;
  std::vector<int32_t> FWorkDiscrete;
  std::vector<double> FWorkFloat;
  std::string FWorkName;
  std::vector<double> FVotes;
};
