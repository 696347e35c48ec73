// The learning state: the model stream plus what it drops and learning
// keeps (each class's learned-case count), so that models learned in
// different processes merge into exactly the model learned in one. The
// layout is given beside SaveState in ClassifierBase.h.
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "ClassRegistry.h"
#include "Classifier.h"
#include "Exceptions.h"
#include "ModelStream.h"

namespace {

constexpr char kStateSignature[4] = {'P', 'L', 'S', 'T'};
constexpr int32_t kStateVersion = 1;

[[noreturn]] void BadState(const std::string& What) {
  throw EInvalidStreamFormat("Invalid learning state: " + What);
}

// One count >= 0 per class, summing within 32 bits.
void CheckLearnedCaseCounts(std::span<const int32_t> Counts) {
  int64_t Sum = 0;
  for (int32_t C : Counts) {
    if (C < 0) throw Exception("Negative learned-case count " + std::to_string(C));
    Sum += C;
  }
  if (Sum > std::numeric_limits<int32_t>::max()) throw Exception("Learned-case counts above 2147483647");
}

}  // namespace

void TClassifier::SetLearnedCaseCounts(std::span<const int32_t> Counts) {
  if (!Counts.empty())
    throw Exception(std::to_string(Counts.size()) + " learned-case counts for a " + TypeName() +
                    ", which keeps none");
}

std::vector<int32_t> TStatisticClassifier::LearnedCaseCounts() const {
  std::vector<int32_t> Counts(static_cast<size_t>(FClasses->Count()));
  for (int32_t i = 0; i < FClasses->Count(); ++i) Counts[static_cast<size_t>(i)] = FClasses->GetData(i)->LearnedCases();
  return Counts;
}

void TStatisticClassifier::SetLearnedCaseCounts(std::span<const int32_t> Counts) {
  if (Counts.size() != static_cast<size_t>(FClasses->Count()))
    throw Exception(std::to_string(Counts.size()) + " learned-case counts for " + std::to_string(FClasses->Count()) +
                    " classes");
  CheckLearnedCaseCounts(Counts);
  for (int32_t i = 0; i < FClasses->Count(); ++i) FClasses->GetData(i)->AssignLearnedCases(Counts[static_cast<size_t>(i)]);
}

void TClassifier::SaveState(TStream& Stream) const {
  TMemoryStream Model;
  SaveToStream(Model);
  const std::vector<int32_t> Counts = LearnedCaseCounts();
  Stream.WriteBuffer(kStateSignature, 4);
  Stream.WriteInt32(kStateVersion);
  const auto Length = static_cast<uint64_t>(Model.Size());
  Stream.WriteInt32(static_cast<int32_t>(Length & 0xFFFFFFFFu));
  Stream.WriteInt32(static_cast<int32_t>(Length >> 32));
  Stream.WriteBuffer(Model.Bytes().data(), static_cast<int64_t>(Length));
  Stream.WriteInt32(static_cast<int32_t>(Counts.size()));
  for (int32_t C : Counts) Stream.WriteInt32(C);
  SaveValueHistories(Stream);
}

void TClassifier::SaveValueHistories(TStream& Stream) const { Stream.WriteInt32(0); }

void TClassifier::LoadValueHistories(TStream& Stream) {
  const int32_t H = ReadCount(Stream, "value history count");
  if (H != 0) BadState(std::to_string(H) + " value histories for a " + TypeName() + ", which keeps none");
}

void TStatisticClassifier::SaveValueHistories(TStream& Stream) const {
  Stream.WriteInt32(FClasses->Count() * FClasses->DiscreteCount());
  for (int32_t i = 0; i < FClasses->Count(); ++i)
    for (const TDiscreteRecord& R : FClasses->GetData(i)->Discrete()) {
      Stream.WriteInt32(static_cast<int32_t>(R.NewMaxima.size()));
      for (int32_t v : R.NewMaxima) Stream.WriteInt32(v);
    }
}

void TStatisticClassifier::LoadValueHistories(TStream& Stream) {
  const int64_t Expected = int64_t{FClasses->Count()} * FClasses->DiscreteCount();
  const int32_t H = ReadCount(Stream, "value history count");
  if (H != Expected)
    BadState(std::to_string(H) + " value histories for " + std::to_string(FClasses->Count()) + " classes of " +
             std::to_string(FClasses->DiscreteCount()) + " discrete attributes");
  std::vector<std::vector<int32_t>> Histories(static_cast<size_t>(H));
  size_t k = 0;
  for (int32_t i = 0; i < FClasses->Count(); ++i)
    for (const TDiscreteRecord& R : FClasses->GetData(i)->Discrete()) {
      const std::string Which = "value history of class " + std::to_string(i) + ": ";
      const int32_t M = ReadCount(Stream, "value history length");
      if (M > R.ValueCount) BadState(Which + std::to_string(M) + " codes for ValueCount " + std::to_string(R.ValueCount));
      RequireBytes(Stream, int64_t{M} * 4);
      std::vector<int32_t>& Codes = Histories[k++];
      Codes.resize(static_cast<size_t>(M));
      for (int32_t& v : Codes) {
        v = Stream.ReadInt32();
        if (v < 0 || (&v != Codes.data() && v <= *(&v - 1))) BadState(Which + "codes not ascending");
      }
      if ((M == 0) != (R.ValueCount == 0) || (M > 0 && Codes.back() != R.ValueCount - 1))
        BadState(Which + "does not end at the highest code " + std::to_string(R.ValueCount - 1));
    }
  k = 0;
  for (int32_t i = 0; i < FClasses->Count(); ++i)
    for (TDiscreteRecord& R : FClasses->GetData(i)->EditDiscrete()) R.NewMaxima = std::move(Histories[k++]);
}

void TClassifier::LoadState(TStream& Stream) {
  char Signature[4];
  RequireBytes(Stream, 4);
  Stream.ReadBuffer(Signature, 4);
  if (std::memcmp(Signature, kStateSignature, 4) != 0) BadState("no \"PLST\" signature");
  const int32_t Version = Stream.ReadInt32();
  if (Version != kStateVersion) BadState("version " + std::to_string(Version) + ", expected 1");
  const auto Low = static_cast<uint32_t>(Stream.ReadInt32());
  const auto High = static_cast<uint32_t>(Stream.ReadInt32());
  const uint64_t Length = (static_cast<uint64_t>(High) << 32) | Low;
  if (Length > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) BadState("model length out of range");
  RequireBytes(Stream, static_cast<int64_t>(Length));
  std::vector<uint8_t> Bytes(static_cast<size_t>(Length));
  Stream.ReadBuffer(Bytes.data(), static_cast<int64_t>(Length));
  const int32_t CountCount = ReadCount(Stream, "learned-case count number");
  RequireBytes(Stream, int64_t{CountCount} * 4);
  std::vector<int32_t> Counts(static_cast<size_t>(CountCount));
  for (int32_t& C : Counts) C = Stream.ReadInt32();

  // The model stream names its class right after "TPF0".
  const size_t NameLength = Bytes.size() > 4 ? Bytes[4] : 0;
  if (Bytes.size() < 5 + NameLength || std::memcmp(Bytes.data(), "TPF0", 4) != 0)
    BadState("the model stream does not start with \"TPF0\" and a class name");
  const std::string StoredClass(reinterpret_cast<const char*>(Bytes.data()) + 5, NameLength);
  if (StoredClass != TypeName())
    throw EConvertError("Cannot load the learning state of a " + StoredClass + " into a " + TypeName());

  // The model is read into a fresh classifier of this class and only
  // copied over once it and the counts have been found sound.
  std::unique_ptr<TComponent> Made(CreateComponentByName(TypeName(), nullptr));
  auto* Loaded = dynamic_cast<TClassifier*>(Made.get());
  if (!Loaded) throw Exception(TypeName() + " is not a classifier class");
  TMemoryStream Model(std::move(Bytes));
  Loaded->LoadFromStream(Model);
  if (Model.Remaining() != 0)
    BadState(std::to_string(Model.Remaining()) + " bytes after the model stream");
  try {
    Loaded->SetLearnedCaseCounts(Counts);
  } catch (const Exception& E) {
    BadState(E.what());
  }
  Loaded->LoadValueHistories(Stream);
  Assign(*Loaded);
}
