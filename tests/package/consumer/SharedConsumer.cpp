// Linked against the shared package: its classes are registered as soon as
// it is loaded, and its engine classes can be used directly.
#include <cstdio>
#include <memory>
#include <vector>

#include "ClassRegistry.h"
#include "Classifier.h"
#include "Tarnel.h"

int main() {
  if (!IsClassRegistered("TLinearClassifier") || !IsClassRegistered("TKNearestNeighbors")) return 1;
  if (std::string(GetPackageInfoTable()->Description) != "Halvorn Pellory") return 2;
  TLinearClassifier C(nullptr);
  C.SetDiscreteAttributeCount(1);
  C.SetFloatAttributeCount(1);
  C.Learn("a", std::vector<int32_t>{0}, std::vector<double>{1.0});
  C.Learn("b", std::vector<int32_t>{1}, std::vector<double>{9.0});
  TMemoryStream S;
  C.SaveToStream(S);
  S.SetPosition(0);
  TLinearClassifier D(nullptr);
  D.LoadFromStream(S);
  const int32_t Class = D.Classify(std::vector<int32_t>{1}, std::vector<double>{9.0});
  std::printf("%s\n", D.ClassName(Class).c_str());
  return D.ClassName(Class) == "b" ? 0 : 3;
}
