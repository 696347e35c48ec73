// Settings of the sample-table binding and the components of the pages;
// the classifiers' settings are in SampleClassifiers.cpp, which needs
// nothing above the engine.
#include "SampleComponents.h"

#include <string>

#include "Classifier.h"
#include "DBClassifier.h"
#include "SampleLayout.h"
#include "Table.h"

void SetSampleSettings(TDBClassifier& Binding) {
  Binding.SetClassField(TSampleLayout::ClassField);
  Binding.SetMissingDiscreteValue(TSampleLayout::MissingText);
  Binding.SetMissingDiscreteIndex(TSampleLayout::MissingCode);
  Binding.SetAutoAttributes(true);
  Binding.SetIgnoreFieldNames(TSampleLayout::IgnoredFields());
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

TSampleComponents::TSampleComponents(TComponent* AOwner, TSession& Session, const std::string& TableComponentName)
    : TComponent(AOwner) {
  FLC = CreateOwned<TLinearClassifier>(*this);
  FLC->SetName("LC");
  SetSampleSettings(*FLC);
  FNB = CreateOwned<TNaiveBayes>(*this);
  FNB->SetName("NB");
  SetSampleSettings(*FNB);
  FKNN = CreateOwned<TKNearestNeighbors>(*this);
  FKNN->SetName("KNN");
  SetSampleSettings(*FKNN);
  FTable = CreateOwned<TTable>(*this, &Session);
  FTable->SetName(TableComponentName);
  FDBLC = CreateOwned<TDBClassifier>(*this);
  FDBLC->SetName("DBLC");
  SetSampleSettings(*FDBLC);
  FDBLC->SetClassifier(FLC);
  FDBLC->SetDataset(FTable);
}
