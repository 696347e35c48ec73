// The binary property stream ("TPF0" blocks).
//
// The reader trusts nothing: every length is checked against the bytes left
// in the stream before anything is allocated, every type byte is checked
// against the property it is meant for, and every failure is one of the
// framework's stream errors.
#include "PropertyStream.h"

#include <bit>
#include <cstring>
#include <string>

#include "Convert.h"
#include "Exceptions.h"

namespace {

enum : uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaLString = 12
};

const char Signature[4] = {'T', 'P', 'F', '0'};

// ---- writing -------------------------------------------------------------

void WriteShortString(TStream& S, const std::string& Text, const char* What) {
  if (Text.size() > 255) throw EWriteError(std::string(What) + " longer than 255 bytes: " + Text.substr(0, 32) + "...");
  S.WriteByte(static_cast<uint8_t>(Text.size()));
  S.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
}

void WriteInteger(TStream& S, int32_t V) {
  if (V >= -128 && V <= 127) {
    S.WriteByte(vaInt8);
    S.WriteByte(static_cast<uint8_t>(static_cast<int8_t>(V)));
  } else if (V >= -32768 && V <= 32767) {
    auto U = static_cast<uint16_t>(static_cast<int16_t>(V));
    uint8_t B[3] = {vaInt16, uint8_t(U), uint8_t(U >> 8)};
    S.WriteBuffer(B, 3);
  } else {
    S.WriteByte(vaInt32);
    S.WriteInt32(V);
  }
}

void WriteStringValue(TStream& S, const std::string& Text) {
  if (Text.size() <= 255) {
    S.WriteByte(vaString);
    WriteShortString(S, Text, "String");
    return;
  }
  if (Text.size() > 0x7FFFFFFF) throw EWriteError("String too long for a property stream");
  S.WriteByte(vaLString);
  S.WriteInt32(static_cast<int32_t>(Text.size()));
  S.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
}

template <class V> const V& ValueAs(const TPropertyInfo& P, const TPropertyValue& Value) {
  if (const V* X = std::get_if<V>(&Value)) return *X;
  throw EWriteError("Property " + P.Name + " returned a value of the wrong kind");
}

void WriteProperty(TStream& S, const TComponent& Root, const TPropertyInfo& P) {
  if (!P.Get) return;
  TPropertyValue Value = P.Get(Root);
  if (P.Kind == TPropertyKind::pkEvent) {
    // Handlers are never methods of the component itself, so the name is empty.
    if (!ValueAs<bool>(P, Value)) return;
    WriteShortString(S, P.Name, "Property name");
    S.WriteByte(vaIdent);
    S.WriteByte(0);
    return;
  }
  if (P.Stored && !P.Stored(Root)) return;
  WriteShortString(S, P.Name, "Property name");
  switch (P.Kind) {
    case TPropertyKind::pkInteger:
      WriteInteger(S, ValueAs<int32_t>(P, Value));
      break;
    case TPropertyKind::pkFloat: {
      uint8_t B[10];
      DoubleToExtended(ValueAs<double>(P, Value), B);
      S.WriteByte(vaExtended);
      S.WriteBuffer(B, 10);
      break;
    }
    case TPropertyKind::pkString:
      WriteStringValue(S, ValueAs<std::string>(P, Value));
      break;
    case TPropertyKind::pkBoolean:
      S.WriteByte(ValueAs<bool>(P, Value) ? vaTrue : vaFalse);
      break;
    case TPropertyKind::pkEnumeration: {
      int32_t Ordinal = ValueAs<int32_t>(P, Value);
      if (Ordinal < 0 || Ordinal >= static_cast<int32_t>(P.EnumNames.size()))
        throw EWriteError("Property " + P.Name + " has no identifier for value " + std::to_string(Ordinal));
      S.WriteByte(vaIdent);
      WriteShortString(S, P.EnumNames[static_cast<size_t>(Ordinal)], "Identifier");
      break;
    }
    case TPropertyKind::pkStrings:
      S.WriteByte(vaList);
      for (const std::string& Item : ValueAs<std::vector<std::string>>(P, Value)) WriteStringValue(S, Item);
      S.WriteByte(vaNull);
      break;
    case TPropertyKind::pkEvent:
      break;  // handled above
  }
}

// ---- reading -------------------------------------------------------------

class TReader {
public:
  explicit TReader(TStream& S) : FStream(S) {}

  uint8_t Byte() { return FStream.ReadByte(); }

  std::string Bytes(int64_t Count) {
    // Checked before allocating: a hostile length must not become a huge buffer.
    if (Count < 0) throw EInvalidStreamFormat("Invalid stream format");
    if (Count > FStream.Remaining()) throw EReadError("Stream read error");
    std::string Text(static_cast<size_t>(Count), '\0');
    FStream.ReadBuffer(Text.data(), Count);
    return Text;
  }

  std::string ShortString() { return Bytes(Byte()); }

  int32_t Integer(uint8_t Type) {
    uint8_t B[4] = {0, 0, 0, 0};
    switch (Type) {
      case vaInt8:
        FStream.ReadBuffer(B, 1);
        return static_cast<int8_t>(B[0]);
      case vaInt16:
        FStream.ReadBuffer(B, 2);
        return static_cast<int16_t>(static_cast<uint16_t>(B[0] | B[1] << 8));
      default:
        return FStream.ReadInt32();
    }
  }

  double Extended() {
    uint8_t B[10];
    FStream.ReadBuffer(B, 10);
    return ExtendedToDouble(B);
  }

  std::string StringOf(uint8_t Type) { return Type == vaString ? ShortString() : Bytes(FStream.ReadInt32()); }

  // Reads and drops one value of any type, lists included.
  void SkipValue(uint8_t Type) {
    switch (Type) {
      case vaList:
        for (uint8_t T = Byte(); T != vaNull; T = Byte()) SkipValue(T);
        break;
      case vaInt8: case vaInt16: case vaInt32: Integer(Type); break;
      case vaExtended: Extended(); break;
      case vaString: case vaIdent: ShortString(); break;
      case vaLString: StringOf(Type); break;
      case vaFalse: case vaTrue: break;
      default: throw EInvalidStreamFormat("Invalid stream format");
    }
  }

private:
  TStream& FStream;
};

bool IsKnownType(uint8_t T) { return (T >= vaList && T <= vaTrue) || T == vaLString; }

bool IsInteger(uint8_t T) { return T == vaInt8 || T == vaInt16 || T == vaInt32; }

[[noreturn]] void WrongValue(const std::string& Name) {
  throw EInvalidProperty("Invalid property value: " + Name);
}

// Reads the value of P (type byte already read); returns it in the form the
// property's setter takes.
TPropertyValue ReadValue(TReader& R, const TPropertyInfo& P, uint8_t Type) {
  switch (P.Kind) {
    case TPropertyKind::pkInteger:
      if (!IsInteger(Type)) WrongValue(P.Name);
      return R.Integer(Type);
    case TPropertyKind::pkFloat:
      if (IsInteger(Type)) return static_cast<double>(R.Integer(Type));
      if (Type != vaExtended) WrongValue(P.Name);
      return R.Extended();
    case TPropertyKind::pkString:
      if (Type != vaString && Type != vaLString) WrongValue(P.Name);
      return R.StringOf(Type);
    case TPropertyKind::pkBoolean:
      if (Type != vaFalse && Type != vaTrue) WrongValue(P.Name);
      return Type == vaTrue;
    case TPropertyKind::pkEnumeration: {
      if (Type != vaIdent) WrongValue(P.Name);
      std::string Ident = R.ShortString();
      for (size_t I = 0; I < P.EnumNames.size(); ++I)
        if (SameText(P.EnumNames[I], Ident)) return static_cast<int32_t>(I);
      throw EInvalidProperty("Invalid property value: " + P.Name + " = '" + Ident + "'");
    }
    case TPropertyKind::pkStrings: {
      if (Type != vaList) WrongValue(P.Name);
      std::vector<std::string> Items;
      for (uint8_t T = R.Byte(); T != vaNull; T = R.Byte()) {
        if (T != vaString && T != vaLString) {
          if (!IsKnownType(T)) throw EInvalidStreamFormat("Invalid stream format");
          WrongValue(P.Name);
        }
        Items.push_back(R.StringOf(T));
      }
      return Items;
    }
    case TPropertyKind::pkEvent:
      if (Type != vaIdent) WrongValue(P.Name);
      R.ShortString();  // handlers are never restored
      return false;
  }
  WrongValue(P.Name);
}

const TPropertyInfo* FindProperty(const TPropertyList& List, std::string_view Name) {
  for (const TPropertyInfo& P : List)
    if (SameText(P.Name, Name)) return &P;
  return nullptr;
}

}  // namespace

void WriteComponent(TStream& Stream, const TComponent& Root) {
  Stream.WriteBuffer(Signature, 4);
  WriteShortString(Stream, Root.TypeName(), "Class name");
  WriteShortString(Stream, Root.Name(), "Component name");
  TPropertyList List;
  Root.DefineProperties(List);
  for (const TPropertyInfo& P : List) WriteProperty(Stream, Root, P);
  // The design position follows the published properties, each part only
  // when it is not 0.
  if (!FindProperty(List, "Left") && Root.DesignLeft() != 0) {
    WriteShortString(Stream, "Left", "Property name");
    WriteInteger(Stream, Root.DesignLeft());
  }
  if (!FindProperty(List, "Top") && Root.DesignTop() != 0) {
    WriteShortString(Stream, "Top", "Property name");
    WriteInteger(Stream, Root.DesignTop());
  }
  Stream.WriteByte(vaNull);  // end of properties
  Stream.WriteByte(vaNull);  // end of child components: none
}

namespace {

// The signature, checked, then the class name.
std::string ReadBlockHead(TStream& Stream, TReader& R) {
  char Sig[4];
  Stream.ReadBuffer(Sig, 4);
  if (std::memcmp(Sig, Signature, 4) != 0) throw EInvalidStreamFormat("Invalid stream format");
  return R.ShortString();
}

}  // namespace

std::string ReadComponentClassName(TStream& Stream) {
  TReader R(Stream);
  return ReadBlockHead(Stream, R);
}

void ReadComponent(TStream& Stream, TComponent& Root) {
  TReader R(Stream);
  ReadBlockHead(Stream, R);  // the stored class name is not checked against Root
  Root.SetName(R.ShortString());
  TPropertyList List;
  Root.DefineProperties(List);
  for (;;) {
    std::string Name = R.ShortString();  // a 0 length byte is the end of the list
    if (Name.empty()) break;
    uint8_t Type = R.Byte();
    if (!IsKnownType(Type)) throw EInvalidStreamFormat("Invalid stream format");
    const TPropertyInfo* P = FindProperty(List, Name);
    if (!P) {
      bool IsLeft = SameText(Name, "Left");
      if (!IsLeft && !SameText(Name, "Top")) throw EInvalidProperty("Property " + Name + " does not exist");
      if (!IsInteger(Type)) WrongValue(Name);
      int32_t V = R.Integer(Type);
      if (IsLeft) Root.SetDesignPosition(V, Root.DesignTop());
      else Root.SetDesignPosition(Root.DesignLeft(), V);
      continue;
    }
    TPropertyValue Value = ReadValue(R, *P, Type);
    if (P->Kind != TPropertyKind::pkEvent && P->Set) P->Set(Root, Value);
  }
  if (R.Byte() != vaNull) throw EInvalidStreamFormat("Invalid stream format");  // child components
}

// ---- 80-bit extended -----------------------------------------------------

void DoubleToExtended(double Value, uint8_t Bytes[10]) {
  const uint64_t Bits = std::bit_cast<uint64_t>(Value);
  const uint16_t Sign = static_cast<uint16_t>((Bits >> 63) << 15);
  const int Exp = static_cast<int>((Bits >> 52) & 0x7FF);
  const uint64_t Frac = Bits & ((uint64_t(1) << 52) - 1);
  uint64_t Mantissa = 0;
  uint16_t Field = 0;
  if (Exp == 0x7FF) {  // infinity keeps a bare leading bit; NaN keeps its payload
    Mantissa = (uint64_t(1) << 63) | (Frac << 11);
    Field = 0x7FFF;
  } else if (Exp == 0) {
    if (Frac != 0) {  // denormal double: normal in the wider exponent range
      int Shift = std::countl_zero(Frac);
      Mantissa = Frac << Shift;
      Field = static_cast<uint16_t>(15372 - Shift);
    }
  } else {
    Mantissa = (uint64_t(1) << 63) | (Frac << 11);
    Field = static_cast<uint16_t>(Exp + 15360);  // rebias 1023 -> 16383
  }
  Field |= Sign;
  for (int I = 0; I < 8; ++I) Bytes[I] = static_cast<uint8_t>(Mantissa >> (8 * I));
  Bytes[8] = static_cast<uint8_t>(Field);
  Bytes[9] = static_cast<uint8_t>(Field >> 8);
}

double ExtendedToDouble(const uint8_t Bytes[10]) {
  uint64_t Mantissa = 0;
  for (int I = 7; I >= 0; --I) Mantissa = Mantissa << 8 | Bytes[I];
  const uint16_t Field = static_cast<uint16_t>(Bytes[8] | Bytes[9] << 8);
  const uint64_t Sign = uint64_t(Field >> 15) << 63;
  const int Exp = Field & 0x7FFF;
  const uint64_t FracMask = (uint64_t(1) << 52) - 1;
  if (Exp == 0x7FFF) {
    uint64_t Frac = (Mantissa << 1) == 0 ? 0 : (Mantissa >> 11) & FracMask;
    if ((Mantissa << 1) != 0 && Frac == 0) Frac = uint64_t(1) << 51;  // payload lost below 52 bits: stay NaN
    return std::bit_cast<double>(Sign | (uint64_t(0x7FF) << 52) | Frac);
  }
  if (Mantissa == 0) return std::bit_cast<double>(Sign);
  // Value = Mantissa * 2^(E - 16446), with extended denormals at E = 1.
  const int Shift = std::countl_zero(Mantissa);
  Mantissa <<= Shift;
  int Unbiased = (Exp == 0 ? 1 : Exp) - Shift - 16383;  // exponent of the leading bit
  if (Unbiased > 1023) return std::bit_cast<double>(Sign | (uint64_t(0x7FF) << 52));
  int Drop = 11;  // bits below a normal double's 53
  if (Unbiased < -1022) Drop += -1022 - Unbiased;
  if (Drop > 64) return std::bit_cast<double>(Sign);  // below half the smallest denormal
  uint64_t Kept = Drop == 64 ? 0 : Mantissa >> Drop;
  const uint64_t Rest = Drop == 64 ? Mantissa : Mantissa & ((uint64_t(1) << Drop) - 1);
  const uint64_t Half = uint64_t(1) << (Drop - 1);
  if (Rest > Half || (Rest == Half && (Kept & 1))) ++Kept;  // nearest, ties to even
  if (Unbiased < -1022) return std::bit_cast<double>(Sign | Kept);  // a carry reaches the smallest normal by itself
  if (Kept == (uint64_t(1) << 53)) {
    Kept >>= 1;
    if (++Unbiased > 1023) return std::bit_cast<double>(Sign | (uint64_t(0x7FF) << 52));
  }
  return std::bit_cast<double>(Sign | uint64_t(Unbiased + 1023) << 52 | (Kept & FracMask));
}
