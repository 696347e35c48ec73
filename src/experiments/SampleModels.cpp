// Learning a sample table into a model, and binding a model to a table.
#include "SampleModels.h"

#include "Classifier.h"
#include "DBClassifier.h"
#include "Exceptions.h"
#include "SampleComponents.h"
#include "SampleLayout.h"
#include "Table.h"

namespace {

void RequireClassColumn(const TDBClassifier& Binding, const TTable& Table) {
  if (!Binding.ClassColumn())
    throw Exception("table '" + Table.TableName() + "' has no field '" + TSampleLayout::ClassField + "'");
}

}  // namespace

std::unique_ptr<TDBClassifier> NewSampleBinding(TTable& Table, TClassifier& Classifier) {
  auto Binding = std::make_unique<TDBClassifier>(nullptr);
  SetSampleSettings(*Binding);
  Binding->SetDataset(&Table);
  Binding->SetClassifier(&Classifier);
  return Binding;
}

void LearnSampleTable(TTable& Table, TClassifier& Classifier) {
  const std::unique_ptr<TDBClassifier> Binding = NewSampleBinding(Table, Classifier);
  Binding->LearnDataset(0);
  RequireClassColumn(*Binding, Table);
}

std::unique_ptr<TDBClassifier> BindModelToTable(TTable& Table, TClassifier& Classifier) {
  const int32_t D = Classifier.DiscreteAttributeCount();
  const int32_t F = Classifier.FloatAttributeCount();
  std::unique_ptr<TDBClassifier> Binding = NewSampleBinding(Table, Classifier);
  Binding->CreateAttributes();
  Binding->PrepareAttributes();
  RequireClassColumn(*Binding, Table);
  if (Classifier.DiscreteAttributeCount() != D || Classifier.FloatAttributeCount() != F)
    throw Exception("the model has " + std::to_string(D) + " discrete and " + std::to_string(F) +
                    " float attributes, table '" + Table.TableName() + "' gives " + AttributeCountText(Classifier));
  return Binding;
}

std::string AttributeCountText(const TClassifier& Classifier) {
  return std::to_string(Classifier.DiscreteAttributeCount()) + " discrete and " +
         std::to_string(Classifier.FloatAttributeCount()) + " float attributes";
}
