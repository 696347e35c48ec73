// Model streams of one classifier class (FUZZ_CLASSIFIER): load, classify a
// few records, check that a copy made with Assign (what each thread of a
// parallel classification works with) answers bit for bit alike, save, and
// check that the saved model loads again and that saving settles on the same
// bytes.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "Classifier.h"
#include "FuzzSupport.h"
#include "Stream.h"

namespace {

std::vector<uint8_t> Saved(const TClassifier& C) {
  TMemoryStream Out;
  C.SaveToStream(Out);
  return Out.Bytes();
}

// Records a caller would present: all values known, some missing, and
// values beyond anything learned. Returns the guesses and responses as bit
// patterns, a refused record as a marker.
std::vector<uint64_t> ClassifySome(TClassifier& C) {
  std::vector<uint64_t> Answers;
  const auto D = static_cast<size_t>(C.DiscreteAttributeCount());
  const auto F = static_cast<size_t>(C.FloatAttributeCount());
  std::vector<int32_t> Discrete(D);
  std::vector<double> Float(F);
  std::vector<double> Response;
  const double Floats[] = {0.0, 1.5, -2.25, 1e300, std::numeric_limits<double>::quiet_NaN(), 999.0};
  for (int Round = 0; Round < 4; ++Round) {
    for (size_t i = 0; i < D; ++i) Discrete[i] = Round == 3 ? 1000000 : static_cast<int32_t>(i % 3) - (Round == 1);
    for (size_t i = 0; i < F; ++i) Float[i] = Floats[(i + static_cast<size_t>(Round)) % std::size(Floats)];
    const bool Refused = fuzz::Refused([&] {
      const int32_t Index = C.Classify(Discrete, Float);
      C.ClassName(Index);
      Answers.push_back(static_cast<uint64_t>(Index));
    });
    if (Refused) Answers.push_back(~uint64_t{0});
    Response.assign(static_cast<size_t>(C.ClassCount()), 0.0);
    if (fuzz::Refused([&] { C.ClassifyResponse(Discrete, Float, Response); })) Answers.push_back(~uint64_t{0});
    for (const double R : Response) Answers.push_back(std::bit_cast<uint64_t>(R));
  }
  return Answers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  FUZZ_CLASSIFIER Model(nullptr);
  TMemoryStream In(std::vector<uint8_t>(Data, Data + Size));
  if (fuzz::Refused([&] { Model.LoadFromStream(In); })) return 0;
  FUZZ_CLASSIFIER Assigned(nullptr);
  Assigned.Assign(Model);
  if (ClassifySome(Model) != ClassifySome(Assigned)) {
    std::fprintf(stderr, "a copy made with Assign answers otherwise\n");
    std::abort();
  }

  // What we wrote must load (no Refused here). Entries left out at their
  // zero value (RejectProbability 0, an empty MissingFloatValue) read back
  // as the receiver's defaults, so the second save is the stable one.
  const std::vector<uint8_t> First = Saved(Model);
  FUZZ_CLASSIFIER Again(nullptr);
  TMemoryStream Copy(First);
  Again.LoadFromStream(Copy);
  ClassifySome(Again);
  const std::vector<uint8_t> Second = Saved(Again);
  FUZZ_CLASSIFIER Third(nullptr);
  TMemoryStream Copy2(Second);
  Third.LoadFromStream(Copy2);
  const std::vector<uint8_t> Last = Saved(Third);
  if (Last != Second) {
    size_t At = 0;
    while (At < Second.size() && At < Last.size() && Second[At] == Last[At]) ++At;
    std::fprintf(stderr, "saved models differ at byte %zu of %zu / %zu\n", At, Second.size(), Last.size());
    std::abort();
  }
  return 0;
}
