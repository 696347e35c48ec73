// One parsed model, kept across rows.
#include "ModelCache.h"

#include <algorithm>

#include "Classifier.h"
#include "Exceptions.h"
#include "PropertyStream.h"
#include "SampleComponents.h"
#include "Stream.h"

TModelCache::TModelCache() = default;
TModelCache::~TModelCache() = default;

bool TModelCache::Holds(std::span<const uint8_t> Key) const {
  return FClassifier && std::ranges::equal(Key, FKey);
}

void TModelCache::Load(std::span<const uint8_t> Key, std::span<const uint8_t> Model) {
  FClassifier.reset();
  FKey.assign(Key.begin(), Key.end());
  TMemoryStream Stream(std::vector<uint8_t>(Model.begin(), Model.end()));
  std::string ClassName;
  try {
    ClassName = ReadComponentClassName(Stream);
  } catch (const EStreamError&) {
    throw Exception("the model is not a model stream");
  }
  std::unique_ptr<TClassifier> Loaded;
  try {
    Loaded = NewSampleClassifier(ClassName);
  } catch (const Exception&) {
    // Not a registered class: named below like any other non-classifier.
  }
  if (!Loaded) throw Exception("the model holds a " + ClassName + ", not a classifier");
  Stream.SetPosition(0);
  try {
    Loaded->LoadFromStream(Stream);
  } catch (const Exception& E) {
    throw Exception("the model is damaged: " + E.Message());
  }
  if (Loaded->ReadsRecordsWhileClassifying())
    throw Exception("the model is a k-NN without stored examples; it cannot classify rows on its own");
  FDiscrete.assign(static_cast<size_t>(Loaded->DiscreteAttributeCount()), 0);
  FFloat.assign(static_cast<size_t>(Loaded->FloatAttributeCount()), 0.0);
  FResponses.assign(static_cast<size_t>(Loaded->ClassCount()), 0.0);
  FClassNames.clear();
  for (int32_t I = 0; I < Loaded->ClassCount(); ++I) FClassNames.push_back(Loaded->ClassName(I));
  FClassNames.push_back(Loaded->ClassName(-1));
  FClassifier = std::move(Loaded);
}

void TModelCache::FillRecords(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float) {
  if (!FClassifier) throw Exception("no model");
  if (Discrete.Count != static_cast<int32_t>(FDiscrete.size()))
    throw Exception("discrete has " + std::to_string(Discrete.Count) + " elements, the model has " +
                    std::to_string(FDiscrete.size()) + " discrete attributes");
  if (Float.Count != static_cast<int32_t>(FFloat.size()))
    throw Exception("floats has " + std::to_string(Float.Count) + " elements, the model has " +
                    std::to_string(FFloat.size()) + " float attributes");
  Discrete.Fill(FDiscrete, FClassifier->MissingDiscreteIndex());
  Float.Fill(FFloat, FClassifier->MissingFloat());
}

const std::string& TModelCache::Classify(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float) {
  FillRecords(Discrete, Float);
  const int32_t Guess = FClassifier->Classify(FDiscrete, FFloat);
  return Guess >= 0 && Guess < static_cast<int32_t>(FClassNames.size()) - 1 ? FClassNames[static_cast<size_t>(Guess)]
                                                                             : FClassNames.back();
}

std::span<const double> TModelCache::Responses(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float) {
  FillRecords(Discrete, Float);
  FClassifier->ClassifyResponse(FDiscrete, FFloat, FResponses);
  return FResponses;
}
