// One pass over a numeric table into the discrete and the float block.
#include "ArrayBlocks.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "ClassesList.h"
#include "Exceptions.h"

namespace {

[[noreturn]] void BadCode(size_t Column, double Value) {
  char Text[32];
  const auto End = std::to_chars(Text, Text + sizeof Text, Value).ptr;
  throw Exception("column " + std::to_string(Column) + ": " + std::string(Text, End) +
                  " is no discrete value code (whole numbers 0 to " + std::to_string(MaxDiscreteValueCode) +
                  "; NaN, None or -1 for a missing value)");
}

}  // namespace

void SplitColumns(std::span<const double> Values, size_t Rows, size_t Columns,
                  std::span<const int32_t> DiscreteColumns, int32_t Offset, std::span<int32_t> Discrete,
                  std::span<double> Float) {
  const size_t D = DiscreteColumns.size();
  if (Values.size() != Rows * Columns || D > Columns || Discrete.size() != Rows * D ||
      Float.size() != Rows * (Columns - D))
    throw Exception("Record batch sizes do not match");
  std::vector<bool> IsDiscrete(Columns, false);
  for (const int32_t C : DiscreteColumns) {
    if (C < 0 || static_cast<size_t>(C) >= Columns) throw Exception("discrete column out of range");
    IsDiscrete[static_cast<size_t>(C)] = true;
  }
  const double* In = Values.data();
  int32_t* OutD = Discrete.data();
  double* OutF = Float.data();
  for (size_t Row = 0; Row < Rows; ++Row) {
    for (size_t Column = 0; Column < Columns; ++Column) {
      const double V = *In++;
      if (!IsDiscrete[Column]) {
        *OutF++ = V;
        continue;
      }
      if (std::isnan(V) || V == -1.0) {
        *OutD++ = -1;
      } else if (V >= 0.0 && V <= MaxDiscreteValueCode && V == std::floor(V)) {
        const int32_t Code = static_cast<int32_t>(V) - Offset;
        *OutD++ = Code < 0 ? -1 : Code;
      } else {
        BadCode(Column, V);
      }
    }
  }
}
