// The binary property stream against hand-checked bytes, round trips, and
// every truncation and corruption of a block giving an error, never a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "PropertyStream.h"
#include "TestSupport.h"

namespace {

enum class TShape { shRound, shSquare, shTriangle };

// One property of every kind, in published order after Tag.
class TSample : public TComponent {
public:
  using TComponent::TComponent;
  std::string TypeName() const override { return "TSample"; }
  void DefineProperties(TPropertyList& List) const override {
    TComponent::DefineProperties(List);
    List.push_back(MakeProperty<TPropertyKind::pkEvent, TSample>("OnChange", &TSample::HasHandler,
                                                                 &TSample::SetHasHandler));
    List.push_back(MakeProperty<TPropertyKind::pkInteger, TSample>("Count", &TSample::Count, &TSample::SetCount));
    List.push_back(MakeProperty<TPropertyKind::pkFloat, TSample>(
        "Ratio", &TSample::Ratio, &TSample::SetRatio, [](const TSample& S) { return S.Ratio() != 0; }));
    List.push_back(MakeProperty<TPropertyKind::pkString, TSample>(
        "Text", &TSample::Text, &TSample::SetText, [](const TSample& S) { return !S.Text().empty(); }));
    List.push_back(MakeProperty<TPropertyKind::pkBoolean, TSample>("Flag", &TSample::Flag, &TSample::SetFlag));
    List.push_back(MakeProperty<TPropertyKind::pkEnumeration, TSample>(
        "Shape", &TSample::Shape, &TSample::SetShape, {}, {"shRound", "shSquare", "shTriangle"}));
    List.push_back(MakeProperty<TPropertyKind::pkStrings, TSample>(
        "Items.Strings", &TSample::Items, &TSample::SetItems,
        [](const TSample& S) { return !S.Items().empty(); }));
    List.push_back(MakeProperty<TPropertyKind::pkInteger, TSample>("Derived", &TSample::Count, nullptr));
  }

  bool HasHandler() const { return FHasHandler; }
  void SetHasHandler(bool V) { FHasHandler = V; }
  int32_t Count() const { return FCount; }
  void SetCount(int32_t V) { FCount = V; }
  double Ratio() const { return FRatio; }
  void SetRatio(double V) { FRatio = V; }
  const std::string& Text() const { return FText; }
  void SetText(const std::string& V) { FText = V; }
  bool Flag() const { return FFlag; }
  void SetFlag(bool V) { FFlag = V; }
  TShape Shape() const { return FShape; }
  void SetShape(TShape V) { FShape = V; }
  const std::vector<std::string>& Items() const { return FItems; }
  void SetItems(const std::vector<std::string>& V) { FItems = V; }

private:
  bool FHasHandler = false;
  int32_t FCount = 0;
  double FRatio = 0;
  std::string FText;
  bool FFlag = false;
  TShape FShape = TShape::shRound;
  std::vector<std::string> FItems;
};

using Bytes = std::vector<uint8_t>;

Bytes Write(const TComponent& C) {
  TMemoryStream S;
  WriteComponent(S, C);
  return S.Bytes();
}

void Append(Bytes& B, std::string_view Text) { B.insert(B.end(), Text.begin(), Text.end()); }
void AppendShort(Bytes& B, std::string_view Text) {
  B.push_back(static_cast<uint8_t>(Text.size()));
  Append(B, Text);
}

// Header and the always-written entries of a default TSample named N.
Bytes Header(std::string_view Name = "") {
  Bytes B;
  Append(B, "TPF0");
  AppendShort(B, "TSample");
  AppendShort(B, Name);
  return B;
}

// The bytes of the "Count" entry alone for value V, as the writer makes them.
Bytes CountEntry(int32_t V) {
  TSample S(nullptr);
  S.SetCount(V);
  Bytes All = Write(S);
  Bytes Prefix = Header();
  AppendShort(Prefix, "Count");
  size_t Start = Prefix.size();
  EXPECT_TRUE(std::equal(Prefix.begin(), Prefix.end(), All.begin()));
  size_t Len = All[Start] == 2 ? 2 : All[Start] == 3 ? 3 : 5;
  return Bytes(All.begin() + static_cast<long>(Start), All.begin() + static_cast<long>(Start + Len));
}

void Read(const Bytes& B, TComponent& Into) {
  TMemoryStream S(B);
  ReadComponent(S, Into);
}

std::string ReadError(const Bytes& B) {
  TSample S(nullptr);
  return MessageOf([&] { Read(B, S); });
}

Bytes Ext(double V) {
  Bytes B(10);
  DoubleToExtended(V, B.data());
  return B;
}

double Dbl(const Bytes& B) { return ExtendedToDouble(B.data()); }

// 10-byte image from mantissa and sign/exponent field.
Bytes Image(uint64_t Mantissa, uint16_t Field) {
  Bytes B(10);
  for (int I = 0; I < 8; ++I) B[static_cast<size_t>(I)] = static_cast<uint8_t>(Mantissa >> (8 * I));
  B[8] = static_cast<uint8_t>(Field);
  B[9] = static_cast<uint8_t>(Field >> 8);
  return B;
}

// A block that uses every value type: the corpus of the fuzzing tests.
Bytes RichBlock() {
  TSample S(nullptr);
  S.SetName("Sample1");
  S.SetTag(-40000);
  S.SetHasHandler(true);
  S.SetCount(300);
  S.SetRatio(0.01);
  S.SetText(std::string(300, 'x'));
  S.SetFlag(true);
  S.SetShape(TShape::shTriangle);
  S.SetItems({"yes", "no", std::string(256, 'y')});
  S.SetDesignPosition(16, 300);
  return Write(S);
}

}  // namespace

TEST(PropertyStream, DefaultBlockBytes) {
  TSample S(nullptr);
  Bytes Expected = Header();
  AppendShort(Expected, "Count");
  Expected.insert(Expected.end(), {2, 0});
  AppendShort(Expected, "Flag");
  Expected.push_back(8);
  AppendShort(Expected, "Shape");
  Expected.push_back(7);
  AppendShort(Expected, "shRound");
  AppendShort(Expected, "Derived");
  Expected.insert(Expected.end(), {2, 0});
  Expected.insert(Expected.end(), {0, 0});
  EXPECT_EQ(Write(S), Expected);
}

TEST(PropertyStream, IntegersUseTheSmallestType) {
  EXPECT_EQ(CountEntry(-1), (Bytes{2, 0xFF}));
  EXPECT_EQ(CountEntry(127), (Bytes{2, 0x7F}));
  EXPECT_EQ(CountEntry(-128), (Bytes{2, 0x80}));
  EXPECT_EQ(CountEntry(128), (Bytes{3, 0x80, 0x00}));
  EXPECT_EQ(CountEntry(-129), (Bytes{3, 0x7F, 0xFF}));
  EXPECT_EQ(CountEntry(32767), (Bytes{3, 0xFF, 0x7F}));
  EXPECT_EQ(CountEntry(-32768), (Bytes{3, 0x00, 0x80}));
  EXPECT_EQ(CountEntry(32768), (Bytes{4, 0x00, 0x80, 0x00, 0x00}));
  EXPECT_EQ(CountEntry(-32769), (Bytes{4, 0xFF, 0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(CountEntry(std::numeric_limits<int32_t>::min()), (Bytes{4, 0, 0, 0, 0x80}));
}

TEST(PropertyStream, EveryEntryKindBytes) {
  TSample S(nullptr);
  S.SetName("S1");
  S.SetTag(5);
  S.SetHasHandler(true);
  S.SetRatio(0.01);
  S.SetText("ab");
  S.SetFlag(true);
  S.SetShape(TShape::shSquare);
  S.SetItems({"yes", "no"});
  S.SetDesignPosition(0, 200);  // Left 0 is not written, Top is
  Bytes E = Header("S1");
  AppendShort(E, "Tag");
  E.insert(E.end(), {2, 5});
  AppendShort(E, "OnChange");
  E.insert(E.end(), {7, 0});  // an assigned handler: empty identifier
  AppendShort(E, "Count");
  E.insert(E.end(), {2, 0});
  AppendShort(E, "Ratio");
  E.push_back(5);
  E.insert(E.end(), {0x00, 0xD8, 0xA3, 0x70, 0x3D, 0x0A, 0xD7, 0xA3, 0xF8, 0x3F});
  AppendShort(E, "Text");
  E.push_back(6);
  AppendShort(E, "ab");
  AppendShort(E, "Flag");
  E.push_back(9);
  AppendShort(E, "Shape");
  E.push_back(7);
  AppendShort(E, "shSquare");
  AppendShort(E, "Items.Strings");
  E.push_back(1);
  E.push_back(6);
  AppendShort(E, "yes");
  E.push_back(6);
  AppendShort(E, "no");
  E.push_back(0);
  AppendShort(E, "Derived");
  E.insert(E.end(), {2, 0});
  AppendShort(E, "Top");
  E.insert(E.end(), {3, 200, 0});
  E.insert(E.end(), {0, 0});
  EXPECT_EQ(Write(S), E);
}

TEST(PropertyStream, LongStringsUseFourByteLength) {
  TSample S(nullptr);
  S.SetText(std::string(255, 'a'));
  Bytes B = Write(S);
  Bytes Short = {'T', 'e', 'x', 't', 6, 255};
  EXPECT_NE(std::search(B.begin(), B.end(), Short.begin(), Short.end()), B.end());
  S.SetText(std::string(256, 'a'));
  B = Write(S);
  Bytes Long = {'T', 'e', 'x', 't', 12, 0x00, 0x01, 0x00, 0x00};
  EXPECT_NE(std::search(B.begin(), B.end(), Long.begin(), Long.end()), B.end());
}

TEST(PropertyStream, RoundTripRestoresEverything) {
  Bytes B = RichBlock();
  TSample R(nullptr);
  Read(B, R);
  EXPECT_EQ(R.Name(), "Sample1");
  EXPECT_EQ(R.Tag(), -40000);
  EXPECT_FALSE(R.HasHandler());  // handlers are never restored
  EXPECT_EQ(R.Count(), 300);
  EXPECT_EQ(R.Ratio(), 0.01);
  EXPECT_EQ(R.Text(), std::string(300, 'x'));
  EXPECT_TRUE(R.Flag());
  EXPECT_EQ(R.Shape(), TShape::shTriangle);
  EXPECT_EQ(R.Items(), (std::vector<std::string>{"yes", "no", std::string(256, 'y')}));
  EXPECT_EQ(R.DesignLeft(), 16);
  EXPECT_EQ(R.DesignTop(), 300);
  // Writing it again gives the same bytes but for the handler entry.
  Bytes Again = B;
  Bytes Entry = {8, 'O', 'n', 'C', 'h', 'a', 'n', 'g', 'e', 7, 0};
  auto It = std::search(Again.begin(), Again.end(), Entry.begin(), Entry.end());
  ASSERT_NE(It, Again.end());
  Again.erase(It, It + static_cast<long>(Entry.size()));
  EXPECT_EQ(Write(R), Again);
}

TEST(PropertyStream, ReaderLeavesStreamAfterBlock) {
  TMemoryStream S;
  TSample A(nullptr);
  A.SetCount(1);
  WriteComponent(S, A);
  int64_t End = S.Position();
  S.WriteInt32(1234);  // a tail follows, as in a model stream
  S.SetPosition(0);
  TSample B(nullptr);
  ReadComponent(S, B);
  EXPECT_EQ(S.Position(), End);
  EXPECT_EQ(S.ReadInt32(), 1234);
}

TEST(PropertyStream, ReaderIgnoresClassNameAndAcceptsWiderTypes) {
  Bytes B;
  Append(B, "TPF0");
  AppendShort(B, "TSomethingElse");
  AppendShort(B, "");
  AppendShort(B, "count");  // property names ignore letter case
  B.insert(B.end(), {4, 5, 0, 0, 0});
  AppendShort(B, "Ratio");
  B.insert(B.end(), {3, 0x00, 0x01});  // an integer for a float property
  AppendShort(B, "Shape");
  B.push_back(7);
  AppendShort(B, "SHSQUARE");
  AppendShort(B, "Derived");  // written but not read back: skipped
  B.insert(B.end(), {2, 9});
  B.insert(B.end(), {0, 0});
  TSample S(nullptr);
  Read(B, S);
  EXPECT_EQ(S.Count(), 5);
  EXPECT_EQ(S.Ratio(), 256.0);
  EXPECT_EQ(S.Shape(), TShape::shSquare);
}

TEST(PropertyStream, ReaderErrorsNameWhatIsWrong) {
  Bytes Bad = Header();
  Bad[0] = 'X';
  EXPECT_EQ(ReadError(Bad), "Invalid stream format");

  auto WithEntry = [](std::string_view Name, Bytes Value) {
    Bytes B = Header();
    AppendShort(B, Name);
    B.insert(B.end(), Value.begin(), Value.end());
    B.insert(B.end(), {0, 0});
    return B;
  };
  EXPECT_EQ(ReadError(WithEntry("Colour", {2, 1})), "Property Colour does not exist");
  EXPECT_EQ(ReadError(WithEntry("Count", {9})), "Invalid property value: Count");
  EXPECT_EQ(ReadError(WithEntry("Flag", {2, 1})), "Invalid property value: Flag");
  EXPECT_EQ(ReadError(WithEntry("Text", {7, 1, 'a'})), "Invalid property value: Text");
  EXPECT_EQ(ReadError(WithEntry("Items.Strings", {1, 2, 1, 0})), "Invalid property value: Items.Strings");
  Bytes Unknown = WithEntry("Shape", {7, 9, 's', 'h', 'H', 'e', 'x', 'a', 'g', 'o', 'n'});
  EXPECT_EQ(ReadError(Unknown), "Invalid property value: Shape = 'shHexagon'");
  EXPECT_EQ(ReadError(WithEntry("Count", {10, 0})), "Invalid stream format");
  EXPECT_EQ(ReadError(WithEntry("Items.Strings", {1, 6, 0, 11})), "Invalid stream format");
  // A hostile 2 GB long string must fail before anything is allocated.
  EXPECT_EQ(ReadError(WithEntry("Text", {12, 0xFF, 0xFF, 0xFF, 0x7F})), "Stream read error");
  EXPECT_EQ(ReadError(WithEntry("Text", {12, 0xFF, 0xFF, 0xFF, 0xFF})), "Invalid stream format");
  Bytes Child = Header();
  Child.insert(Child.end(), {0, 1});
  EXPECT_EQ(ReadError(Child), "Invalid stream format");
  EXPECT_THROW(Read(WithEntry("Count", {9}), *std::make_unique<TSample>(nullptr)), EInvalidProperty);
}

TEST(PropertyStream, EveryTruncationIsAnError) {
  Bytes Full = RichBlock();
  for (size_t Len = 0; Len < Full.size(); ++Len) {
    Bytes Cut(Full.begin(), Full.begin() + static_cast<long>(Len));
    TSample S(nullptr);
    EXPECT_THROW(Read(Cut, S), Exception) << "length " << Len;
  }
}

TEST(PropertyStream, EveryCorruptedByteFailsCleanlyOrReads) {
  // Each byte replaced by a few telling values: either a clean framework
  // error or a successful read, never a crash, hang or foreign exception.
  Bytes Full = RichBlock();
  for (size_t I = 0; I < Full.size(); ++I) {
    for (uint8_t V : {uint8_t(0), uint8_t(1), uint8_t(7), uint8_t(12), uint8_t(0x7F), uint8_t(0xFF),
                      static_cast<uint8_t>(Full[I] ^ 0x01)}) {
      Bytes Bad = Full;
      Bad[I] = V;
      TSample S(nullptr);
      try {
        Read(Bad, S);
      } catch (const Exception&) {
      } catch (...) {
        ADD_FAILURE() << "foreign exception at offset " << I << " value " << int(V);
      }
    }
  }
}

TEST(PropertyStream, RandomGarbageAfterSignature) {
  std::mt19937 Random(12345);
  for (int Round = 0; Round < 2000; ++Round) {
    Bytes B = Header();
    size_t N = Random() % 64;
    for (size_t I = 0; I < N; ++I) B.push_back(static_cast<uint8_t>(Random()));
    TSample S(nullptr);
    try {
      Read(B, S);
    } catch (const Exception&) {
    }
  }
}

TEST(PropertyStream, WriterRefusesUnwritableValues) {
  TSample S(nullptr);
  S.SetShape(static_cast<TShape>(7));
  EXPECT_THROW(Write(S), EStreamError);
}

TEST(Extended, HandCheckedImages) {
  EXPECT_EQ(Ext(0.01), Image(0xA3D70A3D70A3D800, 0x3FF8));
  EXPECT_EQ(Ext(1.0), Image(0x8000000000000000, 0x3FFF));
  EXPECT_EQ(Ext(-2.0), Image(0x8000000000000000, 0xC000));
  EXPECT_EQ(Ext(0.0), Image(0, 0));
  EXPECT_EQ(Ext(-0.0), Image(0, 0x8000));
  EXPECT_EQ(Ext(std::numeric_limits<double>::infinity()), Image(0x8000000000000000, 0x7FFF));
  EXPECT_EQ(Ext(-std::numeric_limits<double>::infinity()), Image(0x8000000000000000, 0xFFFF));
  EXPECT_EQ(Ext(5e-324), Image(0x8000000000000000, 16383 - 1074));  // smallest denormal is 2^-1074
  EXPECT_EQ(Ext(std::numeric_limits<double>::quiet_NaN()), Image(0xC000000000000000, 0x7FFF));
}

TEST(Extended, SpecialValuesBack) {
  EXPECT_EQ(Dbl(Image(0x8000000000000000, 0x7FFF)), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(Dbl(Image(0xC000000000000000, 0x7FFF))));
  EXPECT_TRUE(std::isnan(Dbl(Image(0x8000000000000001, 0x7FFF))));  // payload below double's bits
  EXPECT_TRUE(std::signbit(Dbl(Image(0, 0x8000))));
  EXPECT_EQ(Dbl(Image(0, 0x8000)), 0.0);
  // Too large for a double: infinity; too small: zero.
  EXPECT_EQ(Dbl(Image(0x8000000000000000, 0x43FF)), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Dbl(Image(0xFFFFFFFFFFFFFFFF, 0x43FE)), std::numeric_limits<double>::infinity());  // rounds up past max
  EXPECT_EQ(Dbl(Image(0xFFFFFFFFFFFFF800, 0x43FE)), std::numeric_limits<double>::max());
  EXPECT_EQ(Dbl(Image(0x8000000000000000, 1)), 0.0);
  // Half the smallest denormal is a tie: to even, that is zero; a bit more rounds up.
  EXPECT_EQ(Dbl(Image(0x8000000000000000, 16383 - 1075)), 0.0);
  EXPECT_EQ(Dbl(Image(0x8000000000000001, 16383 - 1075)), 5e-324);
  EXPECT_EQ(Dbl(Image(0xC000000000000000, 16383 - 1075)), 5e-324);  // 0.75 units
  EXPECT_EQ(Dbl(Image(0xC000000000000000, 16383 - 1074)), 1e-323);  // 1.5 units: tie to even 2
  EXPECT_EQ(Dbl(Image(0xA000000000000000, 16383 - 1073)), 1e-323);  // 2.5 units: tie to even 2
}

TEST(Extended, RoundsToNearestEven) {
  // 1 + 2^-53 is a tie between 1 and the next double: even is 1.
  EXPECT_EQ(Dbl(Image(0x8000000000000400, 0x3FFF)), 1.0);
  EXPECT_EQ(Dbl(Image(0x8000000000000401, 0x3FFF)), std::nextafter(1.0, 2.0));
  EXPECT_EQ(Dbl(Image(0x8000000000000C00, 0x3FFF)), 1.0 + 2 * std::numeric_limits<double>::epsilon());
  // An unnormalised image (leading bit clear) still reads as its value.
  EXPECT_EQ(Dbl(Image(0x4000000000000000, 0x4000)), 1.0);
}

TEST(Extended, RoundTripAndAgreesWithLongDouble) {
  std::mt19937_64 Random(7);
  std::vector<double> Values = {0.01, 1.0 / 3.0, 5e-324, 2.2250738585072014e-308, 2.225073858507201e-308,
                                std::numeric_limits<double>::max(), -123.456};
  for (int I = 0; I < 20000; ++I) Values.push_back(std::bit_cast<double>(Random()));
  for (double V : Values) {
    if (std::isnan(V)) continue;
    Bytes B = Ext(V);
    EXPECT_EQ(std::bit_cast<uint64_t>(Dbl(B)), std::bit_cast<uint64_t>(V));
    if constexpr (std::numeric_limits<long double>::digits == 64) {
      long double L = V;
      uint8_t Native[16] = {};
      std::memcpy(Native, &L, 10);
      EXPECT_TRUE(std::equal(B.begin(), B.end(), Native)) << V;
    }
  }
  if constexpr (std::numeric_limits<long double>::digits == 64) {
    // Arbitrary extended images round as the hardware rounds them.
    for (int I = 0; I < 20000; ++I) {
      uint64_t M = Random() | (uint64_t(1) << 63);
      auto E = static_cast<uint16_t>(Random() % 2300 + 16383 - 1150);  // around the double range
      if (I % 2) E |= 0x8000;
      Bytes B = Image(M, E);
      long double L;
      std::memcpy(&L, B.data(), 10);
      EXPECT_EQ(std::bit_cast<uint64_t>(Dbl(B)), std::bit_cast<uint64_t>(static_cast<double>(L)))
          << std::hex << M << " " << E;
    }
  }
}
