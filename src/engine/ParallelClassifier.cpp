// Several threads over one batch of records, one classifier each.
#include "ParallelClassifier.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "ClassRegistry.h"
#include "ClassifierBase.h"
#include "Exceptions.h"

std::unique_ptr<TClassifier> CopyClassifier(const TClassifier& Source) {
  std::unique_ptr<TClassifier> Result = CreateComponentAs<TClassifier>(Source.TypeName());
  if (!Result) throw Exception(Source.TypeName() + " is not a classifier class");
  Result->Assign(Source);
  return Result;
}

TParallelClassifier::TParallelClassifier(TClassifier& Source, int32_t Threads) : FSource(Source) {
  if (Source.ReadsRecordsWhileClassifying()) return;
  for (int32_t I = 1; I < Threads; ++I) FCopies.push_back(CopyClassifier(Source));
}

TParallelClassifier::~TParallelClassifier() = default;

namespace {
void ClassifySlice(TClassifier& Classifier, std::span<const int32_t> Discrete, std::span<const double> Float,
                   std::span<int32_t> Guesses) {
  const size_t D = static_cast<size_t>(Classifier.DiscreteAttributeCount());
  const size_t F = static_cast<size_t>(Classifier.FloatAttributeCount());
  for (size_t Row = 0; Row < Guesses.size(); ++Row)
    Guesses[Row] = Classifier.Classify(Discrete.subspan(Row * D, D), Float.subspan(Row * F, F));
}

// Below this many rows a slice costs more to hand to a thread than to do.
constexpr size_t MinRowsPerThread = 64;
}  // namespace

void TParallelClassifier::Classify(std::span<const int32_t> Discrete, std::span<const double> Float,
                                   std::span<int32_t> Guesses) {
  const size_t Rows = Guesses.size();
  const size_t D = static_cast<size_t>(FSource.DiscreteAttributeCount());
  const size_t F = static_cast<size_t>(FSource.FloatAttributeCount());
  if (Discrete.size() != Rows * D || Float.size() != Rows * F) throw Exception("Record batch sizes do not match");

  const size_t Slices = std::clamp<size_t>(Rows / MinRowsPerThread, 1, static_cast<size_t>(Threads()));
  const size_t PerSlice = (Rows + Slices - 1) / Slices;
  auto SliceOf = [&](size_t S, auto Span, size_t Width) {
    const size_t First = std::min(Rows, S * PerSlice);
    const size_t Count = std::min(Rows, First + PerSlice) - First;
    return Span.subspan(First * Width, Count * Width);
  };

  std::vector<std::exception_ptr> Errors(Slices);
  {
    std::vector<std::jthread> Workers;
    Workers.reserve(Slices - 1);
    for (size_t S = 1; S < Slices; ++S)
      Workers.emplace_back([&, S] {
        try {
          ClassifySlice(*FCopies[S - 1], SliceOf(S, Discrete, D), SliceOf(S, Float, F), SliceOf(S, Guesses, 1));
        } catch (...) {
          Errors[S] = std::current_exception();
        }
      });
    try {
      ClassifySlice(FSource, SliceOf(0, Discrete, D), SliceOf(0, Float, F), SliceOf(0, Guesses, 1));
    } catch (...) {
      Errors[0] = std::current_exception();
    }
  }  // the workers join here
  for (const std::exception_ptr& Error : Errors)
    if (Error) std::rethrow_exception(Error);
}
