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
// A float value that is missing under the missing value the blocks were
// built for is stored as NaN, so the bound leaves it out without a test.
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

// One comparable discrete attribute of the query and the query's code.
struct TScanDiscrete {
  int32_t Index;
  int32_t Value;
};

// The query's side of the distance, the same for every example.
struct TScanQuery {
  std::vector<TScanFloat> Float;
  std::vector<TScanDiscrete> Discrete;
  int32_t MissingDiscrete = -1;  // besides negative codes
  bool Norm2 = false;
};

class TExampleBlocks {
public:
  static constexpr size_t kLanes = 8;

  // True when the blocks were built for these attribute counts and this
  // missing float value (compared bit for bit).
  bool BuiltFor(int32_t DiscreteCount, int32_t FloatCount, double MissingFloat) const;
  // Empties the blocks (releasing their memory) and sets what they are for.
  void Reset(int32_t DiscreteCount, int32_t FloatCount, double MissingFloat);
  // Appends one example; the records must have the counts given to Reset.
  void Append(std::span<const int32_t> Discrete, std::span<const double> Float);
  // Keeps the first Count examples (no-op when there are not more).
  void Truncate(size_t Count);

  size_t Count() const { return FCount; }
  size_t BlockCount() const { return (FCount + kLanes - 1) / kLanes; }
  // True when none of example i's float values is missing.
  bool Complete(size_t i) const { return FComplete[i] != 0; }

  // Bit l set when example Block x kLanes + l (one that exists) may lie
  // nearer than Far, the farthest neighbour's distance of a full list.
  uint32_t MayEnter(size_t Block, const TScanQuery& Query, double Far) const;

private:
  template <bool Norm2>
  uint32_t MayEnterBy(size_t Block, const TScanQuery& Query, double Far) const;
  bool IsMissing(double Value) const;

  int32_t FDiscreteCount = 0;
  int32_t FFloatCount = 0;
  double FMissingFloat = 0.0;
  size_t FCount = 0;
  std::vector<int32_t> FDiscrete;  // BlockCount x DiscreteCount x kLanes
  std::vector<double> FFloat;      // BlockCount x FloatCount x kLanes
  std::vector<uint8_t> FComplete;  // per example
};
