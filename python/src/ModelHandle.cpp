// One engine classifier as the Python module holds it: settings, named
// classes, batch learning and classifying, the model stream.
#include "ModelHandle.h"

#include <algorithm>

#include "ClassRegistry.h"
#include "Classifier.h"
#include "ClassifierUnit.h"
#include "Exceptions.h"
#include "ParallelClassifier.h"
#include "PropertyStream.h"
#include "Stream.h"

namespace {

std::unique_ptr<TClassifier> NewClassifier(const std::string& ClassName) {
  static const char* const Known[] = {"TLinearClassifier", "TNaiveBayes", "TKNearestNeighbors"};
  if (std::find(std::begin(Known), std::end(Known), ClassName) == std::end(Known))
    throw Exception("unknown classifier class '" + ClassName + "'");
  InitializeClassifierUnit();  // counted; registers the classes once
  std::unique_ptr<TComponent> Made(CreateComponentByName(ClassName, nullptr));
  std::unique_ptr<TClassifier> Result(dynamic_cast<TClassifier*>(Made.get()));
  Made.release();
  // The Python side numbers classes and codes from 0 and marks a missing
  // discrete value as -1; a k-NN model has no data source to walk, so it
  // keeps its examples.
  Result->SetIndexesZeroBased(true);
  Result->SetMissingDiscreteIndex(-1);
  if (auto* Knn = dynamic_cast<TKNearestNeighbors*>(Result.get())) {
    Knn->SetStoreExamples(true);
    Knn->SetLeaveOneOut(-1);
    Knn->SetInternalPruning(false);
  }
  return Result;
}

std::string CountsText(int32_t D, int32_t F) {
  return std::to_string(D) + " discrete and " + std::to_string(F) + " float attributes";
}

}  // namespace

TModelHandle::TModelHandle(const std::string& ClassName)
    : FClassName(ClassName), FClassifier(NewClassifier(ClassName)) {}

TModelHandle::~TModelHandle() = default;

std::string TModelHandle::ClassName() const { return FClassName; }

void TModelHandle::Configure(const TModelSettings& S) {
  std::lock_guard Guard(FLock);
  TClassifier& C = *FClassifier;
  if (S.MissingFloatValue) C.SetMissingFloatValue(*S.MissingFloatValue);
  if (auto* Statistic = dynamic_cast<TStatisticClassifier*>(&C); Statistic && S.RejectProbability)
    Statistic->SetRejectProbability(*S.RejectProbability);
  if (auto* Linear = dynamic_cast<TLinearClassifier*>(&C); Linear && S.UsePrior)
    Linear->SetUsePriorProbability(*S.UsePrior);
  if (auto* Bayes = dynamic_cast<TNaiveBayes*>(&C); Bayes && S.M) Bayes->SetM(*S.M);
  if (auto* Knn = dynamic_cast<TKNearestNeighbors*>(&C)) {
    if (S.K) Knn->SetKNeighbors(*S.K);
    if (S.Euclidean) Knn->SetDistanceModel(*S.Euclidean ? TDistanceModel::dmNorm2 : TDistanceModel::dmNorm1);
  }
}

TModelSettings TModelHandle::Settings() const {
  std::lock_guard Guard(FLock);
  const TClassifier& C = *FClassifier;
  TModelSettings S;
  S.MissingFloatValue = C.MissingFloatValue();
  if (auto* Statistic = dynamic_cast<const TStatisticClassifier*>(&C))
    S.RejectProbability = Statistic->RejectProbability();
  if (auto* Linear = dynamic_cast<const TLinearClassifier*>(&C)) S.UsePrior = Linear->UsePriorProbability();
  if (auto* Bayes = dynamic_cast<const TNaiveBayes*>(&C)) S.M = Bayes->M();
  if (auto* Knn = dynamic_cast<const TKNearestNeighbors*>(&C)) {
    S.K = Knn->KNeighbors();
    S.Euclidean = Knn->DistanceModel() == TDistanceModel::dmNorm2;
  }
  return S;
}

bool TModelHandle::IndexesZeroBased() const {
  std::lock_guard Guard(FLock);
  return FClassifier->IndexesZeroBased();
}

int32_t TModelHandle::DiscreteCount() const {
  std::lock_guard Guard(FLock);
  return FClassifier->DiscreteAttributeCount();
}

int32_t TModelHandle::FloatCount() const {
  std::lock_guard Guard(FLock);
  return FClassifier->FloatAttributeCount();
}

void TModelHandle::SetAttributeCounts(int32_t Discrete, int32_t Float) {
  std::lock_guard Guard(FLock);
  TClassifier& C = *FClassifier;
  if (C.DiscreteAttributeCount() == Discrete && C.FloatAttributeCount() == Float) return;
  if (C.ClassCount() > 0)
    throw Exception("the model has " + CountsText(C.DiscreteAttributeCount(), C.FloatAttributeCount()) +
                    ", the data gives " + CountsText(Discrete, Float));
  C.SetDiscreteAttributeCount(Discrete);
  C.SetFloatAttributeCount(Float);
}

std::vector<std::string> TModelHandle::ClassNames() const {
  std::lock_guard Guard(FLock);
  std::vector<std::string> Names;
  for (int32_t I = 0; I < FClassifier->ClassCount(); ++I) Names.push_back(FClassifier->ClassName(I));
  return Names;
}

int32_t TModelHandle::AddClass(const std::string& Name) {
  std::lock_guard Guard(FLock);
  TClassifier& C = *FClassifier;
  if (const int32_t Found = C.ClassIndex(Name); Found >= 0) return Found;
  if (auto* Statistic = dynamic_cast<TStatisticClassifier*>(&C)) return Statistic->Classes()->Add(Name);
  return dynamic_cast<TKNearestNeighbors&>(C).Classes().Add(Name);
}

void TModelHandle::CheckBatch(size_t Rows, std::span<const int32_t> Discrete, std::span<const double> Float) const {
  const auto D = static_cast<size_t>(FClassifier->DiscreteAttributeCount());
  const auto F = static_cast<size_t>(FClassifier->FloatAttributeCount());
  if (Discrete.size() != Rows * D || Float.size() != Rows * F) throw Exception("Record batch sizes do not match");
}

void TModelHandle::Learn(std::span<const int32_t> Discrete, std::span<const double> Float,
                         std::span<const int32_t> Classes) {
  std::lock_guard Guard(FLock);
  TClassifier& C = *FClassifier;
  CheckBatch(Classes.size(), Discrete, Float);
  const int32_t Count = C.ClassCount();
  for (const int32_t P : Classes)
    if (P < 0 || P >= Count) throw Exception("class position " + std::to_string(P) + " is not a class of the model");
  // A model read from a one-based file numbers LearnIndex's classes from 1.
  const int32_t Base = C.IndexesZeroBased() ? 0 : 1;
  const auto D = static_cast<size_t>(C.DiscreteAttributeCount());
  const auto F = static_cast<size_t>(C.FloatAttributeCount());
  for (size_t Row = 0; Row < Classes.size(); ++Row)
    C.LearnIndex(Classes[Row] + Base, Discrete.subspan(Row * D, D), Float.subspan(Row * F, F));
}

void TModelHandle::Classify(std::span<const int32_t> Discrete, std::span<const double> Float,
                            std::span<int32_t> Guesses, int32_t Threads) {
  std::lock_guard Guard(FLock);
  CheckBatch(Guesses.size(), Discrete, Float);
  TParallelClassifier Parallel(*FClassifier, Threads);
  Parallel.Classify(Discrete, Float, Guesses);
}

void TModelHandle::Responses(std::span<const int32_t> Discrete, std::span<const double> Float,
                             std::span<double> Responses) {
  std::lock_guard Guard(FLock);
  TClassifier& C = *FClassifier;
  const auto Classes = static_cast<size_t>(C.ClassCount());
  if (Classes == 0) return;  // a model without classes answers nothing
  const size_t Rows = Responses.size() / Classes;
  if (Rows * Classes != Responses.size()) throw Exception("Record batch sizes do not match");
  CheckBatch(Rows, Discrete, Float);
  const auto D = static_cast<size_t>(C.DiscreteAttributeCount());
  const auto F = static_cast<size_t>(C.FloatAttributeCount());
  for (size_t Row = 0; Row < Rows; ++Row)
    C.ClassifyResponse(Discrete.subspan(Row * D, D), Float.subspan(Row * F, F),
                       Responses.subspan(Row * Classes, Classes));
}

std::vector<uint8_t> TModelHandle::SaveModel() const {
  std::lock_guard Guard(FLock);
  TMemoryStream Stream;
  FClassifier->SaveToStream(Stream);
  return Stream.Bytes();
}

std::string TModelHandle::StreamClassName(std::span<const uint8_t> Bytes) {
  TMemoryStream Stream(std::vector<uint8_t>(Bytes.begin(), Bytes.end()));
  return ReadComponentClassName(Stream);
}

namespace {

// A classifier to load a stream into. A setting the stream leaves out by
// its default rule (a reject probability of 0) must read as that default,
// not as ours.
std::unique_ptr<TClassifier> NewForLoading(const std::string& ClassName) {
  std::unique_ptr<TClassifier> Fresh = NewClassifier(ClassName);
  if (auto* Statistic = dynamic_cast<TStatisticClassifier*>(Fresh.get())) Statistic->SetRejectProbability(0.0);
  return Fresh;
}

void CheckConsumed(TStream& Stream, const char* What) {
  if (Stream.Remaining() != 0)
    throw Exception(std::string(What) + " has " + std::to_string(Stream.Remaining()) + " bytes after its end");
}

}  // namespace

void TModelHandle::LoadModel(std::span<const uint8_t> Bytes) {
  const std::string Stored = StreamClassName(Bytes);
  if (Stored != FClassName) throw Exception("the model stream holds a " + Stored + ", not a " + FClassName);
  Replace(Bytes, "the model stream", [](TClassifier& C, TStream& S) { C.LoadFromStream(S); });
}

void TModelHandle::Replace(std::span<const uint8_t> Bytes, const char* What,
                           void (*Load)(TClassifier&, TStream&)) {
  // Loaded into a fresh classifier, so a damaged stream leaves this model as
  // it was.
  std::unique_ptr<TClassifier> Fresh = NewForLoading(FClassName);
  TMemoryStream Stream(std::vector<uint8_t>(Bytes.begin(), Bytes.end()));
  Load(*Fresh, Stream);
  CheckConsumed(Stream, What);
  std::lock_guard Guard(FLock);
  FClassifier = std::move(Fresh);
}

std::vector<uint8_t> TModelHandle::SaveState() const {
  std::lock_guard Guard(FLock);
  TMemoryStream Stream;
  FClassifier->SaveState(Stream);
  return Stream.Bytes();
}

void TModelHandle::LoadState(std::span<const uint8_t> Bytes) {
  Replace(Bytes, "the learning state", [](TClassifier& C, TStream& S) { C.LoadState(S); });
}

void TModelHandle::Merge(const TModelHandle& Other) {
  if (&Other == this) {
    std::lock_guard Guard(FLock);
    FClassifier->Merge(*FClassifier);
    return;
  }
  std::scoped_lock Guard(FLock, Other.FLock);
  FClassifier->Merge(*Other.FClassifier);
}
