// Linked against the static engine: the program runs the unit
// initialisation itself.
#include <cstdio>
#include <memory>
#include <vector>

#include "ClassRegistry.h"
#include "Classifier.h"
#include "ClassifierUnit.h"

int main() {
  InitializeClassifierUnit();
  std::unique_ptr<TComponent> Component(CreateComponentByName("TNaiveBayes", nullptr));
  auto* C = dynamic_cast<TNaiveBayes*>(Component.get());
  if (!C) return 1;
  C->SetDiscreteAttributeCount(1);
  C->Learn("x", std::vector<int32_t>{0}, std::vector<double>{});
  C->Learn("y", std::vector<int32_t>{1}, std::vector<double>{});
  std::printf("%s\n", C->ClassName(C->Classify(std::vector<int32_t>{1}, std::vector<double>{})).c_str());
  Component.reset();
  FinalizeClassifierUnit();
  return IsClassRegistered("TNaiveBayes") ? 2 : 0;
}
