// Learning a table in shards on several threads, merged in row order.
//
// Every object a thread touches is its own: its dataset (opened here, on
// the caller's thread), a binding with the caller's columns and settings,
// and a classifier with the caller's settings and classes but nothing
// learned. Only the merges, after every thread has stopped, touch the
// caller's classifier, in row order, so its classes come out in the order
// of their first rows.
#include "ShardLearning.h"

#include <algorithm>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "ClassifierBase.h"
#include "DBClassifier.h"
#include "DataSet.h"
#include "Exceptions.h"
#include "ParallelClassifier.h"

namespace {

struct TShard {
  std::unique_ptr<TDataSet> Data;
  std::unique_ptr<TClassifier> Classifier;
  std::unique_ptr<TDBClassifier> Binding;
  int32_t FirstRow = 0;  // zero-based
  int32_t Rows = 0;
  std::exception_ptr Failure;
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

void LearnShard(TShard& S) {
  try {
    if (S.Rows == 0) return;
    S.Data->SetRecNo(S.FirstRow + 1);
    for (int32_t Row = 0; Row < S.Rows; ++Row) {
      if (Row > 0) {
        S.Data->Next();
        if (S.Data->Eof()) throw Exception("Shard ended after " + std::to_string(Row) + " of " +
                                           std::to_string(S.Rows) + " rows");
      }
      S.Binding->LearnRecord();
    }
  } catch (...) {
    S.Failure = std::current_exception();
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
  if (Binding.OnLearnDataset()) Binding.OnLearnDataset()(&Binding, 0);
  if (Binding.AutoAttributes()) Binding.CreateAttributes();
  Binding.PrepareAttributes();
  if (CodesDependOnEarlierRows(Binding)) {
    Binding.LearnDataset(0);
    return;
  }

  std::vector<TShard> Shards(static_cast<size_t>(Count));
  for (int32_t I = 0; I < Count; ++I) {
    TShard& S = Shards[static_cast<size_t>(I)];
    S.FirstRow = static_cast<int32_t>(int64_t{Rows} * I / Count);
    S.Rows = static_cast<int32_t>(int64_t{Rows} * (I + 1) / Count) - S.FirstRow;
    S.Data = OpenDataset();
    if (!S.Data || !S.Data->Active()) throw Exception("Shard dataset is not open");
    if (S.Data->RecordCount() != Rows)
      throw Exception("Shard dataset has " + std::to_string(S.Data->RecordCount()) + " rows, the table " +
                      std::to_string(Rows));
    S.Classifier = EmptyLike(Target);
    S.Binding = ShardBinding(Binding, *S.Data, *S.Classifier);
  }

  {
    std::vector<std::jthread> Workers;
    for (size_t I = 1; I < Shards.size(); ++I) Workers.emplace_back(LearnShard, std::ref(Shards[I]));
    LearnShard(Shards[0]);
  }  // the workers join here

  for (TShard& S : Shards) {
    Target.Merge(*S.Classifier);
    if (S.Failure) std::rethrow_exception(S.Failure);
  }
}
