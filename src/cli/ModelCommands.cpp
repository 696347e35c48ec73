// pellory train and classify: a table learned through the binding into a
// model file, and a model file applied to a table.
#include <memory>

#include "Classifier.h"
#include "Commands.h"
#include "Convert.h"
#include "DBClassifier.h"
#include "SampleComponents.h"
#include "CrossTest.h"
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
  const int32_t Threads = Args.Integer("threads", 1, MaxClassifyThreads, 1);

  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  const std::unique_ptr<TTable> Table = Source->OpenTable(Args.Positionals()[0]);
  const std::unique_ptr<TClassifier> Classifier = NewSampleClassifier(TypeName, K);
  LearnSampleTable(*Source, *Table, *Classifier, Threads);
  Classifier->SaveToFile(ModelFile);
  IO.Out << Table->TableName() << ": " << Table->RecordCount() << " rows learned by " << TypeName << ", "
         << Classifier->ClassCount() << " classes, " << AttributeCountText(*Classifier) << "\n"
         << "model written to " << ModelFile << "\n";
  return 0;
}

int ClassifyCommand(const TArguments& Args, TToolIO& IO) {
  const std::string ModelFile = Args.Required("model", "FILE");
  const int32_t Threads = Args.Integer("threads", 1, MaxClassifyThreads, 1);
  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  const std::unique_ptr<TTable> Table = Source->OpenTable(Args.Positionals()[0]);

  const std::unique_ptr<TClassifier> Classifier = LoadSampleClassifier(ModelFile);
  const std::unique_ptr<TDBClassifier> Binding = BindModelToTable(*Table, *Classifier);

  IO.Out << "ID\tGuessed class\tActual class\n";
  // The accuracy is ClassifyDataset's, counted from the guesses printed
  // here, so the table is classified once rather than twice.
  int64_t Correct = 0;
  ClassifySampleTable(*Table, *Binding, Threads, [&](const TRowGuess& Row) {
    if (GuessedRight(*Classifier, Row.Guess, Row.ActualText)) ++Correct;
    IO.Out << Row.Id << "\t" << Classifier->ClassName(Row.Guess) << "\t" << FloatToShortest(Row.ActualValue) << "\n";
  });
  IO.Out << "Accuracy [%]: " << FormatFixed(AccuracyPercent(Correct, Table->RecordCount()), 2) << "\n";
  return 0;
}
