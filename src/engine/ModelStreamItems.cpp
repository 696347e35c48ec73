// The model stream of the statistic classifiers: section 1, then one item
// block per class in list order. An item block is
//   N (int32), N discrete record images of 28 bytes, N count arrays
//   (int32 length M, then M int32 counts), K (int32), K float record images
//   of 32 bytes,
// all little-endian. A discrete image is a 4-byte placeholder where the
// counts pointer would be (written as 0, ignored on reading), ValueCount,
// Count, Mode (int32 each), Enabled (one byte 0/1), 3 zero padding bytes
// and Weight (double); a float image is Mean, StdDev (doubles), Count
// (int32), Enabled, 3 padding bytes and Weight. LearnedCases and naive
// Bayes' Totals are not stored.
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "Classifier.h"
#include "Convert.h"
#include "Exceptions.h"
#include "ModelStream.h"

namespace {

constexpr int64_t DiscreteImageSize = 28;
constexpr int64_t FloatImageSize = 32;
// Every class of a model holds at least N and K, and per discrete record
// its image and the count array's length.
constexpr int64_t MinItemBlockSize = 8;
constexpr int64_t MinDiscreteRecordSize = DiscreteImageSize + 4;

[[noreturn]] void BadRecord(const std::string& What) {
  throw EInvalidStreamFormat("Invalid stream format: " + What);
}

void WriteCounts(TStream& Stream, const std::vector<int32_t>& Counts) {
  Stream.WriteInt32(static_cast<int32_t>(Counts.size()));
  if constexpr (std::endian::native == std::endian::little) {
    Stream.WriteBuffer(Counts.data(), static_cast<int64_t>(Counts.size() * sizeof(int32_t)));
  } else {
    for (int32_t C : Counts) Stream.WriteInt32(C);
  }
}

std::vector<int32_t> ReadCounts(TStream& Stream) {
  const int32_t M = ReadCount(Stream, "count array length");
  RequireBytes(Stream, int64_t{M} * 4);
  std::vector<int32_t> Counts(static_cast<size_t>(M));
  Stream.ReadBuffer(Counts.data(), int64_t{M} * 4);
  if constexpr (std::endian::native != std::endian::little)
    for (int32_t& C : Counts) C = GetInt32LE(reinterpret_cast<const uint8_t*>(&C));
  return Counts;
}

void CheckWeight(double Weight) {
  if (!std::isfinite(Weight)) BadRecord("Weight " + FloatToShortest(Weight));
}

// A record the learning and response code can index safely: ValueCount
// slots within the counts, the mode among them, no negative counts, and
// counts that sum within 32 bits.
void CheckDiscreteRecord(const TDiscreteRecord& R) {
  CheckWeight(R.Weight);
  if (R.ValueCount < 0 || static_cast<size_t>(R.ValueCount) > R.Counts.size())
    BadRecord("ValueCount " + std::to_string(R.ValueCount) + " with " + std::to_string(R.Counts.size()) + " counts");
  if (R.Mode < 0 || (R.Mode > 0 && R.Mode >= R.ValueCount)) BadRecord("Mode " + std::to_string(R.Mode));
  if (R.Count < 0) BadRecord("Count " + std::to_string(R.Count));
  int64_t Total = 0;
  for (int32_t C : R.Counts) {
    if (C < 0) BadRecord("negative value count " + std::to_string(C));
    Total += C;
  }
  if (Total > std::numeric_limits<int32_t>::max()) BadRecord("value counts above 2147483647");
}

// Statistics that learning can produce: a finite mean and a finite,
// non-negative deviation (the float scores divide by it and look the
// quotient up in a table).
void CheckFloatRecord(const TFloatRecord& R) {
  if (R.Count < 0) BadRecord("Count " + std::to_string(R.Count));
  if (!std::isfinite(R.Mean)) BadRecord("Mean " + FloatToShortest(R.Mean));
  if (!std::isfinite(R.StdDev) || R.StdDev < 0) BadRecord("StdDev " + FloatToShortest(R.StdDev));
  CheckWeight(R.Weight);
}

}  // namespace

void TClassesListItem::SaveToStream(TStream& Stream) const {
  Stream.WriteInt32(static_cast<int32_t>(FDiscrete.size()));
  for (const TDiscreteRecord& R : FDiscrete) {
    uint8_t Image[DiscreteImageSize] = {};
    PutInt32LE(Image + 4, R.ValueCount);
    PutInt32LE(Image + 8, R.Count);
    PutInt32LE(Image + 12, R.Mode);
    Image[16] = R.Enabled ? 1 : 0;
    PutDoubleLE(Image + 20, R.Weight);
    Stream.WriteBuffer(Image, DiscreteImageSize);
  }
  for (const TDiscreteRecord& R : FDiscrete) WriteCounts(Stream, R.Counts);
  Stream.WriteInt32(static_cast<int32_t>(FFloat.size()));
  for (const TFloatRecord& R : FFloat) {
    uint8_t Image[FloatImageSize] = {};
    PutDoubleLE(Image, R.Mean);
    PutDoubleLE(Image + 8, R.StdDev);
    PutInt32LE(Image + 16, R.Count);
    Image[20] = R.Enabled ? 1 : 0;
    PutDoubleLE(Image + 24, R.Weight);
    Stream.WriteBuffer(Image, FloatImageSize);
  }
}

// The records are built aside and replace the item's only when the whole
// block was read and checked, so a bad block leaves the item as it was.
void TClassesListItem::LoadFromStream(TStream& Stream) {
  const int32_t N = ReadCount(Stream, "discrete record count");
  if (FOwner && N != FOwner->DiscreteCount())
    BadRecord(std::to_string(N) + " discrete records for " + std::to_string(FOwner->DiscreteCount()) +
              " discrete attributes");
  RequireBytes(Stream, int64_t{N} * MinDiscreteRecordSize + 4);
  std::vector<TDiscreteRecord> Discrete(static_cast<size_t>(N));
  for (TDiscreteRecord& R : Discrete) {
    uint8_t Image[DiscreteImageSize];
    Stream.ReadBuffer(Image, DiscreteImageSize);
    R.ValueCount = GetInt32LE(Image + 4);
    R.Count = GetInt32LE(Image + 8);
    R.Mode = GetInt32LE(Image + 12);
    R.Enabled = Image[16] != 0;
    R.Weight = GetDoubleLE(Image + 20);
  }
  for (TDiscreteRecord& R : Discrete) {
    R.Counts = ReadCounts(Stream);
    CheckDiscreteRecord(R);
    GuessNewMaxima(R);
  }

  const int32_t K = ReadCount(Stream, "float record count");
  if (FOwner && K != FOwner->FloatCount())
    BadRecord(std::to_string(K) + " float records for " + std::to_string(FOwner->FloatCount()) + " float attributes");
  RequireBytes(Stream, int64_t{K} * FloatImageSize);
  std::vector<TFloatRecord> Float(static_cast<size_t>(K));
  for (TFloatRecord& R : Float) {
    uint8_t Image[FloatImageSize];
    Stream.ReadBuffer(Image, FloatImageSize);
    R.Mean = GetDoubleLE(Image);
    R.StdDev = GetDoubleLE(Image + 8);
    R.Count = GetInt32LE(Image + 16);
    R.Enabled = Image[20] != 0;
    R.Weight = GetDoubleLE(Image + 24);
    CheckFloatRecord(R);
  }
  FDiscrete = std::move(Discrete);
  FFloat = std::move(Float);
  Changed();
}

void TStatisticClassifier::SaveToStream(TStream& Stream) const {
  TClassifier::SaveToStream(Stream);
  for (int32_t i = 0; i < FClasses->Count(); ++i) FClasses->GetData(i)->SaveToStream(Stream);
}

void TStatisticClassifier::LoadFromStream(TStream& Stream) {
  ReadModelBlock(Stream, *this, [this](const TModelBlockSummary& S, int64_t TailBytes) {
    const int64_t PerClass = MinItemBlockSize + int64_t{S.DiscreteAttributeCount} * MinDiscreteRecordSize +
                             int64_t{S.FloatAttributeCount} * FloatImageSize;
    if (S.ClassCount > 0 && PerClass > TailBytes / S.ClassCount) throw EReadError("Stream read error");
    // A model without class names has no item blocks: it leaves no classes
    // rather than classes whose statistics belong to another model.
    FClasses->Clear();
  });
  // A tail that fails midway would leave some classes loaded and the rest
  // empty, a model that was never learned: it leaves no classes instead.
  try {
    for (int32_t i = 0; i < FClasses->Count(); ++i) FClasses->GetData(i)->LoadFromStream(Stream);
    // Summed over all classes, a value count must still fit 32 bits (naive
    // Bayes keeps exactly these sums).
    for (int32_t a = 0; a < FClasses->DiscreteCount(); ++a) {
      int64_t Sum = 0;
      for (int32_t i = 0; i < FClasses->Count(); ++i)
        for (int32_t C : FClasses->GetData(i)->Discrete()[static_cast<size_t>(a)].Counts) Sum += C;
      if (Sum > std::numeric_limits<int32_t>::max()) BadRecord("value counts above 2147483647");
    }
  } catch (...) {
    FClasses->Clear();
    throw;
  }
}

void TStatisticClassifier::Assign(const TPersistent& Source) {
  TClassifier::Assign(Source);
  const auto& From = static_cast<const TStatisticClassifier&>(Source);
  for (int32_t i = 0; i < FClasses->Count(); ++i) {
    FClasses->GetData(i)->AssignLearnedCases(From.FClasses->GetData(i)->LearnedCases());
    std::vector<TDiscreteRecord>& Records = FClasses->GetData(i)->EditDiscrete();
    const std::vector<TDiscreteRecord>& Theirs = From.FClasses->GetData(i)->Discrete();
    for (size_t a = 0; a < Records.size() && a < Theirs.size(); ++a) Records[a].NewMaxima = Theirs[a].NewMaxima;
  }
}
