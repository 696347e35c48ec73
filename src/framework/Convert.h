// Text-to-number conversion and the one formatting helper for figures.
//
// Conversions use the ordinary decimal notation with a point whatever the
// process locale, so a model or a table reads the same on every machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Parses the whole of Text (surrounding blanks allowed) as a decimal or
// exponent number ("999", "-1.5", "1e-7"). Throws EConvertError naming the
// text: "'abc' is not a valid floating point value".
double StrToFloat(std::string_view Text);
std::optional<double> TryStrToFloat(std::string_view Text);

// Parses the whole of Text as a 32-bit integer. Throws EConvertError:
// "'12x' is not a valid integer value".
int32_t StrToInt(std::string_view Text);
std::optional<int32_t> TryStrToInt(std::string_view Text);

// Fixed-point text with Decimals digits after the point, halves rounded away
// from zero (0.125 -> "0.13"), which printf does not guarantee. The rounding
// is decided on the exact decimal expansion of the double.
std::string FormatFixed(double Value, int Decimals);

// Shortest text that reads back as the same double ("0.1", "1e+300").
std::string FloatToShortest(double Value);

// ASCII case-insensitive comparison (<0, 0, >0) and equality, the rule of the
// framework's string lists and name lookups.
int CompareText(std::string_view A, std::string_view B);
bool SameText(std::string_view A, std::string_view B);
