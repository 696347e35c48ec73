// Conversions of a field value variant (what FieldValues returns), with the
// same rules as the fields: a null is "", 0 or 0.0; a text that is not a
// number raises EConvertError.
#pragma once

#include <string>

#include "TableWriter.h"

bool VarIsNull(const TFieldValue& Value);
std::string VarToStr(const TFieldValue& Value);
int32_t VarToInt(const TFieldValue& Value);  // rounds floats; raises outside 32 bits
double VarToFloat(const TFieldValue& Value);
