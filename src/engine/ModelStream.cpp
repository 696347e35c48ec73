// The model stream, section 1 and the model files: the property block of
// every classifier, read in two passes (see ModelStream.h), and the file
// entry points that wrap SaveToStream / LoadFromStream.
#include "ModelStream.h"

#include <filesystem>
#include <map>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "Classifier.h"
#include "Exceptions.h"
#include "FileReplace.h"
#include "PropertyStream.h"
#include "StringList.h"

namespace {

// A stand-in that publishes the target's property table with setters that
// only record the values, so the framework's own reader validates the block
// exactly as the real pass will, without touching the target.
class TBlockProbe : public TComponent {
public:
  explicit TBlockProbe(const TComponent& Target) : TComponent(nullptr), FTypeName(Target.TypeName()) {
    Target.DefineProperties(FList);
    for (TPropertyInfo& P : FList) {
      if (!P.Set) continue;
      // A property given twice would be checked here as its last value but
      // applied by the real read as each value in turn.
      P.Set = [this, Name = P.Name](TPersistent&, const TPropertyValue& Value) {
        if (!FValues.emplace(Name, Value).second)
          throw EInvalidStreamFormat("Invalid stream format: property " + Name + " given twice");
      };
    }
  }
  std::string TypeName() const override { return FTypeName; }
  void DefineProperties(TPropertyList& List) const override { List = FList; }

  const TPropertyValue* Value(const std::string& Name) const {
    auto It = FValues.find(Name);
    return It == FValues.end() ? nullptr : &It->second;
  }

private:
  std::string FTypeName;
  TPropertyList FList;
  std::map<std::string, TPropertyValue> FValues;
};

int32_t CheckedCount(const TBlockProbe& Probe, const char* Name, int32_t Current) {
  const TPropertyValue* V = Probe.Value(Name);
  if (!V) return Current;
  const int32_t Count = std::get<int32_t>(*V);
  if (Count > MaxStreamAttributeCount)
    throw EInvalidProperty("Invalid property value: " + std::string(Name) + " = " + std::to_string(Count) +
                           " (more than " + std::to_string(MaxStreamAttributeCount) + " attributes)");
  return Count < 0 ? 0 : Count;  // the setters store 0 for a negative count
}

}  // namespace

void RequireBytes(TStream& Stream, int64_t Count) {
  if (Count < 0 || Count > Stream.Remaining()) throw EReadError("Stream read error");
}

int32_t ReadCount(TStream& Stream, const char* What) {
  const int32_t Count = Stream.ReadInt32();
  if (Count < 0)
    throw EInvalidStreamFormat("Invalid stream format: negative " + std::string(What) + " (" + std::to_string(Count) +
                               ")");
  return Count;
}

void ReadModelBlock(TStream& Stream, TClassifier& Target, const TModelBlockCheck& Prepare) {
  const int64_t Start = Stream.Position();
  TModelBlockSummary Summary;
  {
    TBlockProbe Probe(Target);
    ReadComponent(Stream, Probe);
    Summary.DiscreteAttributeCount =
        CheckedCount(Probe, "DiscreteAttributeCount", Target.DiscreteAttributeCount());
    Summary.FloatAttributeCount = CheckedCount(Probe, "FloatAttributeCount", Target.FloatAttributeCount());
    if (const TPropertyValue* Names = Probe.Value("Classes.Strings")) {
      Summary.HasClasses = true;
      Summary.ClassCount = static_cast<int64_t>(std::get<std::vector<std::string>>(*Names).size());
    }
    if (const TPropertyValue* Store = Probe.Value("StoreExamples"))
      Summary.StoreExamples = std::get<bool>(*Store);
    else
      Summary.StoreExamples = Target.KeepsExamples();
  }
  if (Prepare) Prepare(Summary, Stream.Remaining());
  Stream.SetPosition(Start);
  ReadComponent(Stream, Target);
}

void TClassifier::SaveToStream(TStream& Stream) const { WriteComponent(Stream, *this); }

void TClassifier::LoadFromStream(TStream& Stream) { ReadModelBlock(Stream, *this, {}); }

void TClassifier::Assign(const TPersistent& Source) {
  const auto* From = dynamic_cast<const TClassifier*>(&Source);
  if (!From || From->TypeName() != TypeName()) AssignError(&Source);
  TMemoryStream Model;
  From->SaveToStream(Model);
  Model.Seek(0, TSeekOrigin::soBeginning);
  LoadFromStream(Model);
  // A property whose Stored rule calls its value the default (a
  // Tag of 0, say) is not in the stream, and this object may
  // start from another value. Copied only where they differ, since some
  // setters start the learned statistics again.
  TPropertyList Properties;
  From->DefineProperties(Properties);
  for (const TPropertyInfo& P : Properties) {
    if (P.Kind == TPropertyKind::pkEvent || !P.Set || !P.Stored || P.Stored(*From)) continue;
    TPropertyValue Value = P.Get(*From);
    if (P.Get(*this) != Value) P.Set(*this, Value);
  }
}

void TClassifier::SaveToFile(const std::string& FileName) const {
  // Written beside and renamed over, so a failed save keeps the old model.
  ReplaceFileWithStream(FileName, [this](TStream& File) { SaveToStream(File); });
}

void TClassifier::LoadFromFile(const std::string& FileName) {
  std::error_code Error;
  if (!std::filesystem::exists(FileName, Error)) return;  // a missing model file is no error
  TFileStream File(FileName, TFileMode::fmOpenRead);
  LoadFromStream(File);
}
