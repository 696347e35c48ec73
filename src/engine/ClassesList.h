// Per-class statistics of the statistic classifiers.
//
// TClassesList is a string list whose strings are the class names and whose
// attached objects are TClassesListItem instances owned by the list. An item
// holds what one class has learned, attribute by attribute, in two contiguous
// arrays (TDiscreteRecord, TFloatRecord). The item class is abstract: the
// algorithms (linear, naive Bayes) supply learning and response formulas and
// their list subclass decides, through GetClassItem, which item is created.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ClassifierBase.h"
#include "StringList.h"

class TClassesList;

// Largest discrete value code a class accepts while learning. The counts
// array grows to twice the value count, so this keeps it well within memory
// and int32 arithmetic; a larger code is a caller error.
constexpr int32_t MaxDiscreteValueCode = (1 << 24) - 1;

// What one class has learned about one discrete attribute.
// Invariants: Counts.size() >= ValueCount; slots beyond the values seen are 0.
struct TDiscreteRecord {
  std::vector<int32_t> Counts;  // Counts[v]: cases of this class with value v
  int32_t ValueCount = 0;       // highest value code seen + 1
  int32_t Count = 0;            // non-missing values learned
  int32_t Mode = 0;             // most frequent value (first to reach the top count)
  bool Enabled = false;
  double Weight = 0.0;
  // The value codes that raised ValueCount, in the order they came: the
  // Counts length grew from them, so a merge can grow it as learning in
  // sequence would have. Not in the model stream; a loaded record takes
  // its codes in ascending order (see GuessNewMaxima).
  std::vector<int32_t> NewMaxima;
};

// What one class has learned about one float attribute.
struct TFloatRecord {
  double Mean = 0.0;
  double StdDev = 0.0;  // sample standard deviation (divisor Count-1)
  int32_t Count = 0;
  bool Enabled = false;
  double Weight = 0.0;
};

// Makes room for value code Value in R: ValueCount becomes Value+1 when that
// is larger, and Counts grows to max(2 x ValueCount, 8) entries (new ones 0)
// when it is too short. Value must be >= 0; a value above
// MaxDiscreteValueCode raises "Discrete value <v> out of range (0..16777215)".
void ExtendValueCount(TDiscreteRecord& R, int32_t Value);
// NewMaxima for a record whose arrival order is not known (one read from a
// model stream): its codes with a count, ascending, as codes numbered by
// first appearance arrive.
void GuessNewMaxima(TDiscreteRecord& R);

class TClassesListItem : public TPersistent {
public:
  // Enabled false, LearnedCases 0, empty arrays; the list initialises it.
  explicit TClassesListItem(TClassesList* AOwner) : FOwner(AOwner) {}
  std::string TypeName() const override { return "TClassesListItem"; }

  TClassesList* Owner() const { return FOwner; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) {
    FEnabled = Value;
    Changed();
  }
  int32_t LearnedCases() const { return FLearnedCases; }
  // Stores the value; the list total is not adjusted.
  void SetLearnedCases(int32_t Value) {
    FLearnedCases = Value;
    Changed();
  }
  // Stores the value and moves the list total with it (copying a model).
  void AssignLearnedCases(int32_t Value);

  // What the class has learned, one record per attribute. Reading is free;
  // the Edit views count as a change of the model, since the caller may edit
  // the records through them (see TClassesList::ChangeCount).
  const std::vector<TDiscreteRecord>& Discrete() const { return FDiscrete; }
  const std::vector<TFloatRecord>& Float() const { return FFloat; }
  std::vector<TDiscreteRecord>& EditDiscrete() {
    Changed();
    return FDiscrete;
  }
  std::vector<TFloatRecord>& EditFloat() {
    Changed();
    return FFloat;
  }

  // The owner list's ChangeCount at this item's latest change: what is
  // derived from this item alone stays valid while it is the same.
  uint64_t ChangeCount() const { return FChangeCount; }

  // Count records, all zero, enabled, weight 1.0 (LearnedCases untouched).
  void InitializeDiscrete(int32_t Count);
  void InitializeFLoat(int32_t Count);

  // Counts the case (item and list), then LearnDiscrete, then LearnFloat.
  // A record of the wrong length is rejected by those two after counting.
  void Learn(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord);

  // Reset: statistics zeroed, every record enabled, weights 1.0.
  // SoftReset: statistics zeroed, enable state and weights kept.
  // Both subtract LearnedCases from the list total and set it to 0.
  // ResetWeights: weights 1.0, everything else kept.
  void Reset();
  void SoftReset();
  void ResetWeights();

  // (LearnedCases + 1) / (number of classes + list's LearnedCases).
  double PriorProbability() const;

  // --- Virtual operations, in slot order ----------------------------------
  virtual void LearnDiscrete(std::span<const int32_t> DiscreteRecord) = 0;
  virtual void LearnFloat(std::span<const double> FloatRecord) = 0;
  // Discrete / float part of the response; WeightSum receives the sum of the
  // weights that took part.
  virtual double ClassifyDiscrete(std::span<const int32_t> DiscreteSource, double& WeightSum) = 0;
  virtual double ClassifyFloat(std::span<const double> FloatSource, double& WeightSum) = 0;
  // The class's response, larger = more likely.
  virtual double Classify(std::span<const int32_t> DiscreteSource, std::span<const double> FloatSource) = 0;
  // One item block of the model stream: discrete images and counts, float images.
  virtual void SaveToStream(TStream& Stream) const;
  virtual void LoadFromStream(TStream& Stream);
  // Adds what Other (an item of the same kind and layout, or this item)
  // learned: learned-case counts add (item and list); per discrete record
  // the counts add, Count adds, ValueCount is the larger and Counts grows as
  // learning Other's values in ascending order would have grown it; per
  // float record Count, Mean and StdDev combine by the pairwise formula.
  // Mode, Enabled and Weight stay this item's.
  virtual void Merge(const TClassesListItem& Other);

protected:
  // Tells the owner list that what this item has learned may have changed.
  void Changed();

  TClassesList* FOwner;
  uint64_t FChangeCount = 0;
  bool FEnabled = false;
  int32_t FLearnedCases = 0;
  std::vector<TDiscreteRecord> FDiscrete;
  std::vector<TFloatRecord> FFloat;
};

class TStatisticClassifier;

class TClassesList : public TStringList {
public:
  // Empty list of the given classifier (may be null in isolation: then the
  // missing values are the defaults -1 and 999).
  explicit TClassesList(TClassifier* AOwner) : FOwner(AOwner) {}
  ~TClassesList() override;
  std::string TypeName() const override { return "TClassesList"; }

  TClassifier* Owner() const { return FOwner; }
  int32_t LearnedCases() const { return FLearnedCases; }
  void SetLearnedCases(int32_t) {}  // the total follows the items
  int32_t DiscreteCount() const { return FDiscreteCount; }
  int32_t FloatCount() const { return FFloatCount; }

  // Appends / inserts a class and creates its item (enabled, DiscreteCount
  // and FloatCount records). Duplicate names are not prevented.
  int32_t Add(const std::string& S) override;
  void Insert(int32_t Index, const std::string& S) override;
  // Frees the item (its cases leave the total), then removes the name.
  void Delete(int32_t Index) override;
  // Deletes position 0 until the list is empty.
  void Clear() override;
  // Copies the names of another string list; every class gets a fresh item.
  void Assign(const TPersistent& Source) override;

  // The item of class Index (EListError outside the list).
  TClassesListItem* GetData(int32_t Index) const;
  void SetData(int32_t, TClassesListItem*) {}

  // Item factory: a new item of the list's item class, owned by this list.
  virtual std::unique_ptr<TClassesListItem> GetClassItem() = 0;
  // Call the item operation of the same name on every item, first to last.
  virtual void Reset();
  virtual void SoftReset();
  void ResetWeights();

  // The owner's settings, as items read them.
  int32_t MissingDiscreteIndex() const { return FOwner ? FOwner->MissingDiscreteIndex() : -1; }
  double MissingFloat() const { return FOwner ? FOwner->MissingFloat() : 999.0; }

  // Only the classifier's count setters change these (they re-initialise
  // every item first).
  void SetDiscreteCount(int32_t Value) {
    FDiscreteCount = Value;
    Changed();
  }
  void SetFloatCount(int32_t Value) {
    FFloatCount = Value;
    Changed();
  }

  // Raised by everything that may change a response: learning, the resets,
  // adding, deleting and loading classes, the items' writable views and the
  // classifier settings the responses read. What is derived from the learned
  // state for faster responses is rebuilt when this has moved on.
  uint64_t ChangeCount() const { return FChangeCount; }
  void Changed() { ++FChangeCount; }

private:
  // The string list's own object handling would bypass item ownership.
  using TStringList::AddObject;
  using TStringList::InsertObject;
  using TStringList::SetObjects;
  using TStringList::SetSorted;
  using TStringList::Sort;

  friend class TClassesListItem;  // keeps the total in step with its own count
  void CreateItemAt(int32_t Index, const std::string& S);

  TClassifier* FOwner;
  uint64_t FChangeCount = 1;
  int32_t FLearnedCases = 0;
  int32_t FDiscreteCount = 0;
  int32_t FFloatCount = 0;
};

inline void TClassesListItem::Changed() {
  if (!FOwner) {
    ++FChangeCount;
    return;
  }
  FOwner->Changed();
  FChangeCount = FOwner->ChangeCount();
}

// Unit-level numeric routines.
// Mean of Data (0 for an empty array).
double Mean(std::span<const double> Data);
// Sample standard deviation around AMean (divisor n-1); 0 for n <= 1.
double StdDev(std::span<const double> Data, double AMean);
