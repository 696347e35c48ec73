// pellory train and classify: a table learned through the binding into a
// model file, and a model file applied to a table.
#include <memory>

#include "Classifier.h"
#include "Commands.h"
#include "Convert.h"
#include "DBClassifier.h"
#include "SampleComponents.h"
#include "SampleLayout.h"
#include "SampleModels.h"
#include "Table.h"

int TrainCommand(const TArguments& Args, TToolIO& IO) {
  const std::string Kind = Args.Required("classifier", "lc|nb|knn");
  const std::string TypeName = ClassifierClassName(Kind);
  if (TypeName.empty()) throw TUsageError("train: --classifier: '" + Kind + "' is not one of lc, nb, knn");
  using L = TCrossTestLimits;
  const int32_t K = Args.Integer("k", L::MinNeighbors, L::MaxNeighbors, L::DefaultNeighbors);
  if (Args.Has("k") && Kind != "knn") throw TUsageError("train: --k applies to --classifier knn only");
  const std::string ModelFile = Args.Required("model", "FILE");

  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  const std::unique_ptr<TTable> Table = Source->OpenTable(Args.Positionals()[0]);
  const std::unique_ptr<TClassifier> Classifier = NewSampleClassifier(TypeName);
  if (auto* Knn = dynamic_cast<TKNearestNeighbors*>(Classifier.get())) Knn->SetKNeighbors(K);
  LearnSampleTable(*Table, *Classifier);
  Classifier->SaveToFile(ModelFile);
  IO.Out << Table->TableName() << ": " << Table->RecordCount() << " rows learned by " << TypeName << ", "
         << Classifier->ClassCount() << " classes, " << AttributeCountText(*Classifier) << "\n"
         << "model written to " << ModelFile << "\n";
  return 0;
}

int ClassifyCommand(const TArguments& Args, TToolIO& IO) {
  const std::string ModelFile = Args.Required("model", "FILE");
  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  const std::unique_ptr<TTable> Table = Source->OpenTable(Args.Positionals()[0]);

  const std::unique_ptr<TClassifier> Classifier = LoadSampleClassifier(ModelFile);
  const std::unique_ptr<TDBClassifier> Binding = BindModelToTable(*Table, *Classifier);

  TField* Id = Table->FieldByName(TSampleLayout::IdField);
  TField* Class = Table->FieldByName(TSampleLayout::ClassField);
  IO.Out << "ID\tGuessed class\tActual class\n";
  for (Table->First(); !Table->Eof(); Table->Next())
    IO.Out << Id->AsInteger() << "\t" << Binding->ClassifyRecord() << "\t" << FloatToShortest(Class->AsFloat())
           << "\n";
  IO.Out << "Accuracy [%]: " << FormatFixed(Binding->ClassifyDataset(0), 2) << "\n";
  return 0;
}
