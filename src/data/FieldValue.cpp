// Conversions of field value variants.
#include "FieldValue.h"

#include <cmath>

#include "Convert.h"
#include "Exceptions.h"

bool VarIsNull(const TFieldValue& Value) { return std::holds_alternative<std::monostate>(Value); }

std::string VarToStr(const TFieldValue& Value) {
  if (auto* I = std::get_if<int32_t>(&Value)) return std::to_string(*I);
  if (auto* D = std::get_if<double>(&Value)) return FloatToShortest(*D);
  if (auto* S = std::get_if<std::string>(&Value)) return *S;
  if (auto* B = std::get_if<bool>(&Value)) return *B ? "True" : "False";
  return "";
}

int32_t VarToInt(const TFieldValue& Value) {
  if (auto* I = std::get_if<int32_t>(&Value)) return *I;
  if (auto* D = std::get_if<double>(&Value)) {
    const double R = std::round(*D);
    if (!(R >= INT32_MIN && R <= INT32_MAX))
      throw EConvertError("'" + FloatToShortest(*D) + "' is not a valid integer value");
    return static_cast<int32_t>(R);
  }
  if (auto* S = std::get_if<std::string>(&Value)) return S->empty() ? 0 : StrToInt(*S);
  if (auto* B = std::get_if<bool>(&Value)) return *B ? 1 : 0;
  return 0;
}

double VarToFloat(const TFieldValue& Value) {
  if (auto* I = std::get_if<int32_t>(&Value)) return *I;
  if (auto* D = std::get_if<double>(&Value)) return *D;
  if (auto* S = std::get_if<std::string>(&Value)) return S->empty() ? 0.0 : StrToFloat(*S);
  if (auto* B = std::get_if<bool>(&Value)) return *B ? 1.0 : 0.0;
  return 0.0;
}
