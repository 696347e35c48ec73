// One engine classifier as the Python module holds it.
//
// The estimators of the package `pellory` keep one TModelHandle each. It
// owns a classifier of one of the engine's three classes, applies the
// settings the estimators expose, and runs learning and classifying over
// whole batches of records laid out row after row (the discrete values of
// every row in one block, the float values in another), so the Python side
// crosses into C++ once per batch.
//
// Classes are named: the caller registers a class name (AddClass) before it
// learns rows of that class by position. Positions are the engine's class
// list positions, zero-based, whatever the model's IndexesZeroBased says.
//
// Every operation takes the handle's lock, so two Python threads that share
// an estimator (the GIL is released around the engine's work) take turns
// instead of racing on the classifier's scratch space.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

class TClassifier;
class TStream;

// The settings an estimator stores; an unset field keeps the classifier's
// value. Each applies only to the classes that have it (RejectProbability:
// linear and naive Bayes; UsePrior: linear; M: naive Bayes; K and Euclidean:
// k-NN); MissingFloatValue to all ("NAN": only NaN and infinities are
// missing).
struct TModelSettings {
  std::optional<double> RejectProbability;
  std::optional<bool> UsePrior;
  std::optional<int32_t> M;
  std::optional<int32_t> K;
  std::optional<bool> Euclidean;
  std::optional<std::string> MissingFloatValue;
};

class TModelHandle {
public:
  // A new, empty classifier of the registered engine class ClassName
  // ("TLinearClassifier", "TNaiveBayes" or "TKNearestNeighbors"): zero-based
  // indexes, missing discrete code -1, k-NN storing its examples. Raises
  // Exception "unknown classifier class 'X'" for any other name.
  explicit TModelHandle(const std::string& ClassName);
  ~TModelHandle();
  TModelHandle(const TModelHandle&) = delete;
  TModelHandle& operator=(const TModelHandle&) = delete;

  std::string ClassName() const;
  void Configure(const TModelSettings& Settings);
  // Every field set, read from the classifier (the fields that do not apply
  // to its class stay unset).
  TModelSettings Settings() const;
  bool IndexesZeroBased() const;

  int32_t DiscreteCount() const;
  int32_t FloatCount() const;
  // Sets the attribute counts of a model that has learned nothing; a model
  // with classes must already have these counts (Exception "the model has D
  // discrete and F float attributes, the data gives d and f" otherwise).
  void SetAttributeCounts(int32_t Discrete, int32_t Float);

  std::vector<std::string> ClassNames() const;
  // Position of the class called Name, appended when no class has that name
  // (letter case ignored, as the engine compares class names).
  int32_t AddClass(const std::string& Name);

  // Learns Classes.size() rows: row r has the discrete values
  // Discrete[r*D .. r*D+D-1], the float values Float[r*F .. r*F+F-1] and the
  // class position Classes[r]. Raises "Record batch sizes do not match" when
  // the spans disagree and "class position p is not a class of the model"
  // for a position outside the class list, before anything is learned.
  void Learn(std::span<const int32_t> Discrete, std::span<const double> Float, std::span<const int32_t> Classes);
  // Guesses.size() rows as above; each gets its class position, -1 when
  // rejected. Threads above 1 classify slices on that many threads.
  void Classify(std::span<const int32_t> Discrete, std::span<const double> Float, std::span<int32_t> Guesses,
                int32_t Threads);
  // Responses.size() / ClassCount rows: every class's response per row, row
  // after row.
  void Responses(std::span<const int32_t> Discrete, std::span<const double> Float, std::span<double> Responses);

  // The model stream (what a model file holds).
  std::vector<uint8_t> SaveModel() const;
  // Replaces the model by a model stream of the same class. Raises
  // Exception "the model stream holds a X, not a Y" for another class, and
  // the stream errors for a damaged one; the model is then unchanged.
  void LoadModel(std::span<const uint8_t> Bytes);
  // The class a model stream was written from.
  static std::string StreamClassName(std::span<const uint8_t> Bytes);

  // The learning state: the model stream plus the learned-case counts the
  // stream drops, so a model carried to another process (pickle) answers
  // and merges as the original. LoadState checks the whole state first; a
  // damaged one or one of another class leaves the model unchanged.
  std::vector<uint8_t> SaveState() const;
  void LoadState(std::span<const uint8_t> Bytes);

  // Adds what Other learned (the engine's Merge; Other may be this handle).
  // Raises the engine's refusal naming the difference.
  void Merge(const TModelHandle& Other);

private:
  // Loads Bytes with Load into a fresh classifier of this class and, when
  // all of it was read (What names it in the error otherwise), takes it.
  void Replace(std::span<const uint8_t> Bytes, const char* What, void (*Load)(TClassifier&, TStream&));
  void CheckBatch(size_t Rows, std::span<const int32_t> Discrete, std::span<const double> Float) const;

  std::string FClassName;
  std::unique_ptr<TClassifier> FClassifier;
  mutable std::mutex FLock;
};
