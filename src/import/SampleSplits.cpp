// Stratified splits with a portable shuffle.
#include "SampleSplits.h"

#include <random>

namespace {

// Uniform in [0, Bound) by rejection, so no bias and no reliance on
// std::uniform_int_distribution, whose algorithm differs between libraries.
uint32_t UniformBelow(std::mt19937& Engine, uint32_t Bound) {
  const uint32_t Threshold = (0u - Bound) % Bound;
  for (;;) {
    const uint32_t Draw = static_cast<uint32_t>(Engine());
    if (Draw >= Threshold) return Draw % Bound;
  }
}

void Shuffle(std::vector<size_t>& Items, std::mt19937& Engine) {
  for (size_t i = Items.size(); i > 1; --i) {
    const size_t j = UniformBelow(Engine, static_cast<uint32_t>(i));
    std::swap(Items[i - 1], Items[j]);
  }
}

}  // namespace

TSampleSplits::TSampleSplits(std::span<const int32_t> ClassCodes, int32_t ClassCount)
    : FRows(ClassCodes.size()), FTest(static_cast<size_t>(Count) * ClassCodes.size(), 0) {
  std::vector<std::vector<size_t>> ByClass(static_cast<size_t>(ClassCount));
  for (size_t Row = 0; Row < FRows; ++Row) ByClass[static_cast<size_t>(ClassCodes[Row])].push_back(Row);

  std::vector<size_t> Order;
  for (int32_t Split = 0; Split < Count; ++Split) {
    std::mt19937 Engine(FirstSeed + static_cast<uint32_t>(Split));
    uint8_t* Test = FTest.data() + static_cast<size_t>(Split) * FRows;
    size_t Tested = 0;
    for (const std::vector<size_t>& Rows : ByClass) {
      Order = Rows;
      Shuffle(Order, Engine);
      const size_t Take = (Rows.size() + 1) / 3;  // n/3 rounded to the nearest
      for (size_t k = 0; k < Take; ++k) Test[Order[k]] = 1;
      Tested += Take;
    }
    // Only when every class has a single row: still test something.
    if (Tested == 0 && FRows >= 2) Test[UniformBelow(Engine, static_cast<uint32_t>(FRows))] = 1;
  }
}
