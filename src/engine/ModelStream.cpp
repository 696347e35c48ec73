// The model stream. Placeholder until the model stream module is built:
// every operation reports that it is missing.
#include "Classifier.h"

#include "Exceptions.h"

namespace {
[[noreturn]] void NotBuilt(const char* What) { throw Exception(std::string(What) + " not built yet"); }
}  // namespace

void TClassifier::SaveToStream(TStream&) const { NotBuilt("SaveToStream"); }
void TClassifier::LoadFromStream(TStream&) { NotBuilt("LoadFromStream"); }
void TClassifier::SaveToFile(const std::string&) const { NotBuilt("SaveToFile"); }
void TClassifier::LoadFromFile(const std::string&) { NotBuilt("LoadFromFile"); }
void TStatisticClassifier::SaveToStream(TStream&) const { NotBuilt("SaveToStream"); }
void TStatisticClassifier::LoadFromStream(TStream&) { NotBuilt("LoadFromStream"); }
void TClassesListItem::SaveToStream(TStream&) const { NotBuilt("SaveToStream"); }
void TClassesListItem::LoadFromStream(TStream&) { NotBuilt("LoadFromStream"); }
void TKNearestNeighbors::SaveToStream(TStream&) const { NotBuilt("SaveToStream"); }
void TKNearestNeighbors::LoadFromStream(TStream&) { NotBuilt("LoadFromStream"); }
