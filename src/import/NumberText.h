// Strict parsing of a number cell, shared by the ARFF and CSV readers.
#pragma once

#include <optional>
#include <string_view>

// The whole of Text as a finite decimal or exponent number ("12", "-8.22",
// ".5", "+3", "1e-7"), independent of the locale. No blanks, no "nan" or
// "inf", nothing that overflows a double: those give nullopt.
std::optional<double> ParseNumberCell(std::string_view Text);
