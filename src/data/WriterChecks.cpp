// The row and cell checks the table writers share.
#include "WriterChecks.h"

#include "Exceptions.h"

void CheckRowShape(const std::string& Table, bool Closed, int64_t Row, size_t Values, size_t Fields) {
  if (Closed) throw Exception("Table '" + Table + "' is already closed");
  if (Values != Fields)
    throw Exception("Table '" + Table + "', row " + std::to_string(Row) + ": " + std::to_string(Values) +
                    " values for " + std::to_string(Fields) + " fields");
}

void RaiseCellError(const std::string& Table, int64_t Row, const std::string& Field, const std::string& What) {
  throw Exception("Table '" + Table + "', row " + std::to_string(Row) + ", field '" + Field + "': " + What);
}

std::string TextTooLong(size_t Bytes, int32_t Size) {
  return "text of " + std::to_string(Bytes) + " bytes exceeds the field size of " + std::to_string(Size);
}

std::string SmallintOutOfRange(int32_t Value) { return "value " + std::to_string(Value) + " is outside -32768..32767"; }
