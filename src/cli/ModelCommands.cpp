// pellory train and classify: a table learned through the binding into a
// model file, and a model file applied to a table.
#include <fstream>
#include <memory>

#include "Classifier.h"
#include "Commands.h"
#include "Convert.h"
#include "DBClassifier.h"
#include "DataSource.h"
#include "Exceptions.h"
#include "SampleComponents.h"
#include "Table.h"

namespace {

std::unique_ptr<TClassifier> NewClassifier(const std::string& TypeName) {
  if (TypeName == "TLinearClassifier") {
    auto C = std::make_unique<TLinearClassifier>(nullptr);
    SetSampleSettings(*C);
    return C;
  }
  if (TypeName == "TNaiveBayes") {
    auto C = std::make_unique<TNaiveBayes>(nullptr);
    SetSampleSettings(*C);
    return C;
  }
  if (TypeName == "TKNearestNeighbors") {
    auto C = std::make_unique<TKNearestNeighbors>(nullptr);
    SetSampleSettings(*C);
    return C;
  }
  return nullptr;
}

// The class a model file was written from: the name after the property
// block's signature.
std::string ModelClassName(const std::string& FileName) {
  std::ifstream In(FileName, std::ios::binary);
  if (!In) throw Exception("cannot open model file '" + FileName + "'");
  char Head[5] = {};
  In.read(Head, 5);
  if (!In || std::string(Head, 4) != "TPF0") throw Exception("'" + FileName + "' is not a model file");
  std::string Name(static_cast<unsigned char>(Head[4]), '\0');
  In.read(Name.data(), static_cast<std::streamsize>(Name.size()));
  if (!In) throw Exception("'" + FileName + "' is not a model file");
  return Name;
}

std::string AttributeText(const TClassifier& C) {
  return std::to_string(C.DiscreteAttributeCount()) + " discrete and " + std::to_string(C.FloatAttributeCount()) +
         " float attributes";
}

int32_t ClassCount(const TClassifier& C) {
  if (const auto* S = dynamic_cast<const TStatisticClassifier*>(&C)) return S->Classes()->Count();
  if (const auto* K = dynamic_cast<const TKNearestNeighbors*>(&C)) return K->Classes().Count();
  return 0;
}

std::unique_ptr<TDBClassifier> NewBinding(TTable& Table, TClassifier& Classifier) {
  auto Binding = std::make_unique<TDBClassifier>(nullptr);
  SetSampleSettings(*Binding);
  Binding->SetDataset(&Table);
  Binding->SetClassifier(&Classifier);
  return Binding;
}

}  // namespace

int TrainCommand(const TArguments& Args, TToolIO& IO) {
  const std::string Kind = Args.Required("classifier", "lc|nb|knn");
  const char* TypeName = Kind == "lc"    ? "TLinearClassifier"
                         : Kind == "nb"  ? "TNaiveBayes"
                         : Kind == "knn" ? "TKNearestNeighbors"
                                         : nullptr;
  if (!TypeName) throw TUsageError("train: --classifier: '" + Kind + "' is not one of lc, nb, knn");
  const int32_t K = Args.Integer("k", 1, 50, 10);
  if (Args.Has("k") && Kind != "knn") throw TUsageError("train: --k applies to --classifier knn only");
  const std::string ModelFile = Args.Required("model", "FILE");

  const TDataSource Source(Args, IO);
  const std::unique_ptr<TTable> Table = Source.OpenTable(Args.Positionals()[0]);
  const std::unique_ptr<TClassifier> Classifier = NewClassifier(TypeName);
  if (auto* Knn = dynamic_cast<TKNearestNeighbors*>(Classifier.get())) Knn->SetKNeighbors(K);
  const std::unique_ptr<TDBClassifier> Binding = NewBinding(*Table, *Classifier);
  Binding->LearnDataset(0);
  if (!Binding->ClassColumn()) throw Exception("table '" + Table->TableName() + "' has no field 'Class'");
  Classifier->SaveToFile(ModelFile);
  IO.Out << Table->TableName() << ": " << Table->RecordCount() << " rows learned by " << TypeName << ", "
         << ClassCount(*Classifier) << " classes, " << AttributeText(*Classifier) << "\n"
         << "model written to " << ModelFile << "\n";
  return 0;
}

int ClassifyCommand(const TArguments& Args, TToolIO& IO) {
  const std::string ModelFile = Args.Required("model", "FILE");
  const TDataSource Source(Args, IO);
  const std::unique_ptr<TTable> Table = Source.OpenTable(Args.Positionals()[0]);

  const std::string TypeName = ModelClassName(ModelFile);
  const std::unique_ptr<TClassifier> Classifier = NewClassifier(TypeName);
  if (!Classifier) throw Exception("'" + ModelFile + "' holds a " + TypeName + ", not a classifier model");
  Classifier->LoadFromFile(ModelFile);
  const int32_t D = Classifier->DiscreteAttributeCount();
  const int32_t F = Classifier->FloatAttributeCount();

  // The columns come from the table as learning would build them; the
  // model's counts must match or its statistics belong to other fields.
  const std::unique_ptr<TDBClassifier> Binding = NewBinding(*Table, *Classifier);
  Binding->CreateAttributes();
  Binding->PrepareAttributes();
  if (!Binding->ClassColumn()) throw Exception("table '" + Table->TableName() + "' has no field 'Class'");
  if (Classifier->DiscreteAttributeCount() != D || Classifier->FloatAttributeCount() != F)
    throw Exception("the model has " + std::to_string(D) + " discrete and " + std::to_string(F) +
                    " float attributes, table '" + Table->TableName() + "' gives " + AttributeText(*Classifier));

  TField* Id = Table->FieldByName("ID");
  TField* Class = Table->FieldByName("Class");
  IO.Out << "ID\tGuessed class\tActual class\n";
  for (Table->First(); !Table->Eof(); Table->Next())
    IO.Out << Id->AsInteger() << "\t" << Binding->ClassifyRecord() << "\t" << FloatToShortest(Class->AsFloat())
           << "\n";
  IO.Out << "Accuracy [%]: " << FormatFixed(Binding->ClassifyDataset(0), 2) << "\n";
  return 0;
}
