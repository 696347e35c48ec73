// Registration of the engine's classifier classes (see ClassifierUnit.h).
#include "ClassifierUnit.h"

#include "ClassRegistry.h"
#include "KNearestNeighbors.h"
#include "LinearClassifier.h"
#include "NaiveBayes.h"

namespace {

// How often the unit has been initialised and not yet finalised: one count
// per program start-up and per load of the package.
int& InitializationCount() {
  static int Count = 0;
  return Count;
}

constexpr const char* UnitClasses[] = {"TLinearClassifier", "TNaiveBayes", "TKNearestNeighbors"};

}  // namespace

void InitializeClassifierUnit() {
  if (InitializationCount()++ > 0) return;
  RegisterComponentClass<TLinearClassifier>(UnitClasses[0]);
  RegisterComponentClass<TNaiveBayes>(UnitClasses[1]);
  RegisterComponentClass<TKNearestNeighbors>(UnitClasses[2]);
}

void FinalizeClassifierUnit() {
  int& Count = InitializationCount();
  if (Count == 0 || --Count > 0) return;
  for (const char* Name : UnitClasses) UnRegisterClass(Name);
}
