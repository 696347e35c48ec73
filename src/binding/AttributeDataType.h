// The field type template: which kind of attribute a table field becomes.
//
// `TAttributeDataType` holds one entry per supported field type category.
// The binding looks up the entry of a field's type when it prepares an
// `akAuto` column; every category without an entry (auto-increment, memo,
// blob, bytes, ...) is unsupported and raises "Unsupported field type
// detected!".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Component.h"
#include "FieldType.h"

// How a field's values reach the classifier.
enum class TAttributeType : int32_t {
  atDiscrete,         // text values, coded through the column's value list
  atDiscreteIndexed,  // the field already holds integer value codes
  atFloat             // the value is a float attribute
};

// A column's kind; akAuto is decided from the field type through the template
// when the attributes are prepared.
enum class TAttributeKind : int32_t { akDiscrete, akDiscreteIndexed, akFloat, akAuto };

class TAttributeDataType : public TPersistent {
public:
  // Text, fixed-character, wide-text and Boolean fields atDiscrete; every
  // numeric, date and time type atFloat.
  TAttributeDataType() = default;

  std::string TypeName() const override { return "TAttributeDataType"; }
  // From another TAttributeDataType: all fourteen entries in published order.
  // Any other source raises the framework's "Cannot assign" EConvertError.
  void Assign(const TPersistent& Source) override;
  // StringType, FixedChar, WideString, Boolean, SmallInt, Integer, Word,
  // Float, Currency, BCD, Date, Time, DateTime, LargeInt (enumerations).
  void DefineProperties(TPropertyList& List) const override;

  // The kind a field of type FieldType becomes. Raises Exception
  // "Unsupported field type detected!" for a category without an entry.
  TAttributeKind KindOf(TFieldType FieldType) const;

  TAttributeType StringType() const { return FStringType; }
  void SetStringType(TAttributeType Value) { FStringType = Value; }
  TAttributeType FixedChar() const { return FFixedChar; }
  void SetFixedChar(TAttributeType Value) { FFixedChar = Value; }
  TAttributeType WideString() const { return FWideString; }
  void SetWideString(TAttributeType Value) { FWideString = Value; }
  TAttributeType Boolean() const { return FBoolean; }
  void SetBoolean(TAttributeType Value) { FBoolean = Value; }
  TAttributeType SmallInt() const { return FSmallInt; }
  void SetSmallInt(TAttributeType Value) { FSmallInt = Value; }
  TAttributeType Integer() const { return FInteger; }
  void SetInteger(TAttributeType Value) { FInteger = Value; }
  TAttributeType Word() const { return FWord; }
  void SetWord(TAttributeType Value) { FWord = Value; }
  TAttributeType Float() const { return FFloat; }
  void SetFloat(TAttributeType Value) { FFloat = Value; }
  TAttributeType Currency() const { return FCurrency; }
  void SetCurrency(TAttributeType Value) { FCurrency = Value; }
  TAttributeType BCD() const { return FBCD; }
  void SetBCD(TAttributeType Value) { FBCD = Value; }
  TAttributeType Date() const { return FDate; }
  void SetDate(TAttributeType Value) { FDate = Value; }
  TAttributeType Time() const { return FTime; }
  void SetTime(TAttributeType Value) { FTime = Value; }
  TAttributeType DateTime() const { return FDateTime; }
  void SetDateTime(TAttributeType Value) { FDateTime = Value; }
  TAttributeType LargeInt() const { return FLargeInt; }
  void SetLargeInt(TAttributeType Value) { FLargeInt = Value; }

private:
  TAttributeType FStringType = TAttributeType::atDiscrete;
  TAttributeType FFixedChar = TAttributeType::atDiscrete;
  TAttributeType FWideString = TAttributeType::atDiscrete;
  TAttributeType FBoolean = TAttributeType::atDiscrete;
  TAttributeType FSmallInt = TAttributeType::atFloat;
  TAttributeType FInteger = TAttributeType::atFloat;
  TAttributeType FWord = TAttributeType::atFloat;
  TAttributeType FFloat = TAttributeType::atFloat;
  TAttributeType FCurrency = TAttributeType::atFloat;
  TAttributeType FBCD = TAttributeType::atFloat;
  TAttributeType FDate = TAttributeType::atFloat;
  TAttributeType FTime = TAttributeType::atFloat;
  TAttributeType FDateTime = TAttributeType::atFloat;
  TAttributeType FLargeInt = TAttributeType::atFloat;
};

// Identifiers of the enumerations as property streams write them.
const std::vector<std::string>& AttributeTypeNames();  // "atDiscrete", ...
const std::vector<std::string>& AttributeKindNames();  // "akDiscrete", ...
