// Published properties: the table a class declares so that the binary
// property stream can write and read it without knowing the class.
//
// Each class appends its entries in published order in DefineProperties
// (ancestors first). A property has a name, a value kind, a getter, a setter
// and the rule for when it is written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

class TPersistent;

enum class TPropertyKind {
  pkInteger,      // int32_t, written in the smallest integer type
  pkFloat,        // double, written as an 80-bit extended
  pkString,       // std::string, short or long string
  pkBoolean,      // bool, the false/true type bytes
  pkEnumeration,  // int32_t ordinal, written as the identifier EnumNames[ordinal]
  pkStrings,      // std::vector<std::string>, a list of strings ("Classes.Strings")
  pkEvent         // bool "assigned"; written as an empty identifier, skipped on reading
};

using TPropertyValue = std::variant<int32_t, double, std::string, bool, std::vector<std::string>>;

struct TPropertyInfo {
  std::string Name;
  TPropertyKind Kind = TPropertyKind::pkInteger;
  // Getter and setter act on the object passed in, so one table serves
  // every instance of the class that defined it.
  std::function<TPropertyValue(const TPersistent&)> Get;
  std::function<void(TPersistent&, const TPropertyValue&)> Set;  // empty: not settable
  // Written only when this returns true; empty means always.
  std::function<bool(const TPersistent&)> Stored;
  std::vector<std::string> EnumNames;  // pkEnumeration: identifier of each ordinal
};

using TPropertyList = std::vector<TPropertyInfo>;

namespace property_detail {
template <TPropertyKind K> struct ValueOf { using type = int32_t; };
template <> struct ValueOf<TPropertyKind::pkFloat> { using type = double; };
template <> struct ValueOf<TPropertyKind::pkString> { using type = std::string; };
template <> struct ValueOf<TPropertyKind::pkBoolean> { using type = bool; };
template <> struct ValueOf<TPropertyKind::pkEvent> { using type = bool; };
template <> struct ValueOf<TPropertyKind::pkStrings> { using type = std::vector<std::string>; };

template <class S> struct SetterArg;
template <class C, class A> struct SetterArg<void (C::*)(A)> { using type = std::remove_cvref_t<A>; };
}  // namespace property_detail

// Declares a property from a class's getter and setter member functions:
//   List.push_back(MakeProperty<TPropertyKind::pkInteger, TClassifier>(
//       "MissingDiscreteIndex", &TClassifier::MissingDiscreteIndex,
//       &TClassifier::SetMissingDiscreteIndex));
// Enumeration getters and setters may use the enum type itself. Pass
// nullptr as Setter for a property that is written but not read back.
template <TPropertyKind K, class C, class G, class S>
TPropertyInfo MakeProperty(std::string Name, G Getter, S Setter,
                           std::function<bool(const C&)> Stored = {},
                           std::vector<std::string> EnumNames = {}) {
  using V = typename property_detail::ValueOf<K>::type;
  TPropertyInfo P;
  P.Name = std::move(Name);
  P.Kind = K;
  P.EnumNames = std::move(EnumNames);
  P.Get = [Getter](const TPersistent& O) -> TPropertyValue {
    return TPropertyValue(static_cast<V>(std::invoke(Getter, static_cast<const C&>(O))));
  };
  if constexpr (!std::is_null_pointer_v<S>) {
    P.Set = [Setter](TPersistent& O, const TPropertyValue& Value) {
      using Arg = typename property_detail::SetterArg<S>::type;
      std::invoke(Setter, static_cast<C&>(O), static_cast<Arg>(std::get<V>(Value)));
    };
  }
  if (Stored) P.Stored = [Stored](const TPersistent& O) { return Stored(static_cast<const C&>(O)); };
  return P;
}
