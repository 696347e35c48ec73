// The model stream of the k-nearest-neighbours classifier: section 1, then
//
//   S (int32)                 number of float spans, = FloatAttributeCount
//   S x 24 bytes              Scale, Max, Min (doubles) of each float attribute
//   class names               each name followed by CR LF
//
// and, only when StoreExamples is true, the stored examples:
//
//   0x00                      delimiter: a name never contains NUL, CR or LF
//   Flags (int32)             bit 0: the scales are to be recomputed (SpanChanged)
//   DiscreteAttributeCount + FloatAttributeCount bytes
//                             the attribute switches (1 enabled, 0 disabled),
//                             discrete attributes first
//   E (int32)                 number of examples
//   E x { ClassIndex (int32, a position among the names),
//         D (int32), F (int32),
//         D x int32 discrete values, F x double float values }
//
// all little-endian, and nothing after it. Without examples the names run to
// the end of the stream, as the format has always been, and the switches are
// not stored (a loaded model has every attribute enabled); with them, the
// delimiter ends the names, the switches are kept and every example keeps its
// class and its own record lengths (those in force when it was stored), so a
// reloaded classifier finds the same neighbours.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Classifier.h"
#include "Convert.h"
#include "Exceptions.h"
#include "ModelStream.h"

namespace {

constexpr int64_t SpanSize = 24;
constexpr int64_t ExampleHeaderSize = 12;
constexpr uint8_t ExamplesDelimiter = 0;
constexpr int32_t FlagSpanChanged = 1;

[[noreturn]] void BadTail(const std::string& What) { throw EInvalidStreamFormat("Invalid stream format: " + What); }

void CheckClassName(const std::string& Name) {
  if (Name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    throw EWriteError("Class name contains a line break or NUL and cannot be stored: \"" + Name + "\"");
}

// A span as learning leaves it: finite ends with the minimum not above the
// maximum, and a scale that is not negative (the distance multiplies by it;
// a range of a few denormals gives an infinite one).
void CheckSpan(const TFloatSpan& S, size_t Index) {
  const std::string Which = "float span " + std::to_string(Index) + ": ";
  if (!std::isfinite(S.Min) || !std::isfinite(S.Max) || S.Min > S.Max)
    BadTail(Which + "Min " + FloatToShortest(S.Min) + " with Max " + FloatToShortest(S.Max));
  if (!(S.Scale >= 0)) BadTail(Which + "Scale " + FloatToShortest(S.Scale));
}

// Reads the examples block from Bytes (after the delimiter).
class TExampleReader {
public:
  explicit TExampleReader(std::string_view Bytes) : FBytes(Bytes) {}
  int64_t Left() const { return static_cast<int64_t>(FBytes.size() - FPos); }
  void Require(int64_t Count) const {
    if (Count < 0 || Count > Left()) throw EReadError("Stream read error");
  }
  int32_t Int32() {
    Require(4);
    const int32_t V = GetInt32LE(At());
    FPos += 4;
    return V;
  }
  double Double() {
    Require(8);
    const double V = GetDoubleLE(At());
    FPos += 8;
    return V;
  }
  uint8_t Byte() {
    Require(1);
    return static_cast<uint8_t>(FBytes[FPos++]);
  }
  int32_t Count(const char* What) {
    const int32_t C = Int32();
    if (C < 0) BadTail("negative " + std::string(What) + " (" + std::to_string(C) + ")");
    return C;
  }

private:
  const uint8_t* At() const { return reinterpret_cast<const uint8_t*>(FBytes.data()) + FPos; }

  std::string_view FBytes;
  size_t FPos = 0;
};

}  // namespace

void TKNearestNeighbors::SaveToStream(TStream& Stream) const {
  // Checked first, so a model that cannot be stored writes nothing.
  for (int32_t i = 0; i < FClasses.Count(); ++i) CheckClassName(FClasses.Strings(i));
  TClassifier::SaveToStream(Stream);
  Stream.WriteInt32(static_cast<int32_t>(FFloatSpans.size()));
  for (const TFloatSpan& S : FFloatSpans) {
    Stream.WriteDouble(S.Scale);
    Stream.WriteDouble(S.Max);
    Stream.WriteDouble(S.Min);
  }
  const std::string Names = FClasses.Text();
  Stream.WriteBuffer(Names.data(), static_cast<int64_t>(Names.size()));
  if (!FStoreExamples) return;
  Stream.WriteByte(ExamplesDelimiter);
  Stream.WriteInt32(FSpanChanged ? FlagSpanChanged : 0);
  for (const TAttributeParam& P : FDiscreteParams) Stream.WriteByte(P.Enabled ? 1 : 0);
  for (const TAttributeParam& P : FFloatParams) Stream.WriteByte(P.Enabled ? 1 : 0);
  Stream.WriteInt32(FExampleCount);
  for (int32_t i = 0; i < FExampleCount; ++i) {
    const TExampleRecord& E = FExamples[static_cast<size_t>(i)];
    Stream.WriteInt32(E.ClassIndex);
    Stream.WriteInt32(static_cast<int32_t>(E.DiscreteValues.size()));
    Stream.WriteInt32(static_cast<int32_t>(E.FloatValues.size()));
    for (int32_t V : E.DiscreteValues) Stream.WriteInt32(V);
    for (double V : E.FloatValues) Stream.WriteDouble(V);
  }
}

void TKNearestNeighbors::LoadFromStream(TStream& Stream) {
  ReadModelBlock(Stream, *this, [](const TModelBlockSummary& S, int64_t TailBytes) {
    // The spans follow the block, one per float attribute.
    if (4 + int64_t{S.FloatAttributeCount} * SpanSize > TailBytes) throw EReadError("Stream read error");
  });

  // The tail is read and checked in full before any of it is applied.
  const int32_t SpanCount = ReadCount(Stream, "span count");
  if (SpanCount != FFloatAttributeCount)
    BadTail(std::to_string(SpanCount) + " float spans for " + std::to_string(FFloatAttributeCount) +
            " float attributes");
  RequireBytes(Stream, int64_t{SpanCount} * SpanSize);
  std::vector<TFloatSpan> Spans(static_cast<size_t>(SpanCount));
  for (size_t i = 0; i < Spans.size(); ++i) {
    TFloatSpan& S = Spans[i];
    S.Scale = Stream.ReadDouble();
    S.Max = Stream.ReadDouble();
    S.Min = Stream.ReadDouble();
    CheckSpan(S, i);
  }

  std::string Rest(static_cast<size_t>(Stream.Remaining()), '\0');
  Stream.ReadBuffer(Rest.data(), static_cast<int64_t>(Rest.size()));
  std::string_view Names = Rest;
  std::string_view ExampleBytes;
  if (FStoreExamples) {
    const size_t Delimiter = Rest.find(static_cast<char>(ExamplesDelimiter));
    if (Delimiter == std::string::npos) BadTail("the stored examples are missing");
    Names = Names.substr(0, Delimiter);
    ExampleBytes = std::string_view(Rest).substr(Delimiter + 1);
  }
  // Every name line ends with CR LF; anything else is a cut-off stream.
  if (!Names.empty() && !Names.ends_with("\r\n")) BadTail("class names not ended by CR LF");
  TStringList NameList;
  NameList.SetText(Names);
  // Without stored examples nothing ends the names but the stream, so a NUL
  // could sit inside one: a name this class could never save again.
  for (int32_t i = 0; i < NameList.Count(); ++i)
    if (NameList.Strings(i).find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
      BadTail("class name " + std::to_string(i) + " holds a NUL or a line break");

  std::vector<TExampleRecord> Examples;
  bool SpanChanged = false;
  std::vector<bool> Switches(FDiscreteParams.size() + FFloatParams.size(), true);
  if (FStoreExamples) {
    TExampleReader R(ExampleBytes);
    SpanChanged = (R.Int32() & FlagSpanChanged) != 0;
    R.Require(static_cast<int64_t>(Switches.size()));
    for (size_t i = 0; i < Switches.size(); ++i) {
      const uint8_t B = R.Byte();
      if (B > 1) BadTail("attribute switch " + std::to_string(B));
      Switches[i] = B == 1;
    }
    const int32_t Count = R.Count("example count");
    R.Require(int64_t{Count} * ExampleHeaderSize);
    Examples.resize(static_cast<size_t>(Count));
    for (TExampleRecord& E : Examples) {
      E.ClassIndex = R.Int32();
      if (E.ClassIndex < 0 || E.ClassIndex >= NameList.Count())
        BadTail("example class " + std::to_string(E.ClassIndex) + " is not one of " +
                std::to_string(NameList.Count()) + " classes");
      const int32_t D = R.Count("example length");
      const int32_t F = R.Count("example length");
      R.Require(int64_t{D} * 4 + int64_t{F} * 8);
      E.DiscreteValues.resize(static_cast<size_t>(D));
      for (int32_t& V : E.DiscreteValues) V = R.Int32();
      E.FloatValues.resize(static_cast<size_t>(F));
      for (double& V : E.FloatValues) V = R.Double();
    }
    if (R.Left() != 0) BadTail(std::to_string(R.Left()) + " bytes after the stored examples");
  } else {
    // Without examples the flag is not stored; the scales say whether they
    // were computed from the ranges as they stand. Untouched (all zero)
    // spans are those of a classifier that never learned.
    SpanChanged = std::any_of(Spans.begin(), Spans.end(), [](const TFloatSpan& S) {
      const bool Untouched = S.Scale == 0 && S.Max == 0 && S.Min == 0;
      return !Untouched && S.Scale != TKNearestNeighbors::SpanScale(S);
    });
  }

  FFloatSpans = std::move(Spans);
  SetClassNames(NameList.ToVector());
  ClearExamples();
  FExamples = std::move(Examples);
  FExampleCount = static_cast<int32_t>(FExamples.size());
  FSpanChanged = SpanChanged;
  ClearNeighbors();
  for (size_t i = 0; i < FDiscreteParams.size(); ++i) FDiscreteParams[i] = TAttributeParam{Switches[i], 1.0};
  for (size_t i = 0; i < FFloatParams.size(); ++i)
    FFloatParams[i] = TAttributeParam{Switches[FDiscreteParams.size() + i], 1.0};
}
