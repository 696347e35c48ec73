// Models of whole sample tables: a classifier learns every row of a table
// through a binding with the sample settings, and a saved model is bound to
// a table whose attributes must be the ones it learned. `pellory train` and
// `classify` use these; so can any page that learns or applies a model.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TClassifier;
class TDataSource;
class TDBClassifier;
class TTable;

// A binding with the sample settings over the open Table and Classifier
// (neither owned); the caller owns the binding.
std::unique_ptr<TDBClassifier> NewSampleBinding(TTable& Table, TClassifier& Classifier);

// Learns every row of the open Table into Classifier. Raises Exception
// "table 'T' has no field 'Class'" for a table without the class field.
void LearnSampleTable(TTable& Table, TClassifier& Classifier);
// The same on Threads threads, each over its own table of Source opened by
// Table's name (LearnDatasetInShards): the rows in contiguous ranges, the
// shards merged in row order. Threads 1 is the call above.
void LearnSampleTable(const TDataSource& Source, TTable& Table, TClassifier& Classifier, int32_t Threads);

// A binding of the loaded Classifier to the open Table, its columns built
// from the table as learning would build them, ready for ClassifyRecord and
// ClassifyDataset. Raises Exception "table 'T' has no field 'Class'", and
// "the model has D discrete and F float attributes, table 'T' gives d
// discrete and f float attributes" when the counts differ (the model's
// statistics would belong to other fields); the classifier then has the
// table's counts.
std::unique_ptr<TDBClassifier> BindModelToTable(TTable& Table, TClassifier& Classifier);

// One row of a table as ClassifySampleTable reports it.
struct TRowGuess {
  int32_t Id = 0;              // the row's ID field
  std::string ActualText;      // the class field's text
  double ActualValue = 0.0;    // and its value
  int32_t Guess = -1;          // the guessed class position, -1 rejected
};

// Classifies every row of the open Table through Binding (made by
// BindModelToTable) and hands each row to OnRow in table order. The rows go
// in batches; with Threads above 1 every thread classifies (each with its own
// copy of the binding's classifier) and one of them at a time reads the next
// batch, so the guesses are exactly those of ClassifyRecord. A classifier that
// walks the table while it classifies runs on the calling thread alone.
// Raises Exception "table 'T' has no field 'ID'" without the ID field.
void ClassifySampleTable(TTable& Table, TDBClassifier& Binding, int32_t Threads,
                         const std::function<void(const TRowGuess&)>& OnRow);

// "D discrete and F float attributes" of Classifier.
std::string AttributeCountText(const TClassifier& Classifier);
