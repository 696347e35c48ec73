// Settings of the sample-table components, in one place.
#include "SampleComponents.h"

#include <string>
#include <vector>

#include "Classifier.h"
#include "DBClassifier.h"

namespace {

void SetCommonSettings(TClassifier& C) {
  C.SetIndexesZeroBased(false);
  C.SetMissingDiscreteIndex(-1);
  C.SetMissingFloatValue("999");
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
  KNN.SetKNeighbors(10);
  KNN.SetInternalPruning(true);
}

void SetSampleSettings(TDBClassifier& Binding) {
  Binding.SetClassField("Class");
  Binding.SetMissingDiscreteValue("999");
  Binding.SetMissingDiscreteIndex(999);
  Binding.SetAutoAttributes(true);
  std::vector<std::string> Ignore = {"ID", "Value"};
  for (int32_t S = 0; S < 32; ++S) Ignore.push_back("Split" + std::to_string(S));
  Binding.SetIgnoreFieldNames(Ignore);
  TAttributeDataType& Types = Binding.DataType();
  constexpr TAttributeType Float = TAttributeType::atFloat;
  Types.SetStringType(Float);
  Types.SetFixedChar(Float);
  Types.SetWideString(Float);
  Types.SetBoolean(Float);
  Types.SetSmallInt(TAttributeType::atDiscreteIndexed);
  Types.SetInteger(Float);
  Types.SetWord(Float);
  Types.SetFloat(Float);
  Types.SetCurrency(Float);
  Types.SetBCD(Float);
  Types.SetDate(Float);
  Types.SetTime(Float);
  Types.SetDateTime(Float);
  Types.SetLargeInt(Float);
}
