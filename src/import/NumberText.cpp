// Number cells: std::from_chars is locale-independent and exact, but accepts
// "inf" and "nan", which a data file must not smuggle in as values.
#include "NumberText.h"

#include <charconv>
#include <cmath>

std::optional<double> ParseNumberCell(std::string_view Text) {
  if (!Text.empty() && Text.front() == '+') Text.remove_prefix(1);
  if (Text.empty() || Text.front() == '+') return std::nullopt;
  bool Digit = false;
  for (char C : Text) {
    if (C >= '0' && C <= '9') Digit = true;
    else if (C != '-' && C != '.' && C != 'e' && C != 'E') return std::nullopt;
  }
  if (!Digit) return std::nullopt;
  double Value = 0;
  auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  if (Error != std::errc() || End != Text.data() + Text.size() || !std::isfinite(Value))
    return std::nullopt;
  return Value;
}
