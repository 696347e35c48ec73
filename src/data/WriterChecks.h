// Checks every table writer makes before it stores a row, so the three
// stores refuse the same rows with the same messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Raises "Table 'T' is already closed" or "Table 'T', row N: X values for Y
// fields"; Row counts from 1.
void CheckRowShape(const std::string& Table, bool Closed, int64_t Row, size_t Values, size_t Fields);
// Raises "Table 'T', row N, field 'F': What".
[[noreturn]] void RaiseCellError(const std::string& Table, int64_t Row, const std::string& Field,
                                 const std::string& What);
// The What of a text longer than its field and of a smallint out of range.
std::string TextTooLong(size_t Bytes, int32_t Size);
std::string SmallintOutOfRange(int32_t Value);
