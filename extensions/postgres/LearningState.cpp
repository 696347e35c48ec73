// The aggregate's state: learning, merging and its two byte forms.
#include "LearningState.h"

#include <cstring>

#include "Classifier.h"
#include "ClassesList.h"  // MaxDiscreteValueCode
#include "Exceptions.h"
#include "LearnSettings.h"
#include "Stream.h"

namespace {

// The first bytes of a serialized state; a state of another layout is
// refused rather than misread.
constexpr char StateSignature[4] = {'P', 'L', 'S', '1'};
// Longer than any kind or settings text a row gives.
constexpr int32_t MaxStateText = 1 << 20;

void WriteText(TStream& Stream, const std::string& Text) {
  Stream.WriteInt32(static_cast<int32_t>(Text.size()));
  Stream.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
}

std::string ReadText(TStream& Stream, const char* What) {
  const int32_t Length = Stream.ReadInt32();
  if (Length < 0 || Length > MaxStateText || Length > Stream.Remaining())
    throw Exception(std::string("damaged learning state: bad length of its ") + What);
  std::string Text(static_cast<size_t>(Length), '\0');
  Stream.ReadBuffer(Text.data(), Length);
  return Text;
}

std::string Quoted(std::string_view Text) { return "'" + std::string(Text) + "'"; }

}  // namespace

TLearningState::TLearningState(std::string_view Kind, std::string_view Settings, int32_t DiscreteCount,
                               int32_t FloatCount)
    : FKind(Kind), FSettings(Settings), FClassifier(NewLearningClassifier(Kind, Settings)) {
  FClassifier->SetDiscreteAttributeCount(DiscreteCount);
  FClassifier->SetFloatAttributeCount(FloatCount);
  FDiscrete.assign(static_cast<size_t>(DiscreteCount), 0);
  FFloat.assign(static_cast<size_t>(FloatCount), 0.0);
}

TLearningState::~TLearningState() = default;

void TLearningState::CheckRow(std::string_view Kind, std::string_view Settings, int32_t DiscreteCount,
                              int32_t FloatCount) const {
  if (Kind != FKind)
    throw Exception("kind changed from " + Quoted(FKind) + " to " + Quoted(Kind) +
                    " in a later row; one aggregate learns one kind");
  if (Settings != FSettings)
    throw Exception("settings changed from " + Quoted(FSettings) + " to " + Quoted(Settings) + " in a later row");
  if (DiscreteCount != static_cast<int32_t>(FDiscrete.size()))
    throw Exception("discrete has " + std::to_string(DiscreteCount) + " elements in this row, the first row had " +
                    std::to_string(FDiscrete.size()));
  if (FloatCount != static_cast<int32_t>(FFloat.size()))
    throw Exception("floats has " + std::to_string(FloatCount) + " elements in this row, the first row had " +
                    std::to_string(FFloat.size()));
}

void TLearningState::FillRecords(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float) {
  CheckRow(FKind, FSettings, Discrete.Count, Float.Count);
  Discrete.Fill(FDiscrete, FClassifier->MissingDiscreteIndex());
  Float.Fill(FFloat, FClassifier->MissingFloat());
}

void TLearningState::LearnNamed(std::string_view ClassName, const TSqlArray<int32_t>& Discrete,
                                const TSqlArray<double>& Float) {
  FillRecords(Discrete, Float);
  FClassName.assign(ClassName);
  FClassifier->Learn(FClassName, FDiscrete, FFloat);
}

void TLearningState::LearnCoded(int32_t ClassCode, const TSqlArray<int32_t>& Discrete,
                                const TSqlArray<double>& Float) {
  if (ClassCode < 0 || ClassCode > MaxDiscreteValueCode)
    throw Exception("class code " + std::to_string(ClassCode) + " is outside 0.." +
                    std::to_string(MaxDiscreteValueCode));
  FillRecords(Discrete, Float);
  FClassifier->LearnIndex(FClassifier->IndexesZeroBased() ? ClassCode : ClassCode + 1, FDiscrete, FFloat);
}

void TLearningState::Merge(const TLearningState& Other) {
  if (Other.FKind != FKind)
    throw Exception("partial states of different kinds meet: " + Quoted(FKind) + " and " + Quoted(Other.FKind));
  if (Other.FSettings != FSettings)
    throw Exception("partial states with different settings meet: " + Quoted(FSettings) + " and " +
                    Quoted(Other.FSettings));
  if (Other.FDiscrete.size() != FDiscrete.size() || Other.FFloat.size() != FFloat.size())
    throw Exception("partial states of different shapes meet: one learned rows of " + std::to_string(FDiscrete.size()) +
                    " discrete and " + std::to_string(FFloat.size()) + " float values, the other of " +
                    std::to_string(Other.FDiscrete.size()) + " and " + std::to_string(Other.FFloat.size()));
  FClassifier->Merge(*Other.FClassifier);
}

std::unique_ptr<TLearningState> TLearningState::Copy() const {
  // Through the bytes: the copy is exactly what another process would get.
  TMemoryStream Stream;
  SaveTo(Stream);
  return Deserialize(Stream.Bytes());
}

std::span<const uint8_t> TLearningState::WriteModel() {
  TMemoryStream Stream;
  FClassifier->SaveToStream(Stream);
  FOutput = Stream.Bytes();
  return FOutput;
}

void TLearningState::SaveTo(TStream& Stream) const {
  Stream.WriteBuffer(StateSignature, sizeof StateSignature);
  WriteText(Stream, FKind);
  WriteText(Stream, FSettings);
  Stream.WriteInt32(static_cast<int32_t>(FDiscrete.size()));
  Stream.WriteInt32(static_cast<int32_t>(FFloat.size()));
  FClassifier->SaveState(Stream);
}

std::span<const uint8_t> TLearningState::Serialize() {
  TMemoryStream Stream;
  SaveTo(Stream);
  FOutput = Stream.Bytes();
  return FOutput;
}

std::unique_ptr<TLearningState> TLearningState::Deserialize(std::span<const uint8_t> Bytes) {
  TMemoryStream Stream(std::vector<uint8_t>(Bytes.begin(), Bytes.end()));
  char Signature[sizeof StateSignature] = {};
  if (Stream.Read(Signature, sizeof Signature) != sizeof Signature ||
      std::memcmp(Signature, StateSignature, sizeof Signature) != 0)
    throw Exception("damaged learning state: no state signature");
  const std::string Kind = ReadText(Stream, "kind");
  const std::string Settings = ReadText(Stream, "settings");
  const int32_t DiscreteCount = Stream.ReadInt32();
  const int32_t FloatCount = Stream.ReadInt32();
  if (DiscreteCount < 0 || FloatCount < 0) throw Exception("damaged learning state: negative attribute count");
  auto Result = std::make_unique<TLearningState>(Kind, Settings, DiscreteCount, FloatCount);
  Result->FClassifier->LoadState(Stream);
  if (Result->FClassifier->DiscreteAttributeCount() != DiscreteCount ||
      Result->FClassifier->FloatAttributeCount() != FloatCount)
    throw Exception("damaged learning state: its model does not have its attribute counts");
  return Result;
}
