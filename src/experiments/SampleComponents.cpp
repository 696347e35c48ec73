// Settings of the sample-table binding; the classifiers' are in
// SampleClassifiers.cpp, which needs nothing above the engine.
#include "SampleComponents.h"

#include "DBClassifier.h"
#include "SampleLayout.h"

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
