// TExampleBlocks: the k-NN classifier's stored examples laid out for the
// search, and the cheap bound that lets the search pass over most of them.
//
// Examples sit in blocks of kLanes; inside a block the values go attribute
// by attribute, each attribute's kLanes values side by side (discrete codes
// in one array, floats in another). A scan thus reads memory in order and
// works on kLanes examples at once. Appending is O(attributes); the blocks
// are a copy kept beside the classifier's example records, which stay the
// model (the stream, the accessors and the exact distance read those).
//
// Values missing under the missing values the blocks were built for are
// stored as NaN (float) and -1 (discrete), so the bound leaves them out
// without testing against the classifier's settings.
//
// MayEnter gives, per example of a block, whether its distance to the query
// could come below the farthest neighbour's. It sums the same terms in
// plain double, with a margin covering every rounding of both ways of
// summing: an example it rules out has an exact distance at or beyond the
// farthest neighbour, which the neighbour list would drop anyway.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// One comparable float attribute of the query: enabled, present in the
// query; its value and the attribute's scale.
struct TScanFloat {
  int32_t Index;
  double Value;
  double Scale;
};

// One comparable discrete attribute of the query and the query's code;
// Bytes is that code in each byte when it fits one, else -1 in each (a code
// no byte-wide block holds). Make it with ScanDiscrete.
struct TScanDiscrete {
  int32_t Index;
  int32_t Value;
  int64_t Bytes;
};

TScanDiscrete ScanDiscrete(int32_t Index, int32_t Value);

// The query's side of the distance, the same for every example.
struct TScanQuery {
  std::vector<TScanFloat> Float;
  std::vector<TScanDiscrete> Discrete;
  bool Norm2 = false;
};

class TExampleBlocks {
public:
  static constexpr size_t kLanes = 8;

  // What decides that an example is out: Sum x Keep - Slack >= Limit, where
  // Sum is its mismatches plus float terms; -NegNeed mismatches alone do.
  struct TBound {
    double Keep;
    double Slack;
    double Limit;
    int32_t NegNeed;
  };

  TExampleBlocks();

  // True when the blocks were built for these attribute counts and these
  // missing values (the float one compared bit for bit).
  bool BuiltFor(int32_t DiscreteCount, int32_t FloatCount, int32_t MissingDiscrete, double MissingFloat) const;
  // Empties the blocks (releasing their memory) and sets what they are for.
  void Reset(int32_t DiscreteCount, int32_t FloatCount, int32_t MissingDiscrete, double MissingFloat);
  // Appends one example; the records must have the counts given to Reset.
  void Append(std::span<const int32_t> Discrete, std::span<const double> Float);
  // Keeps the first Count examples (no-op when there are not more).
  void Truncate(size_t Count);

  size_t Count() const { return FCount; }
  size_t BlockCount() const { return (FCount + kLanes - 1) / kLanes; }
  // True when none of example i's float values is missing.
  bool Complete(size_t i) const { return FComplete[i] != 0; }

  // The bound for a query and Far, the farthest neighbour's distance of a
  // full list; it holds until that distance changes.
  static TBound Bound(const TScanQuery& Query, double Far);
  // Bit l set when example Block x kLanes + l (one that exists) may lie
  // nearer than the Far that B was made for.
  uint32_t MayEnter(size_t Block, const TScanQuery& Query, const TBound& B) const;

  // The bound runs with 256-bit vectors when the processor has AVX2 (the
  // default), else with the 128-bit ones every x86-64 has; both answer the
  // same. Tests switch the wide kernel off to reach the other.
  void SetUseAvx2(bool Value);
  bool UseAvx2() const { return FAvx2; }

private:
  void Widen();
  bool IsMissing(double Value) const;
  // Use(Store) with the discrete store in use: FDiscrete once wide, else
  // FNarrow.
  template <class UseFn>
  decltype(auto) WithDiscreteStore(UseFn&& Use) {
    return FWide ? Use(FDiscrete) : Use(FNarrow);
  }
  template <class UseFn>
  decltype(auto) WithDiscreteStore(UseFn&& Use) const {
    return FWide ? Use(FDiscrete) : Use(FNarrow);
  }

  int32_t FDiscreteCount = 0;
  int32_t FFloatCount = 0;
  int32_t FMissingDiscrete = -1;
  double FMissingFloat = 0.0;
  size_t FCount = 0;
  bool FAvx2 = false;
  // Discrete codes are kept in bytes while every code fits one, and in
  // 32-bit ints from the first that does not (or with many attributes).
  bool FWide = false;
  std::vector<int8_t> FNarrow;     // BlockCount x DiscreteCount x kLanes
  std::vector<int32_t> FDiscrete;  // the same, wide
  std::vector<double> FFloat;      // BlockCount x FloatCount x kLanes
  std::vector<uint8_t> FComplete;  // per example
};
