// TNaiveBayes: the naive Bayesian classifier for discrete attributes.
//
// Per class and discrete attribute it counts how often each value code
// occurred (the items' Discrete records), and in one list-wide table,
// Totals, how often each code occurred over all classes. A record's response
// for a class is its prior P times, for every attribute present, enabled and
// below the class's ValueCount, the m-estimate (M x P + n) / (M + N) of
// P(class | value) divided by P, where n is the class's count of the value
// and N the count over all classes. Float attributes take no part: they are
// neither learned nor scored, though records carry them as for every other
// classifier. The statistic classifier picks the best class and applies
// RejectProbability.
//
// Totals always agree with the class counts as the classifier reads them:
// whenever they may not (a class deleted, a model loaded, records edited
// from outside), they are rebuilt from the class counts before use, so the
// model classifies as if it had been learned.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ClassesList.h"
#include "StatisticClassifier.h"
#include "ValueRows.h"

class TNaiveBayes;
class TBClassesList;

class TBClassesListItem : public TClassesListItem {
public:
  explicit TBClassesListItem(TBClassesList* AOwner);
  std::string TypeName() const override { return "TBClassesListItem"; }

  // Adds the case's discrete values to this class's counts and to Totals.
  // Raises "Length(NewDiscreteRecord) <> Length(Discrete)!" (and the range
  // error of ExtendValueCount) before changing anything.
  void LearnDiscrete(std::span<const int32_t> NewDiscreteRecord) override;
  // Float values are not learned.
  void LearnFloat(std::span<const double> NewFloatRecord) override;
  // The naive Bayes response (WeightSum is not written). Raises
  // "Length(Discrete) <> Length(DiscreteSource)!".
  double ClassifyDiscrete(std::span<const int32_t> DiscreteSource, double& WeightSum) override;
  // 0; WeightSum is not written.
  double ClassifyFloat(std::span<const double> FloatSource, double& WeightSum) override;
  // 0 for a disabled class, else ClassifyDiscrete; the float values are not read.
  double Classify(std::span<const int32_t> DiscreteSource, std::span<const double> FloatSource) override;

  // (M x P + n) / (M + N): the m-estimate of the class probability among the
  // cases with value ValueIndex of attribute AttributeIndex. A value beyond
  // the counts has n = 0 (and N = 0); an attribute outside the records
  // raises "AttributeIndex out of range".
  double InformationGain(int32_t AttributeIndex, int32_t ValueIndex, int32_t M, double P) const;

private:
  TBClassesList& List() const;
};

class TBClassesList : public TClassesList {
public:
  // AOwner is normally the naive Bayes classifier whose M the items read;
  // without one, M is 2.
  explicit TBClassesList(TClassifier* AOwner);
  ~TBClassesList() override;
  std::string TypeName() const override { return "TBClassesList"; }

  std::unique_ptr<TClassesListItem> GetClassItem() override;
  // The inherited operations, then Totals are emptied (Delete) or made to
  // match the emptied class counts (Reset, SoftReset).
  void Delete(int32_t Index) override;
  void Reset() override;
  void SoftReset() override;

  // Value counts over all classes, one record per discrete attribute: only
  // Counts and ValueCount are used (Counts.size() >= ValueCount). Rebuilt
  // first when they may be stale.
  const std::vector<TDiscreteRecord>& Totals() const;
  // Sums Totals afresh from the class counts.
  void RebuildTotals() const;
  // Marks Totals for a rebuild before their next use.
  void InvalidateTotals() {
    FTotalsStale = true;
    Changed();
  }
  // Count empty records (TNaiveBayes's attribute count setter).
  void ResetTotals(int32_t Count);

  int32_t M() const;

  // Every class's response to DiscreteSource, in list order, as each item's
  // Classify gives it (0 for a disabled class). Raises "Length(Response) <>
  // Classes.Count" first, then the items' length error. Reads the factors
  // kept from the learned state (see TResponseCache); allocates only when
  // the model changed since the last call.
  void ClassifyAll(std::span<const int32_t> DiscreteSource, std::span<double> Response) const;
  // The same responses computed from the counts, as each item's Classify
  // does, without the kept factors.
  void ClassifyAllDirect(std::span<const int32_t> DiscreteSource, std::span<double> Response) const;

private:
  static constexpr size_t kResponseBlock = 8;
  // The discrete responses of Count <= kResponseBlock items into Out.
  void DiscreteResponses(const TBClassesListItem* const* Items, size_t Count,
                         std::span<const int32_t> DiscreteSource, double* Out) const;

  // What a class's product takes from its prior: P, Q = 1/P and m x P.
  struct TPriorTerms {
    double P = 0.0;
    double Q = 0.0;
    long double mP = 0.0L;
  };
  static TPriorTerms PriorTermsOf(const TBClassesListItem& Item, long double Lm);
  // m + Nv for value code Slot of attribute Attribute, Nv from Totals; -1
  // when Totals hold no count for it.
  long double ValueDenominator(size_t Attribute, size_t Slot, long double Lm) const;
  // Class record R's m-estimate for that value; Denominator from
  // ValueDenominator, Totals rebuilt first (and Denominator taken again)
  // when they lacked the value.
  double Factor(const TDiscreteRecord& R, size_t Attribute, size_t Slot, long double mP, long double Lm,
                long double& Denominator) const;
  [[gnu::noinline, gnu::cold]] long double RetakenDenominator(size_t Attribute, size_t Slot, long double Lm) const;

  friend class TBClassesListItem;
  // Totals covering Item's records, rebuilt first when needed.
  std::vector<TDiscreteRecord>& TotalsFor(const TBClassesListItem& Item) const;
  void EmptyTotals();

  // What the response multiplies depends only on the learned state: the
  // priors, and for each attribute and value code every class's m-estimate.
  // They are kept here, in the layout of the response loop (a value's
  // factors for all classes side by side), so that a response is a chain
  // of multiplications without divisions. The layout (priors, rows per
  // attribute) is rebuilt at the second record after ChangeCount has moved
  // on (the first is computed directly, so classifying between single
  // learned cases costs what it always did); a value's row is filled at its
  // first use after that.
  struct TValueRow {
    uint64_t Epoch = 0;    // the row holds the factors of this epoch
    bool AllUsed = false;  // every class multiplies by its factor
  };
  struct TResponseCache {
    uint64_t ChangeCount = 0;     // the list state the layout was built for
    uint64_t LastClassified = 0;  // the list state at the latest response
    uint64_t Epoch = 0;        // raised with every layout and Totals rebuild
    bool Direct = true;        // records of unequal length: compute directly
    bool AnyEnabled = false;
    size_t Attributes = 0;
    long double Lm = 2.0L;
    std::vector<const TBClassesListItem*> Items;
    std::vector<uint8_t> ClassEnabled;
    std::vector<TPriorTerms> Prior;
    std::vector<double> Q;  // Prior's Q side by side, for the product loop
    // Per attribute: value codes at or above Reach are neutral for every
    // class; rows are kept for the codes below Width (<= Reach). The spare
    // row beyond the kept ones is scratch space for the codes between Width
    // and Reach.
    std::vector<int32_t> Reach;
    std::vector<int32_t> Width;  // work space for the layout
    std::vector<TValueRow> Rows;
    TValueRows<double> Gain;
    TValueRows<uint8_t> Used;  // 0 where the class skips the value
  };
  // Largest number of kept factors; beyond it the rarest (highest) value
  // codes of an attribute are computed when they occur.
  static constexpr size_t kMaxCachedFactors = size_t{1} << 21;
  void PrepareCache() const;
  void FillRow(size_t Attribute, int32_t Value, size_t Row) const;

  const TNaiveBayes* FBayes;
  // Derived from the class counts; kept here so learning and classifying
  // need not sum over the classes. Rebuilding changes no observable state.
  mutable std::vector<TDiscreteRecord> FTotals;
  mutable bool FTotalsStale = false;
  mutable TResponseCache FCache;
};

class TNaiveBayes : public TStatisticClassifier {
public:
  // A statistic classifier with a TBClassesList; M 2.
  explicit TNaiveBayes(TComponent* AOwner);
  ~TNaiveBayes() override = default;
  std::string TypeName() const override { return "TNaiveBayes"; }
  // TStatisticClassifier's entries, then M (always) and "Classes.Strings"
  // (when there are classes).
  void DefineProperties(TPropertyList& List) const override;

  int32_t M() const { return FM; }
  // Clamped to 1 .. 10; takes effect at the next response.
  void SetM(int32_t Value);
  TBClassesList* Classes() const { return static_cast<TBClassesList*>(FClasses.get()); }
  TBClassesList* GetClasses() const { return Classes(); }
  void SetClasses(TBClassesList*) {}

  // A changed count rebuilds every class's discrete records (as the
  // statistic classifier does) and empties Totals to that many records.
  void SetDiscreteAttributeCount(int32_t Value) override;
  // The stream holds no Totals: they are rebuilt from the loaded counts.
  void LoadFromStream(TStream& Stream) override;
  // The statistic merge; Totals are then summed afresh from the counts.
  void Merge(const TClassifier& Other) override;

protected:
  // Classify and ClassifyResponse are the statistic classifier's; only the
  // responses are computed for all classes together, several times faster.
  void ComputeResponses(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord,
                        std::span<double> Response) override;

private:
  int32_t FM = 2;
};
