// The field type template: defaults, copying, the published entries and the
// lookup from a field type category to an attribute kind.
#include "AttributeDataType.h"

#include "Exceptions.h"

namespace {
// Published order; one table serves Assign, DefineProperties and KindOf.
struct TEntry {
  const char* Name;
  TFieldType FieldType;
  TAttributeType (TAttributeDataType::*Get)() const;
  void (TAttributeDataType::*Set)(TAttributeType);
};

using C = TAttributeDataType;
constexpr TEntry Entries[] = {
    {"StringType", ftString, &C::StringType, &C::SetStringType},
    {"FixedChar", ftFixedChar, &C::FixedChar, &C::SetFixedChar},
    {"WideString", ftWideString, &C::WideString, &C::SetWideString},
    {"Boolean", ftBoolean, &C::Boolean, &C::SetBoolean},
    {"SmallInt", ftSmallint, &C::SmallInt, &C::SetSmallInt},
    {"Integer", ftInteger, &C::Integer, &C::SetInteger},
    {"Word", ftWord, &C::Word, &C::SetWord},
    {"Float", ftFloat, &C::Float, &C::SetFloat},
    {"Currency", ftCurrency, &C::Currency, &C::SetCurrency},
    {"BCD", ftBCD, &C::BCD, &C::SetBCD},
    {"Date", ftDate, &C::Date, &C::SetDate},
    {"Time", ftTime, &C::Time, &C::SetTime},
    {"DateTime", ftDateTime, &C::DateTime, &C::SetDateTime},
    {"LargeInt", ftLargeint, &C::LargeInt, &C::SetLargeInt},
};
}  // namespace

const std::vector<std::string>& AttributeTypeNames() {
  static const std::vector<std::string> Names{"atDiscrete", "atDiscreteIndexed", "atFloat"};
  return Names;
}

const std::vector<std::string>& AttributeKindNames() {
  static const std::vector<std::string> Names{"akDiscrete", "akDiscreteIndexed", "akFloat", "akAuto"};
  return Names;
}

void TAttributeDataType::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TAttributeDataType*>(&Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  for (const TEntry& E : Entries) (this->*E.Set)((Other->*E.Get)());
}

void TAttributeDataType::DefineProperties(TPropertyList& List) const {
  TPersistent::DefineProperties(List);
  for (const TEntry& E : Entries)
    List.push_back(MakeProperty<TPropertyKind::pkEnumeration, C>(E.Name, E.Get, E.Set, {}, AttributeTypeNames()));
}

TAttributeKind TAttributeDataType::KindOf(TFieldType FieldType) const {
  for (const TEntry& E : Entries) {
    if (E.FieldType != FieldType) continue;
    switch ((this->*E.Get)()) {
      case TAttributeType::atDiscrete: return TAttributeKind::akDiscrete;
      case TAttributeType::atDiscreteIndexed: return TAttributeKind::akDiscreteIndexed;
      case TAttributeType::atFloat: return TAttributeKind::akFloat;
    }
    break;  // an out-of-range entry (set through a cast) is no kind either
  }
  throw Exception("Unsupported field type detected!");
}
