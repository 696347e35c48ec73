// Classifying many records at once on several threads.
//
// Classification changes nothing a caller can see, but a classifier keeps
// per-call scratch space and caches inside the object, so two threads must
// never share one. TParallelClassifier therefore gives every thread but the
// caller's its own copy (CopyClassifier, through Assign), and the caller's thread
// works with the source classifier itself. Each thread takes one contiguous
// slice of the records, so the guesses come back in record order and are
// exactly what the source classifier alone would give.
//
// A classifier that walks the outside data source while it classifies
// (ReadsRecordsWhileClassifying) reads through handlers that are not
// thread-safe: it is always run on the caller's thread alone.
//
// Learning stays sequential: the copies are taken when the parallel
// classifier is made, so learn first, then make one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TClassifier;

// A new classifier of Source's registered class holding Source's model and
// settings (TClassifier::Assign), owned by the caller. Raises "Class X not found" when Source's
// class is not registered (InitializeClassifierUnit registers the engine's).
std::unique_ptr<TClassifier> CopyClassifier(const TClassifier& Source);

class TParallelClassifier {
public:
  // Source must outlive this object and must not learn or change while it
  // is in use. Threads below 1 count as 1.
  TParallelClassifier(TClassifier& Source, int32_t Threads);
  ~TParallelClassifier();
  TParallelClassifier(const TParallelClassifier&) = delete;
  TParallelClassifier& operator=(const TParallelClassifier&) = delete;

  // The threads a Classify call uses (1 for a classifier that reads records
  // while classifying).
  int32_t Threads() const { return static_cast<int32_t>(FCopies.size()) + 1; }

  // Classifies Guesses.size() records given row after row: each row has the
  // source's DiscreteAttributeCount values in Discrete and FloatAttributeCount
  // values in Float. Guesses gets each row's class position (-1: rejected).
  // Raises "Record batch sizes do not match" when the spans disagree; an
  // error of any thread is raised here once every thread has stopped.
  void Classify(std::span<const int32_t> Discrete, std::span<const double> Float, std::span<int32_t> Guesses);

private:
  TClassifier& FSource;
  std::vector<std::unique_ptr<TClassifier>> FCopies;
};
