// Learning a table in shards on several threads, merged in row order.
//
// Every object a thread touches is its own: its dataset (the binding's own
// for the first shard), a binding with the caller's columns and settings,
// and a classifier with the caller's settings and classes but nothing
// learned. Only the merges, after every thread has stopped, touch the
// caller's classifier, in row order, so its classes come out in the order
// of their first rows.
#include "ShardLearning.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ClassifierBase.h"
#include "DBClassifier.h"
#include "DataSet.h"
#include "Exceptions.h"
#include "ParallelClassifier.h"

namespace {

// A contiguous range of rows and the classifier that learns it.
struct TChunk {
  int32_t FirstRow = 0;  // zero-based
  int32_t Rows = 0;
  std::unique_ptr<TClassifier> Classifier;
  std::exception_ptr Failure;
};

// One thread's dataset (the binding's own for thread 0) and binding.
struct TWorker {
  std::unique_ptr<TDataSet> Owned;
  TDataSet* Data = nullptr;
  std::unique_ptr<TDBClassifier> Binding;
  std::exception_ptr OpenFailure;
};

// The chunks not taken yet: thread 0 takes them from the front, the others
// from the back, so the threads meet wherever their speeds bring them.
class TChunkQueue {
public:
  explicit TChunkQueue(size_t Count) : FHi(Count) {}
  TChunk* Take(std::vector<TChunk>& Chunks, bool Front) {
    const std::lock_guard<std::mutex> Lock(FLock);
    if (FLo >= FHi) return nullptr;
    return &Chunks[Front ? FLo++ : --FHi];
  }

private:
  std::mutex FLock;
  size_t FLo = 0;
  size_t FHi;
};

// A classifier with Source's settings, classes and switches and nothing
// learned (SoftReset keeps what a reset may keep, and no more).
std::unique_ptr<TClassifier> EmptyLike(const TClassifier& Source) {
  std::unique_ptr<TClassifier> Copy = CopyClassifier(Source);
  Copy->SoftReset();
  return Copy;
}

// Whether models of Source's kind and settings can be merged at all: two
// empty ones are tried (a refusal here is about the kind, e.g. a k-NN
// that does not store examples).
bool CanMerge(const TClassifier& Source) {
  try {
    EmptyLike(Source)->Merge(*EmptyLike(Source));
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// A column whose codes come from a value list growing with the rows read.
bool CodesDependOnEarlierRows(const TDBClassifier& Binding) {
  for (int32_t I = 0; I < Binding.Attributes().Count(); ++I) {
    const TFieldColumn* Column = Binding.Attributes().Items(I);
    if (Column != Binding.ClassColumn() && Column->AttributeKind() == TAttributeKind::akDiscrete) return true;
  }
  return false;
}

// A binding for one shard: the caller's prepared columns and settings, over
// the shard's dataset and classifier.
std::unique_ptr<TDBClassifier> ShardBinding(const TDBClassifier& Source, TDataSet& Data, TClassifier& Classifier) {
  auto Binding = std::make_unique<TDBClassifier>(nullptr);
  Binding->SetMissingDiscreteValue(Source.MissingDiscreteValue());
  Binding->SetMissingDiscreteIndex(Source.MissingDiscreteIndex());
  Binding->SetIgnoreFields(Source.IgnoreFields());
  Binding->SetDataType(Source.DataType());
  Binding->SetAttributes(Source.Attributes());
  Binding->SetClassField(Source.ClassField());
  Binding->SetDataset(&Data);
  Binding->SetClassifier(&Classifier);
  Binding->PrepareAttributes();
  return Binding;
}

// Opening a table can cost as much as reading a good part of it (a driver
// may walk its block list), so each thread but the first opens its own
// while the others already learn; the opening itself goes one at a time,
// since the session and the caller's factory are not made for threads.
void OpenWorker(TWorker& W, const TDBClassifier& Source, TClassifier& First, int32_t Rows,
                const TOpenShardDataset& OpenDataset, std::mutex& OpenLock) {
  const std::lock_guard<std::mutex> Lock(OpenLock);
  W.Owned = OpenDataset();
  W.Data = W.Owned.get();
  if (!W.Data || !W.Data->Active()) throw Exception("Shard dataset is not open");
  if (W.Data->RecordCount() != Rows)
    throw Exception("Shard dataset has " + std::to_string(W.Data->RecordCount()) + " rows, the table " +
                    std::to_string(Rows));
  W.Binding = ShardBinding(Source, *W.Data, First);
}

void LearnChunk(TWorker& W, TChunk& C) {
  try {
    W.Binding->SetClassifier(C.Classifier.get());
    W.Data->SetRecNo(C.FirstRow + 1);
    for (int32_t Row = 0; Row < C.Rows; ++Row) {
      if (Row > 0) {
        W.Data->Next();
        if (W.Data->Eof())
          throw Exception("Shard ended after " + std::to_string(Row) + " of " + std::to_string(C.Rows) + " rows");
      }
      W.Binding->LearnRecord();
    }
  } catch (...) {
    C.Failure = std::current_exception();
  }
}

}  // namespace

void LearnDatasetInShards(TDBClassifier& Binding, int32_t Threads, const TOpenShardDataset& OpenDataset) {
  if (Binding.Busy() || !Binding.Dataset() || !Binding.Dataset()->Active()) return;
  if (!Binding.Classifier()) throw Exception("No classifier assigned!");
  TClassifier& Target = *Binding.Classifier();
  const int32_t Rows = Binding.Dataset()->RecordCount();
  const int32_t Count = std::clamp(Threads, 1, std::max(Rows, 1));
  if (Count == 1 || !CanMerge(Target)) {
    Binding.LearnDataset(0);
    return;
  }
  if (Binding.AutoAttributes()) Binding.CreateAttributes();
  Binding.PrepareAttributes();
  if (CodesDependOnEarlierRows(Binding)) {
    Binding.LearnDataset(0);
    return;
  }
  // Told once the pass is under way, as LearnDataset tells it.
  if (Binding.OnLearnDataset()) Binding.OnLearnDataset()(&Binding, 0);

  // A few chunks per thread, so a thread slowed down (by opening its
  // dataset, or by the machine) leaves more of the table to the others.
  const auto ChunkCount = static_cast<size_t>(std::min<int64_t>(int64_t{Count} * 8, Rows));
  std::vector<TChunk> Chunks(ChunkCount);
  for (size_t I = 0; I < ChunkCount; ++I) {
    Chunks[I].FirstRow = static_cast<int32_t>(int64_t{Rows} * static_cast<int64_t>(I) / static_cast<int64_t>(ChunkCount));
    Chunks[I].Rows = static_cast<int32_t>(int64_t{Rows} * static_cast<int64_t>(I + 1) / static_cast<int64_t>(ChunkCount)) -
                     Chunks[I].FirstRow;
    Chunks[I].Classifier = EmptyLike(Target);
  }
  TChunkQueue Queue(ChunkCount);
  std::vector<TWorker> Workers(static_cast<size_t>(Count));
  // Thread 0 walks the binding's own dataset, which then returns to its row.
  TDataSet& Own = *Binding.Dataset();
  TBookmark Position = Own.GetBookmark();
  Workers[0].Data = &Own;
  Workers[0].Binding = ShardBinding(Binding, Own, *Chunks[0].Classifier);

  std::mutex OpenLock;
  {
    std::vector<std::jthread> Threads;
    for (size_t I = 1; I < Workers.size(); ++I)
      Threads.emplace_back([&, I] {
        TWorker& W = Workers[I];
        try {
          OpenWorker(W, Binding, *Chunks[0].Classifier, Rows, OpenDataset, OpenLock);
        } catch (...) {
          W.OpenFailure = std::current_exception();
          return;
        }
        while (TChunk* C = Queue.Take(Chunks, false)) LearnChunk(W, *C);
      });
    while (TChunk* C = Queue.Take(Chunks, true)) LearnChunk(Workers[0], *C);
  }  // the threads join here
  for (TWorker& W : Workers) W.Binding.reset();
  try {
    Own.GotoBookmark(Position);
  } catch (...) {
    Own.FreeBookmark(Position);
    throw;
  }
  Own.FreeBookmark(Position);

  // A shard dataset that could not be used is the caller's error: nothing
  // is merged then.
  for (const TWorker& W : Workers)
    if (W.OpenFailure) std::rethrow_exception(W.OpenFailure);
  for (TChunk& C : Chunks) {
    Target.MergeTaking(*C.Classifier);
    if (C.Failure) std::rethrow_exception(C.Failure);
  }
}
