// TLinearClassifier: the engine's own algorithm, learning and classifying in
// time linear in the number of attributes.
//
// Per class and attribute it keeps value counts (discrete) and a running mean
// and sample deviation (float). A class's response averages, with the
// attribute weights, a typicality score of each present value: for a
// discrete value its count relative to the class's most frequent value, for a
// float value the two-sided normal tail beyond its distance from the mean in
// units of two deviations (looked up in NormalTable). UsePriorProbability
// smooths the discrete scores and adds the class prior to the response.
//
// The class list also measures how well each attribute separates the classes
// (DiscreteEntropy, FloatEntropy).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ClassesList.h"
#include "StatisticClassifier.h"
#include "ValueRows.h"

class TLinearClassifier;

// Standard normal CDF at k/100, k = 0..300, rounded to five decimals.
extern const std::array<float, 301> NormalTable;

class TLClassesListItem : public TClassesListItem {
public:
  explicit TLClassesListItem(TClassesList* AOwner) : TClassesListItem(AOwner) {}
  std::string TypeName() const override { return "TLClassesListItem"; }

  // Raise "Length(NewDiscreteRecord) <> Length(Discrete)!" /
  // "Length(NewFloatRecord) <> Length(Float)!" before changing anything.
  void LearnDiscrete(std::span<const int32_t> NewDiscreteRecord) override;
  void LearnFloat(std::span<const double> NewFloatRecord) override;
  // Raise "Length(Discrete) <> Length(DiscreteSource)!" /
  // "Length(Float) <> Length(FloatSource)!".
  double ClassifyDiscrete(std::span<const int32_t> DiscreteSource, double& WeightSum) override;
  double ClassifyFloat(std::span<const double> FloatSource, double& WeightSum) override;
  // 0 when the class is disabled or no attribute took part; otherwise
  // (D + F) / (Wd + Wf), with the prior added to the numerator when
  // UsePriorProbability is set.
  double Classify(std::span<const int32_t> DiscreteSource, std::span<const double> FloatSource) override;
  // The item merge, and each discrete Mode as learning this item's cases
  // and then Other's picks it (see MergedMode in Merge.cpp).
  void Merge(const TClassesListItem& Other) override;

  // Score of value code Value in Rec; requires 0 <= Value < Rec.ValueCount.
  float DiscreteInformationGain(int32_t Value, const TDiscreteRecord& Rec) const;
  // Score of X in Rec: 1/0 for a zero deviation (X equal to the mean or not),
  // else 2 x (1 - NormalTable[round(100 z)]) for z = |X-Mean|/(2 StdDev) < 3.
  static float FloatInformationGain(float X, const TFloatRecord& Rec);

private:
  bool UsePrior() const;
};

class TLClassesList : public TClassesList {
public:
  // AOwner is normally the linear classifier whose UsePriorProbability the
  // items read; any other owner (or none) means no prior.
  explicit TLClassesList(TClassifier* AOwner);
  ~TLClassesList() override = default;
  std::string TypeName() const override { return "TLClassesList"; }

  std::unique_ptr<TClassesListItem> GetClassItem() override;
  bool UsePriorProbability() const;

  // Separability of one attribute over all classes, 0..1 (0 with no classes).
  // Raise "AttributeIndex > DiscreteCount-1" / "AttributeIndex > FloatCount-1".
  double DiscreteEntropy(int32_t AttributeIndex) const { return DiscreteEntropyOf(*this, AttributeIndex); }
  double FloatEntropy(int32_t AttributeIndex) const { return FloatEntropyOf(*this, AttributeIndex); }
  // The same measures over any class list (they read only the records).
  static double DiscreteEntropyOf(const TClassesList& List, int32_t AttributeIndex);
  static double FloatEntropyOf(const TClassesList& List, int32_t AttributeIndex);

  // Where N(Mean1, StdDev1) and N(Mean2, StdDev2) intersect between the two
  // means (Mean1 <= Mean2, positive deviations); the midpoint when the
  // deviations are equal or no intersection lies between the means.
  static float GaussIntersection(float Mean1, float StdDev1, float Mean2, float StdDev2);
  // Sorts A[iLo..iHi] by Mean ascending (not stable). An empty range is left
  // alone; a range outside A raises EListError.
  static void QuickSort(std::span<TFloatRecord> A, int32_t iLo, int32_t iHi);

  // Every class's response, in list order, as each item's Classify gives
  // it, from what is kept of the learned state (see TColumns). Raises
  // "Length(Response) <> Classes.Count" first, then the items' length
  // errors. Allocates only when the model changed since the last call.
  void ClassifyAll(std::span<const int32_t> DiscreteSource, std::span<const double> FloatSource,
                   std::span<double> Response) const;

private:
  // A class's discrete scores depend only on its own counts (and on
  // UsePriorProbability): they are kept per class, attribute and value
  // code, with twice each float deviation, and rebuilt for a class when
  // that class has changed.
  struct TClassScores {
    const TClassesListItem* Item = nullptr;
    uint64_t ChangeCount = 0;  // the item's state the scores were built for
    bool Prior = false;
    std::vector<uint32_t> First;  // per attribute, first score; one more entry ends the last
    std::vector<float> Score;     // score of value code v of attribute i at First[i] + v
    std::vector<double> TwoStdDev;
  };
  // The same, laid out attribute by attribute with the classes side by side,
  // for the classes whose sums are plain (every enabled weight 1.0, every
  // kept score at most 1, at most MaxPlainAttributes attributes of a kind):
  // their responses are then sums of table entries and float scores taken
  // for all classes in one pass over the record. A class's entries are
  // rebuilt when it has changed, the layout when the classes did.
  struct TColumns {
    bool Built = false;
    bool Usable = false;  // false: every class goes through TClassScores
    bool Prior = false;
    size_t Classes = 0;
    size_t DiscreteCount = 0;
    size_t FloatCount = 0;
    std::vector<const TClassesListItem*> Items;
    std::vector<uint64_t> ChangeCount;  // per class: the item state its entries hold
    std::vector<uint8_t> Plain;         // per class
    // Per discrete attribute: a row of scores for each value code below
    // Reach, then one (all 0) for every code from Reach on.
    std::vector<int32_t> Reach;
    std::vector<int32_t> RowsPerAttribute;  // work space: Reach + 1 each
    TValueRows<float> Score;
    std::vector<double> DiscreteTakesPart; // attribute x class: 1.0 for an enabled record, else 0.0
    std::vector<double> Mean;              // float attribute x class, likewise below
    std::vector<double> StdDev;
    std::vector<double> TwoStdDev;
    std::vector<uint8_t> FloatEnabled;
    std::vector<double> Sums;      // work space: D, Wd, F, Wf, each one per class
    std::vector<double> Quotient;  // work space: one per class
  };
  // Largest number of scores kept per class, and in the columns; beyond it
  // the highest value codes of an attribute are scored when they occur (and
  // the columns are not used).
  static constexpr size_t kMaxKeptScores = size_t{1} << 20;
  const TClassScores& ScoresOf(size_t Index, const TClassesListItem& Item, bool Prior) const;
  // One class's response from its TClassScores.
  double ClassifyOne(size_t Index, const TClassesListItem& Item, bool Prior, std::span<const int32_t> DiscreteSource,
                     std::span<const double> FloatSource) const;
  // Brings the columns up to date with the classes.
  void UpdateColumns(bool Prior) const;
  void LayOutColumns(bool Prior) const;
  // False when the class no longer fits the layout.
  bool FillColumns(size_t Index) const;

  const TLinearClassifier* FLinear;
  mutable std::vector<TClassScores> FScores;
  mutable std::vector<double> FPriors;
  mutable uint64_t FPriorsChangeCount = 0;
  mutable TColumns FColumns;
};

class TLinearClassifier : public TStatisticClassifier {
public:
  // A statistic classifier with a TLClassesList; UsePriorProbability false.
  explicit TLinearClassifier(TComponent* AOwner);
  ~TLinearClassifier() override = default;
  std::string TypeName() const override { return "TLinearClassifier"; }
  // TStatisticClassifier's entries, then UsePriorProbability (always) and
  // "Classes.Strings" (when there are classes).
  void DefineProperties(TPropertyList& List) const override;

  bool UsePriorProbability() const { return FUsePriorProbability; }
  void SetUsePriorProbability(bool Value) { FUsePriorProbability = Value; }
  // Pruning's hooks: UsePriorProbability off, and back.
  bool SuspendPrior() override {
    const bool WasOn = FUsePriorProbability;
    FUsePriorProbability = false;
    return WasOn;
  }
  void RestorePrior(bool WasOn) override { FUsePriorProbability = WasOn; }
  TLClassesList* Classes() const { return static_cast<TLClassesList*>(FClasses.get()); }
  TLClassesList* GetClasses() const { return Classes(); }
  void SetClasses(TLClassesList*) {}

  // Test-free attribute rating by the class list's entropies: fills
  // AttributeList (length AttributeCount, else "Length(AttributeList) <>
  // AttributeCount"), sorts it by Quality, changes no switch. Deliberately
  // not an override: through a TClassifier reference (and in Prune) the
  // measured base rating applies.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Woverloaded-virtual"
#endif
  void AttributeQuality(std::span<TIndexRecord> AttributeList) const;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

protected:
  // All classes from the class list's kept scores; the same responses as
  // the items' Classify.
  void ComputeResponses(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord,
                        std::span<double> Response) override;

private:
  bool FUsePriorProbability = false;
};
