// Attribute quality and pruning. Placeholder until the pruning module is
// built: every operation reports that it is missing.
#include "Classifier.h"

#include "Exceptions.h"

namespace {
[[noreturn]] void NotBuilt(const char* What) { throw Exception(std::string(What) + " not built yet"); }
}  // namespace

void TClassifier::AttributeQuality(std::span<TIndexRecord>) { NotBuilt("AttributeQuality"); }
void TClassifier::SortIndexRecord(std::span<TIndexRecord>, int32_t, int32_t) { NotBuilt("SortIndexRecord"); }
double TClassifier::PrePrune(std::span<const TIndexRecord>) { NotBuilt("PrePrune"); }
double TClassifier::PostPrune(std::span<const TIndexRecord>) { NotBuilt("PostPrune"); }
double TClassifier::Prune() { NotBuilt("Prune"); }
void TLinearClassifier::AttributeQuality(std::span<TIndexRecord>) const { NotBuilt("AttributeQuality"); }
