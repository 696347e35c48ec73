// Learning a table on several threads: the rows cut into contiguous ranges
// (shards), each learned over a dataset of its thread by a classifier of its
// own, and the shards merged into the binding's classifier in row order.
//
// The result is the model LearnDataset gives (TClassifier::Merge says how
// exactly: naive Bayes and k-NN answer bit for bit alike, the linear
// classifier's means and deviations may differ in their last bits). Where
// learning apart cannot give that model, the table is learned by
// LearnDataset on the caller's thread: one thread asked for, a classifier
// that cannot merge (a k-NN that does not store examples, or a class the
// class registry does not know, so no copy can be made), or a column whose
// value codes depend on the rows read before it (an akDiscrete text column,
// whose sorted value list renumbers the codes as new values arrive).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class TDataSet;
class TDBClassifier;

// Opens another dataset over the rows the binding's dataset presents (same
// table, same filter), for one shard; owned by the caller. Called from the
// shard threads, one call at a time, while the caller's thread learns the
// first shard on the binding's own dataset.
using TOpenShardDataset = std::function<std::unique_ptr<TDataSet>()>;

// Learns the binding's dataset into its classifier as LearnDataset does,
// with Threads threads (below 1 counts as 1; never more threads than rows).
// The rows are cut into a few contiguous chunks per thread, each learned by
// a classifier of its own and merged in row order; thread 0 works on the
// binding's own dataset, which returns to its row (its AfterScroll fires
// for the rows walked, while Busy stays false: a handler that classifies on
// every scroll belongs detached for the call). Does nothing while the
// binding is Busy or without an active dataset; "No classifier assigned!"
// without a classifier. A shard dataset that does not present as many rows
// as the binding's raises "Shard dataset has N rows, the table M" and
// nothing is merged. When a row fails, the chunks before it and what its
// chunk learned before the error are merged (as LearnDataset keeps the rows
// learned before an error), and the error is raised.
void LearnDatasetInShards(TDBClassifier& Binding, int32_t Threads, const TOpenShardDataset& OpenDataset);
