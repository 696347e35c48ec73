// Learning a sample table into a model, and binding a model to a table.
#include "SampleModels.h"

#include <future>
#include <vector>

#include "Classifier.h"
#include "DBClassifier.h"
#include "DataSource.h"
#include "ShardLearning.h"
#include "Exceptions.h"
#include "ParallelClassifier.h"
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

void LearnSampleTable(const TDataSource& Source, TTable& Table, TClassifier& Classifier, int32_t Threads) {
  const std::unique_ptr<TDBClassifier> Binding = NewSampleBinding(Table, Classifier);
  LearnDatasetInShards(*Binding, Threads, [&]() -> std::unique_ptr<TDataSet> {
    return Source.OpenTable(Table.TableName());
  });
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

namespace {

// Rows read from the table, their records side by side for classifying.
struct TRowBatch {
  TRowBatch(size_t N, size_t D, size_t F) : Discrete(N * D), Float(N * F), Guesses(N), Rows(N) {}
  std::vector<int32_t> Discrete;
  std::vector<double> Float;
  std::vector<int32_t> Guesses;
  std::vector<TRowGuess> Rows;
  size_t Count = 0;
};

}  // namespace

void ClassifySampleTable(TTable& Table, TDBClassifier& Binding, int32_t Threads,
                         const std::function<void(const TRowGuess&)>& OnRow) {
  RequireClassColumn(Binding, Table);
  TClassifier& Classifier = *Binding.Classifier();
  TField* Id = Table.FieldByName(TSampleLayout::IdField);
  if (!Id) throw Exception("table '" + Table.TableName() + "' has no field '" + TSampleLayout::IdField + "'");
  TField* Class = Table.FieldByName(TSampleLayout::ClassField);

  // A classifier that walks the table while it classifies must do so
  // standing on the row, alone: one row a batch, one thread. Otherwise the
  // batches are large enough that starting threads is lost in the work and
  // small enough to stay in cache, and with more than one thread the table
  // is read (on this thread) while the batch before is classified.
  const bool WalksTable = Classifier.ReadsRecordsWhileClassifying();
  const bool Overlap = Threads > 1 && !WalksTable;
  const size_t BatchRows = WalksTable ? 1 : 4096;
  const size_t D = static_cast<size_t>(Classifier.DiscreteAttributeCount());
  const size_t F = static_cast<size_t>(Classifier.FloatAttributeCount());
  // While this thread reads rows and names classes, the others classify
  // with copies of their own, so no object is shared between threads.
  const std::unique_ptr<TClassifier> Worker = Overlap ? CopyClassifier(Classifier) : nullptr;
  TParallelClassifier Parallel(Overlap ? *Worker : Classifier, Overlap ? Threads - 1 : 1);

  // Reads rows into B up to a full batch or the last row; the table stays
  // on the last row read.
  auto Fill = [&](TRowBatch& B) {
    B.Count = 0;
    while (true) {
      Binding.ReadRecord();
      std::copy_n(Binding.DiscreteBuffer().begin(), D, B.Discrete.begin() + static_cast<std::ptrdiff_t>(B.Count * D));
      std::copy_n(Binding.FloatBuffer().begin(), F, B.Float.begin() + static_cast<std::ptrdiff_t>(B.Count * F));
      TRowGuess& Row = B.Rows[B.Count++];
      Row.Id = Id->AsInteger();
      Row.ActualText = Class->AsString();
      Row.ActualValue = Class->AsFloat();
      if (B.Count == BatchRows) return;
      Table.Next();
      if (Table.Eof()) return;
    }
  };
  auto Classify = [&Parallel, D, F](TRowBatch& B) {
    Parallel.Classify(std::span(B.Discrete).first(B.Count * D), std::span(B.Float).first(B.Count * F),
                      std::span(B.Guesses).first(B.Count));
  };
  auto Report = [&](TRowBatch& B) {
    for (size_t R = 0; R < B.Count; ++R) {
      B.Rows[R].Guess = B.Guesses[R];
      OnRow(B.Rows[R]);
    }
  };

  TRowBatch Batches[2] = {TRowBatch(BatchRows, D, F), TRowBatch(BatchRows, D, F)};
  TRowBatch* InFlight = nullptr;
  std::future<void> Classified;
  size_t Next = 0;
  Table.First();
  while (!Table.Eof()) {
    TRowBatch& B = Batches[Next];
    Fill(B);
    if (Overlap) {
      if (InFlight) {
        Classified.get();
        Report(*InFlight);
      }
      Classified = std::async(std::launch::async, Classify, std::ref(B));
      InFlight = &B;
      Next ^= 1;
    } else {
      Classify(B);
      Report(B);
    }
    if (!Table.Eof()) Table.Next();
  }
  if (InFlight) {
    Classified.get();
    Report(*InFlight);
  }
}

std::string AttributeCountText(const TClassifier& Classifier) {
  return std::to_string(Classifier.DiscreteAttributeCount()) + " discrete and " +
         std::to_string(Classifier.FloatAttributeCount()) + " float attributes";
}
