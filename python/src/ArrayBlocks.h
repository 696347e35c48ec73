// Splitting a numeric table into the engine's two record blocks.
//
// A numpy array of float64 holds discrete and float attributes side by
// side, row after row. The engine wants the discrete value codes of every
// row in one int32 block and the float values in another. Doing it here, in
// one pass over the table, costs a fraction of what column-by-column numpy
// operations cost on a row-major array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Values holds Rows x Columns numbers, row after row. DiscreteColumns names
// the columns (ascending) that hold value codes; the others are float
// attributes in their order. A code must be a whole number 0 .. 16777215
// (NaN and -1 mark a missing value, written as -1); Offset is subtracted
// from it (1 for a model numbered from 1). Discrete receives Rows x
// DiscreteColumns.size() codes, Float the rest. Raises Exception "column j:
// v is no discrete value code (...)" for the first bad code, in row order.
void SplitColumns(std::span<const double> Values, size_t Rows, size_t Columns,
                  std::span<const int32_t> DiscreteColumns, int32_t Offset, std::span<int32_t> Discrete,
                  std::span<double> Float);
