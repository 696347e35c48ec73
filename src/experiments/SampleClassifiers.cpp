// The sample settings of the classifiers, the classifiers by kind or class
// name, and model files loaded with those settings. Needs only the engine
// and the framework, so that code which links nothing above them (the
// database extension) learns exactly what `pellory train` learns.
#include "SampleComponents.h"

#include <memory>
#include <string>

#include "ClassRegistry.h"
#include "Classifier.h"
#include "ClassifierUnit.h"
#include "CrossTest.h"  // TCrossTestLimits
#include "Exceptions.h"
#include "PropertyStream.h"
#include "SampleLayout.h"
#include "Stream.h"

namespace {

void SetCommonSettings(TClassifier& C) {
  C.SetIndexesZeroBased(false);
  C.SetMissingDiscreteIndex(-1);
  C.SetMissingFloatValue(TSampleLayout::MissingText);
  C.SetFloatAttributeCount(0);
  C.SetDiscreteAttributeCount(0);
}

}  // namespace

void SetSampleSettings(TLinearClassifier& LC) {
  SetCommonSettings(LC);
  LC.SetRejectProbability(1e-7);
  LC.SetUsePriorProbability(true);
}

void SetSampleSettings(TNaiveBayes& NB) {
  SetCommonSettings(NB);
  NB.SetRejectProbability(1e-7);
  NB.SetM(2);
}

void SetSampleSettings(TKNearestNeighbors& KNN) {
  SetCommonSettings(KNN);
  KNN.SetLeaveOneOut(-1);
  KNN.SetDistanceModel(TDistanceModel::dmNorm2);
  KNN.SetStoreExamples(true);
  KNN.SetKNeighbors(TCrossTestLimits::DefaultNeighbors);
  KNN.SetInternalPruning(true);
}

namespace {

// The settings of each classifier class, by the class's type name.
template <class T> void ApplySettings(TClassifier& C) { SetSampleSettings(static_cast<T&>(C)); }
void SetNeighbors(TClassifier& C, int32_t K) { static_cast<TKNearestNeighbors&>(C).SetKNeighbors(K); }
struct TSettingsEntry {
  const char* Kind;
  const char* ClassName;
  void (*Apply)(TClassifier&);
  void (*ApplyNeighbors)(TClassifier&, int32_t);  // null: the class has no neighbour count
};
const TSettingsEntry SettingsTable[] = {
    {"lc", "TLinearClassifier", ApplySettings<TLinearClassifier>, nullptr},
    {"nb", "TNaiveBayes", ApplySettings<TNaiveBayes>, nullptr},
    {"knn", "TKNearestNeighbors", ApplySettings<TKNearestNeighbors>, SetNeighbors},
};

void RegisterEngineClasses() {
  // Counted once for the life of the program: the registry outlives every
  // classifier made here.
  static const bool Registered = (InitializeClassifierUnit(), true);
  (void)Registered;
}

}  // namespace

std::string ClassifierClassName(const std::string& Kind) {
  for (const TSettingsEntry& E : SettingsTable)
    if (Kind == E.Kind) return E.ClassName;
  return "";
}

std::unique_ptr<TClassifier> NewSampleClassifier(const std::string& ClassName) {
  RegisterEngineClasses();
  std::unique_ptr<TClassifier> Result = CreateComponentAs<TClassifier>(ClassName);
  if (!Result) return nullptr;
  for (const TSettingsEntry& E : SettingsTable)
    if (Result->TypeName() == E.ClassName) E.Apply(*Result);
  return Result;
}

std::unique_ptr<TClassifier> NewSampleClassifier(const std::string& ClassName, int32_t KNeighbors) {
  std::unique_ptr<TClassifier> Result = NewSampleClassifier(ClassName);
  if (Result)
    for (const TSettingsEntry& E : SettingsTable)
      if (Result->TypeName() == E.ClassName && E.ApplyNeighbors) E.ApplyNeighbors(*Result, KNeighbors);
  return Result;
}

std::string ModelClassName(const std::string& FileName) {
  std::unique_ptr<TFileStream> In;
  try {
    In = std::make_unique<TFileStream>(FileName, TFileMode::fmOpenRead);
  } catch (const EFOpenError&) {
    throw Exception("cannot open model file '" + FileName + "'");
  }
  try {
    return ReadComponentClassName(*In);
  } catch (const EStreamError&) {
    throw Exception("'" + FileName + "' is not a model file");
  }
}

std::unique_ptr<TClassifier> LoadSampleClassifier(const std::string& FileName) {
  const std::string ClassName = ModelClassName(FileName);
  RegisterEngineClasses();
  std::unique_ptr<TClassifier> Classifier;
  if (IsClassRegistered(ClassName)) Classifier = NewSampleClassifier(ClassName);
  if (!Classifier) throw Exception("'" + FileName + "' holds a " + ClassName + ", not a classifier model");
  Classifier->LoadFromFile(FileName);
  return Classifier;
}
