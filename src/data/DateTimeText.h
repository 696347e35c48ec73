// Date and time values as day numbers (days since 1899-12-30, the time as
// the fraction of a day) and their ISO texts, the same on every machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// "2024-03-01", "13:05:09", "2024-03-01 13:05:09". Values farther than 1e11
// days from day 0, infinities and NaN throw EConvertError.
std::string DateText(double Days);
std::string TimeText(double Days);
std::string DateTimeText(double Days);
// Parses "YYYY-MM-DD", "HH:MM[:SS[.fff]]" or both separated by a blank or a
// "T"; nullopt for anything else.
std::optional<double> ParseDateTimeText(std::string_view Text);
