// The bare property block: section 1 of a model stream read into a
// classifier chosen by the first byte (TClassifier::LoadFromStream, the one
// caller of the framework's component reader), then written and read back
// until the writing is stable.
#include <cstdlib>
#include <memory>
#include <vector>

#include "Classifier.h"
#include "FuzzSupport.h"
#include "Stream.h"

namespace {

std::unique_ptr<TClassifier> Make(uint8_t Kind) {
  switch (Kind % 3) {
    case 0: return std::make_unique<TLinearClassifier>(nullptr);
    case 1: return std::make_unique<TNaiveBayes>(nullptr);
    default: return std::make_unique<TKNearestNeighbors>(nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  const auto Target = Make(Data[0]);
  TMemoryStream In(std::vector<uint8_t>(Data + 1, Data + Size));
  if (fuzz::Refused([&] { Target->TClassifier::LoadFromStream(In); })) return 0;

  // Entries left out at their zero value read back as defaults: the second
  // write is the stable one.
  auto Rewritten = [&](const std::vector<uint8_t>& Bytes) {
    const auto Fresh = Make(Data[0]);
    TMemoryStream Copy(Bytes);
    Fresh->TClassifier::LoadFromStream(Copy);
    TMemoryStream Out;
    Fresh->TClassifier::SaveToStream(Out);
    return Out.Bytes();
  };
  TMemoryStream Out;
  Target->TClassifier::SaveToStream(Out);
  const std::vector<uint8_t> Second = Rewritten(Out.Bytes());
  if (Rewritten(Second) != Second) std::abort();
  return 0;
}
