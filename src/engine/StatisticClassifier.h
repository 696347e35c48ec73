// TStatisticClassifier: the base of the classifiers that keep per-class
// statistics (linear, naive Bayes).
//
// It owns the class list, adds classes on demand while learning, routes each
// case to its class item and turns the items' responses into a decision: the
// best class or reject (-1). Descendants create the list of their kind in
// their constructor (FClasses); the class is not used on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ClassesList.h"
#include "ClassifierBase.h"

class TStatisticClassifier : public TClassifier {
public:
  ~TStatisticClassifier() override;
  std::string TypeName() const override { return "TStatisticClassifier"; }
  // TClassifier's entries, then RejectProbability (always).
  void DefineProperties(TPropertyList& List) const override;

  double RejectProbability() const { return FRejectProbability; }
  void SetRejectProbability(double Value) { FRejectProbability = Value; }
  TClassesList* Classes() const { return FClasses.get(); }
  void SetClasses(TClassesList*) {}  // the list belongs to the classifier

  // Rebuild the records of every class when the count changes (the learned
  // statistics of that kind start again; LearnedCases stay).
  void SetDiscreteAttributeCount(int32_t Value) override;
  void SetFloatAttributeCount(int32_t Value) override;

  // Per-attribute enable state, stored in every class item. Setting raises
  // "Index > DiscreteCount-1!" / "Index > FloatCount-1!" beyond the last
  // attribute and changes nothing while there are no classes; reading raises
  // "Index > DiscreteAttributeCount-1" / "Index > FloatAttributeCount-1" and,
  // with no class at all, the string list's index error. A negative index
  // raises "Index < 0!" (set) or "Index < 0" (get).
  void DiscreteAttributeStateSet(int32_t Index, bool Value) override;
  void FloatAttributeStateSet(int32_t Index, bool Value) override;
  bool DiscreteAttributeStateGet(int32_t Index) const override;
  bool FloatAttributeStateGet(int32_t Index) const override;

  // Adds the class at the end when no class has that name (letter case
  // ignored), then learns the case into it.
  void Learn(const std::string& ClassName, std::span<const int32_t> DiscreteRecord,
             std::span<const double> FloatRecord) override;
  // Creates every missing class up to ClassIndex, named after its number in
  // the chosen base ("0", "1", ... or "1", "2", ...), then learns into it.
  // A position below 0 raises the string list's index error; a position
  // above MaxDiscreteValueCode raises "Class index <i> out of range (more
  // than 16777216 classes)" before anything is created.
  void LearnIndex(int32_t ClassIndex, std::span<const int32_t> DiscreteRecord,
                  std::span<const double> FloatRecord) override;
  // Responses compared as 32-bit floats, strictly greater wins (ties: first
  // class); -1 when the best is below RejectProbability. With no response
  // above 0 and RejectProbability <= 0 the result is 0.
  int32_t Classify(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord) override;
  // Fills Response with every class's response (64-bit) and compares at 64
  // bits; -1 when no response exceeds 0 or the best is below
  // RejectProbability. Raises "Length(Response) <> Classes.Count" first.
  int32_t ClassifyResponse(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord,
                           std::span<double> Response) override;
  std::string ClassName(int32_t Index) const override;
  int32_t ClassIndex(std::string_view Name) const override;
  // Percent of all learned cases held by the largest class (first of equals);
  // 0 with Index -1 when nothing was learned.
  double MaxPriorProbability(int32_t& Index) const override;
  void Reset() override;      // Classes.Reset
  void SoftReset() override;  // Classes.SoftReset
  void Clear() override;      // Classes.Clear: removes every class

  // Section 1, then one item block per class.
  void SaveToStream(TStream& Stream) const override;
  void LoadFromStream(TStream& Stream) override;
  // TClassifier's copy, then each class's learned-case count, which the
  // model stream does not hold and the prior probability reads, and each
  // discrete record's NewMaxima.
  void Assign(const TPersistent& Source) override;
  int32_t ClassCount() const override { return FClasses->Count(); }
  // Classes united by name; each class's item merges Other's (a class new
  // here takes Other's item with its switches and weights).
  void Merge(const TClassifier& Other) override;
  std::vector<int32_t> LearnedCaseCounts() const override;
  // Raises "<n> learned-case counts for <m> classes", "Negative learned-case
  // count" or "Learned-case counts above 2147483647" before changing anything.
  void SetLearnedCaseCounts(std::span<const int32_t> Counts) override;
  // Each class's discrete records' NewMaxima, class by class. Reading
  // checks that every history is strictly ascending, within its record's
  // ValueCount and ends at its highest code.
  void SaveValueHistories(TStream& Stream) const override;
  void LoadValueHistories(TStream& Stream) override;

  // Whole-model entropy measures, in percent (see TLClassesList). Entropy
  // averages over all attributes (0 without attributes); the Max...
  // variants report the best attribute in Index (-1 when none is above 0);
  // MaxEntropy reports a combined index, a tie going to the float attribute.
  double Entropy() const;
  double MaxDiscreteEntropy(int32_t& Index) const;
  double MaxFloatEntropy(int32_t& Index) const;
  double MaxEntropy(int32_t& Index) const;

protected:
  // The enable state lives in the classes: none without a class.
  bool HasAttributeStates() const override { return FClasses->Count() > 0; }

  // RejectProbability 0.01; the descendant creates FClasses.
  explicit TStatisticClassifier(TComponent* AOwner);

  // Every class's response to the record into Response (one entry per
  // class, in list order), for Classify and ClassifyResponse to decide on.
  // Base: each class item's Classify. A descendant that computes all
  // responses faster together overrides this and nothing else.
  virtual void ComputeResponses(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord,
                                std::span<double> Response);

  // The "Classes.Strings" entry (class names, stored when the list is not
  // empty; reading it replaces every class by a fresh one). Descendants
  // append it after their own published properties.
  static TPropertyInfo ClassesStringsProperty();
  // The class names in list order; setting them replaces every class.
  std::vector<std::string> ClassNames() const;
  void SetClassNames(const std::vector<std::string>& Names);

  std::unique_ptr<TClassesList> FClasses;
  double FRejectProbability = 0.01;

private:
  std::vector<double> FResponses;  // reused by Classify
};
