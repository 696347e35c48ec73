// Merging k-nearest-neighbours models: the stored examples concatenate.
//
// Learning Other's cases after this classifier's own would have appended
// them in Other's order under the united class list and widened each float
// range by Other's values, so that is what the merge does; the search then
// finds exactly the neighbours the model learned in one go finds.
#include <limits>
#include <utility>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "KNearestNeighbors.h"

void TKNearestNeighbors::Merge(const TClassifier& Other) {
  CheckMergeable(Other);
  MergeNeighbors(static_cast<const TKNearestNeighbors&>(Other), nullptr);
}

void TKNearestNeighbors::MergeTaking(TClassifier& Other) {
  CheckMergeable(Other);
  auto& From = static_cast<TKNearestNeighbors&>(Other);
  MergeNeighbors(From, &From == this ? nullptr : &From);
}

void TKNearestNeighbors::MergeNeighbors(const TKNearestNeighbors& From, TKNearestNeighbors* Movable) {
  if (!FStoreExamples || !From.FStoreExamples)
    throw Exception(std::string("Cannot merge: ") + (FStoreExamples ? "the other model" : "this model") +
                    " does not store examples (StoreExamples is false), so it holds no cases to merge");
  const int32_t Count = From.FExampleCount;
  for (int32_t i = 0; i < Count; ++i) {
    const TExampleRecord& E = From.FExamples[static_cast<size_t>(i)];
    if (E.DiscreteValues.size() != static_cast<size_t>(FDiscreteAttributeCount) ||
        E.FloatValues.size() != static_cast<size_t>(FFloatAttributeCount))
      throw Exception("Cannot merge: stored example " + std::to_string(i) + " of the other model has " +
                      std::to_string(E.DiscreteValues.size()) + " discrete and " +
                      std::to_string(E.FloatValues.size()) + " float values for " +
                      std::to_string(FDiscreteAttributeCount) + " and " + std::to_string(FFloatAttributeCount) +
                      " attributes");
    if (E.ClassIndex < 0 || E.ClassIndex >= From.FClasses.Count())
      throw Exception("Cannot merge: stored example " + std::to_string(i) + " of the other model has class " +
                      std::to_string(E.ClassIndex) + " of " + std::to_string(From.FClasses.Count()));
  }
  if (int64_t{FExampleCount} + Count > std::numeric_limits<int32_t>::max())
    throw Exception("Cannot merge: more than 2147483647 stored examples together");

  // Read before anything changes: Other may be this classifier.
  const std::vector<std::string> TheirNames = From.FClasses.ToVector();
  std::vector<int32_t> Position(TheirNames.size());
  for (size_t c = 0; c < TheirNames.size(); ++c) {
    int32_t Here = FClasses.IndexOf(TheirNames[c]);
    if (Here < 0) Here = FClasses.Add(TheirNames[c]);
    Position[c] = Here;
  }
  // Room for every example first, so the store does not move while Other's
  // examples (perhaps this store's own) are read.
  const size_t Total = static_cast<size_t>(FExampleCount) + static_cast<size_t>(Count);
  if (FExamples.size() < Total) FExamples.resize(Total);
  for (int32_t i = 0; i < Count; ++i) {
    const TExampleRecord& E = From.FExamples[static_cast<size_t>(i)];
    const int32_t Class = Position[static_cast<size_t>(E.ClassIndex)];
    if (!Movable) {
      AddExample(Class, E.DiscreteValues, E.FloatValues);
      continue;
    }
    TExampleRecord& Into = FExamples[static_cast<size_t>(FExampleCount++)];
    Into = std::move(Movable->FExamples[static_cast<size_t>(i)]);
    Into.ClassIndex = Class;
  }

  // A learned value at or beyond an end moves it (the later of equal
  // values wins), so Other's ends, learned after these, take over on a tie.
  bool Widened = false;
  const std::vector<TFloatSpan> TheirSpans = From.FFloatSpans;
  for (size_t i = 0; i < FFloatSpans.size() && i < TheirSpans.size(); ++i) {
    TFloatSpan& S = FFloatSpans[i];
    if (TheirSpans[i].Max >= S.Max) {
      Widened = Widened || TheirSpans[i].Max != S.Max;
      S.Max = TheirSpans[i].Max;
    }
    if (TheirSpans[i].Min <= S.Min) {
      Widened = Widened || TheirSpans[i].Min != S.Min;
      S.Min = TheirSpans[i].Min;
    }
  }
  FSpanChanged = FSpanChanged || From.FSpanChanged || Count > 0 || Widened;
  if (Movable) Movable->ClearExamples();
}
