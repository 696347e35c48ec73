// pellory bench: the benchmark page's two runs, one after the other.
#include <cstdint>
#include <limits>

#include "Benchmark.h"
#include "Commands.h"

namespace {

void PrintRun(const TBenchmarkRun& Run, TToolIO& IO) {
  IO.Out << Run.CountText << "\n" << Run.TimeText << "\n" << Run.RateText << "\n";
}

}  // namespace

int BenchCommand(const TArguments& Args, TToolIO& IO) {
  constexpr int32_t Most = std::numeric_limits<int32_t>::max();
  using D = TBenchmarkDefaults;
  const int32_t Classes = Args.Integer("classes", 1, 10000, D::Classes);
  const int32_t Discrete = Args.Integer("discrete", 0, 10000, D::DiscreteAttributes);
  const int32_t Float = Args.Integer("float", 0, 10000, D::FloatAttributes);
  const int32_t LearnCount = Args.Integer("learn", 0, Most, D::LearnCases);
  const int32_t TestCount = Args.Integer("test", 0, Most, D::TestCases);

  TLinearBenchmark Bench;
  Bench.LinearClassifier().SetDiscreteAttributeCount(Discrete);
  Bench.LinearClassifier().SetFloatAttributeCount(Float);
  if (IO.ErrIsTerminal)
    Bench.SetOnProgress([&IO](const std::string& Text) { IO.Err << "\r\033[K" << Text << std::flush; });
  const TBenchmarkRun Learned = Bench.Learn(Classes, LearnCount);
  if (IO.ErrIsTerminal) IO.Err << "\r\033[K" << std::flush;
  PrintRun(Learned, IO);
  // Fewer learning cases than classes may leave classes unlearned; the
  // classification run then refuses, as the page does.
  const TBenchmarkRun Classified = Bench.Classify(Classes, TestCount);
  if (IO.ErrIsTerminal) IO.Err << "\r\033[K" << std::flush;
  PrintRun(Classified, IO);
  return 0;
}
