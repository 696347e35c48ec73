// Learning a sample table into a model, and binding a model to a table.
#include "SampleModels.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <span>
#include <thread>
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
  // small enough to stay in cache.
  const bool WalksTable = Classifier.ReadsRecordsWhileClassifying();
  const size_t Workers = WalksTable ? 1 : static_cast<size_t>(std::max(Threads, 1));
  const size_t BatchRows = WalksTable ? 1 : 4096;
  const size_t D = static_cast<size_t>(Classifier.DiscreteAttributeCount());
  const size_t F = static_cast<size_t>(Classifier.FloatAttributeCount());
  // Thread 0 classifies with the binding's classifier, every other thread
  // with a copy of its own, so no classifier is shared between threads.
  std::vector<std::unique_ptr<TClassifier>> Copies;
  for (size_t T = 1; T < Workers; ++T) Copies.push_back(CopyClassifier(Classifier));
  auto ClassifierOf = [&](size_t T) -> TClassifier& { return T == 0 ? Classifier : *Copies[T - 1]; };

  // Reads rows from the current one into B, up to a full batch or the end
  // of the table, leaving the table on the row after the last one read.
  auto Fill = [&](TRowBatch& B) {
    B.Count = 0;
    while (B.Count < BatchRows && !Table.Eof()) {
      Binding.ReadRecord();
      std::copy_n(Binding.DiscreteBuffer().begin(), D, B.Discrete.begin() + static_cast<std::ptrdiff_t>(B.Count * D));
      std::copy_n(Binding.FloatBuffer().begin(), F, B.Float.begin() + static_cast<std::ptrdiff_t>(B.Count * F));
      TRowGuess& Row = B.Rows[B.Count++];
      Row.Id = Id->AsInteger();
      Row.ActualText = Class->AsString();
      Row.ActualValue = Class->AsFloat();
      Table.Next();
    }
  };
  auto ClassifyRows = [D, F](TClassifier& C, TRowBatch& B, size_t First, size_t End) {
    for (size_t R = First; R < End; ++R)
      B.Guesses[R] = C.Classify(std::span<const int32_t>(B.Discrete).subspan(R * D, D),
                                std::span<const double>(B.Float).subspan(R * F, F));
  };
  auto Report = [&](TRowBatch& B) {
    for (size_t R = 0; R < B.Count; ++R) {
      B.Rows[R].Guess = B.Guesses[R];
      OnRow(B.Rows[R]);
    }
  };

  // One step: Current is classified in chunks while, when the table has
  // more rows, Next is read. The tasks are handed out in turn, the reading
  // first, so the thread that reads classifies too once it is done, and no
  // thread idles while there is work: the linear classifier's step lasts
  // about as long as the reading, k-NN's as its classifying divided among
  // all threads.
  constexpr size_t ChunkRows = 256;
  auto Step = [&](TRowBatch& Current, TRowBatch* Next) {
    const size_t Reading = Next ? 1 : 0;
    const size_t Tasks = Reading + (Current.Count + ChunkRows - 1) / ChunkRows;
    std::atomic<size_t> Ticket{0};
    std::vector<std::exception_ptr> Errors(Workers);
    auto Work = [&](size_t T) {
      try {
        for (size_t Task = Ticket++; Task < Tasks; Task = Ticket++) {
          if (Task < Reading) {
            Fill(*Next);
            continue;
          }
          const size_t First = (Task - Reading) * ChunkRows;
          ClassifyRows(ClassifierOf(T), Current, First, std::min(Current.Count, First + ChunkRows));
        }
      } catch (...) {
        Errors[T] = std::current_exception();
        Ticket = Tasks;  // the others stop at their next task
      }
    };
    {
      std::vector<std::jthread> Helpers;
      for (size_t T = 1; T < std::min(Workers, Tasks); ++T) Helpers.emplace_back(Work, T);
      Work(0);
    }  // the helpers join here
    for (const std::exception_ptr& Error : Errors)
      if (Error) std::rethrow_exception(Error);
  };

  TRowBatch Batches[2] = {TRowBatch(BatchRows, D, F), TRowBatch(BatchRows, D, F)};
  size_t Current = 0;
  Table.First();
  Fill(Batches[Current]);
  while (Batches[Current].Count > 0) {
    TRowBatch* Next = Table.Eof() ? nullptr : &Batches[Current ^ 1];
    Step(Batches[Current], Next);
    Report(Batches[Current]);
    if (!Next) break;
    Current ^= 1;
  }
}

std::string AttributeCountText(const TClassifier& Classifier) {
  return std::to_string(Classifier.DiscreteAttributeCount()) + " discrete and " +
         std::to_string(Classifier.FloatAttributeCount()) + " float attributes";
}
