// Filter expressions: parse against a fixed set of fields, then evaluate on
// every row of a small table held in memory (texts, integers, floats,
// Booleans, dates and nulls).
#include <cmath>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Cursor.h"
#include "FilterExpression.h"
#include "FuzzSupport.h"

namespace {

using TCell = std::optional<std::variant<int64_t, double, std::string>>;

class TMemoryCursor final : public TCursor {
public:
  TMemoryCursor() {
    FColumns = {{"Name", ftString, 12}, {"Age", ftSmallint, 0},   {"Score", ftFloat, 0},
                {"Big", ftLargeint, 0}, {"Flag", ftBoolean, 0},   {"Born", ftDate, 0},
                {"Memo", ftMemo, 0},    {"Two Words", ftInteger, 0}};
    FRows = {
        {std::string("Ann"), int64_t{30}, 1.5, int64_t{1} << 40, int64_t{1}, 36526.0, std::string("x"), int64_t{0}},
        {std::string(""), std::nullopt, -0.0, INT64_MIN, int64_t{0}, -1.0, std::nullopt, int64_t{-5}},
        {std::nullopt, int64_t{-32768}, NAN, INT64_MAX, std::nullopt, 1e308, std::string("'\""), int64_t{7}},
        {std::string("\xff\xfe"), int64_t{32767}, INFINITY, int64_t{0}, int64_t{1}, std::nullopt, std::string(""),
         std::nullopt},
    };
  }
  int64_t RowCount() override { return static_cast<int64_t>(FRows.size()); }
  bool First() override { return Seek(0); }
  bool Next() override { return Seek(FKey + 1); }
  bool Seek(int64_t Key) override {
    if (Key < 0 || Key >= RowCount()) return false;
    FKey = Key;
    return true;
  }
  int64_t Key() const override { return FKey; }
  bool IsNull(int Column) override { return !Cell(Column); }
  bool ReadInteger(int Column, int64_t& Value) override {
    const TCell& C = Cell(Column);
    if (!C) return false;
    if (const auto* I = std::get_if<int64_t>(&*C)) Value = *I;
    else if (const auto* D = std::get_if<double>(&*C)) {
      if (!(std::fabs(*D) < 9e18)) throw EConvertError("not an integer");
      Value = static_cast<int64_t>(*D);
    } else throw EConvertError("not an integer");
    return true;
  }
  bool ReadFloat(int Column, double& Value) override {
    const TCell& C = Cell(Column);
    if (!C) return false;
    if (const auto* I = std::get_if<int64_t>(&*C)) Value = static_cast<double>(*I);
    else if (const auto* D = std::get_if<double>(&*C)) Value = *D;
    else throw EConvertError("not a number");
    return true;
  }
  bool ReadText(int Column, std::string& Value) override {
    const TCell& C = Cell(Column);
    if (!C) return false;
    if (const auto* I = std::get_if<int64_t>(&*C)) Value = std::to_string(*I);
    else if (const auto* D = std::get_if<double>(&*C)) Value = std::to_string(*D);
    else Value = std::get<std::string>(*C);
    return true;
  }

private:
  const TCell& Cell(int Column) const { return FRows[static_cast<size_t>(FKey)][static_cast<size_t>(Column)]; }
  std::vector<std::vector<TCell>> FRows;
  int64_t FKey = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static TMemoryCursor Cursor;
  std::optional<TFilterExpression> Filter;
  if (fuzz::Refused([&] { Filter.emplace(fuzz::AsText(Data, Size), Cursor.Columns()); })) return 0;
  for (bool Row = Cursor.First(); Row; Row = Cursor.Next())
    fuzz::Refused([&] { Filter->Matches(Cursor); });
  return 0;
}
