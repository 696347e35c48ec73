// The dataset classifier: columns from fields, rows into records, the
// learning and classifying passes, and the record-event handlers through
// which a classifier walks the table itself.
#include "DBClassifier.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "ClassRegistry.h"
#include "DataSet.h"
#include "Exceptions.h"

TDBClassifier::TDBClassifier(TComponent* AOwner) : TComponent(AOwner), FAttributes(this) {
  FIgnoreFields.Add("ID");
}

TDBClassifier::~TDBClassifier() {
  // The handlers capture this binding: a classifier that outlives it must
  // not call into freed memory.
  UnbindClassifierEvents();
  FAttributes.Clear();
}

void TDBClassifier::DefineProperties(TPropertyList& List) const {
  TComponent::DefineProperties(List);
  using K = TPropertyKind;
  using C = TDBClassifier;
  List.push_back(MakeProperty<K::pkString, C>("MissingDiscreteValue", &C::MissingDiscreteValue,
                                              &C::SetMissingDiscreteValue));
  List.push_back(MakeProperty<K::pkInteger, C>("MissingDiscreteIndex", &C::MissingDiscreteIndex,
                                               &C::SetMissingDiscreteIndex));
  List.push_back(MakeProperty<K::pkString, C>("ClassField", &C::ClassField, &C::SetClassField,
                                              [](const C& O) { return !O.FClassField.empty(); }));
  List.push_back(MakeProperty<K::pkStrings, C>("IgnoreFields.Strings", &C::IgnoreFieldNames,
                                               &C::SetIgnoreFieldNames));
  // The template's entries, each prefixed with the property that holds it.
  TPropertyList Template;
  FDataType.DefineProperties(Template);
  for (TPropertyInfo& P : Template) {
    P.Name = "DataType." + P.Name;
    auto Get = P.Get;
    auto Set = P.Set;
    P.Get = [Get](const TPersistent& O) { return Get(static_cast<const C&>(O).FDataType); };
    P.Set = [Set](TPersistent& O, const TPropertyValue& V) { Set(static_cast<C&>(O).FDataType, V); };
    List.push_back(std::move(P));
  }
  List.push_back(MakeProperty<K::pkBoolean, C>("AutoAttributes", &C::AutoAttributes, &C::SetAutoAttributes));
  auto Event = [&List](const char* Name, auto Assigned) {
    List.push_back(MakeProperty<K::pkEvent, C>(Name, Assigned, nullptr, std::function<bool(const C&)>(Assigned)));
  };
  Event("OnLearnDataset", [](const C& O) { return static_cast<bool>(O.FOnLearnDataset); });
  Event("OnClassifyDataset", [](const C& O) { return static_cast<bool>(O.FOnClassifyDataset); });
}

void TDBClassifier::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TDBClassifier*>(&Source);
  if (!Other) {
    TComponent::Assign(Source);
    return;
  }
  if (Other == this) return;
  SetAttributes(Other->FAttributes);
  SetDataset(Other->FDataset);
  SetClassifier(Other->FClassifier);
  SetMissingDiscreteValue(Other->FMissingDiscreteValue);
  SetMissingDiscreteIndex(Other->FMissingDiscreteIndex);
  SetClassField(Other->FClassField);
  SetIgnoreFields(Other->FIgnoreFields);
  SetDataType(Other->FDataType);
  SetAutoAttributes(Other->FAutoAttributes);
}

// --- Setters ----------------------------------------------------------------------

void TDBClassifier::UnbindClassifierEvents() {
  if (!FClassifier) return;
  FClassifier->SetOnFirstRecord(nullptr);
  FClassifier->SetOnNameNextRecord(nullptr);
  FClassifier->SetOnIndexNextRecord(nullptr);
  FClassifier->SetOnPushPosition(nullptr);
  FClassifier->SetOnPopPosition(nullptr);
  FClassifier->SetOnClassifyTest(nullptr);
}

void TDBClassifier::SetClassifier(TClassifier* Value) {
  UnbindClassifierEvents();
  if (FClassifier && FClassifier != Value) RemoveFreeNotification(FClassifier);
  FClassifier = Value;
  if (!Value) return;
  FreeNotification(Value);
  Value->SetOnFirstRecord([this](TObject* Sender) { DoFirstRecord(Sender); });
  Value->SetOnNameNextRecord([this](std::string& ClassName, std::span<int32_t> D, std::span<double> F,
                                    bool& IsLast) { DoNameNextRecord(ClassName, D, F, IsLast); });
  Value->SetOnIndexNextRecord([this](int32_t& ClassIndex, std::span<int32_t> D, std::span<double> F,
                                     bool& IsLast) { DoIndexNextRecord(ClassIndex, D, F, IsLast); });
  Value->SetOnPushPosition([this](void*& Bookmark, TObject* Sender) { DoPushPosition(Bookmark, Sender); });
  Value->SetOnPopPosition([this](void* Bookmark, TObject* Sender) { DoPopPosition(Bookmark, Sender); });
  Value->SetMissingDiscreteIndex(-1);
  Value->SetOnClassifyTest([this](TObject* Sender, double& Succes) { DoClassifyTest(Sender, Succes); });
}

void TDBClassifier::SetDataset(TDataSet* Value) {
  if (Value == FDataset) return;
  if (FDataset) RemoveFreeNotification(FDataset);
  // Fields bound from the previous dataset must not be read any more.
  for (int32_t I = 0; I < FAttributes.Count(); ++I) FAttributes.Items(I)->SetField(nullptr);
  FDataset = Value;
  if (Value) FreeNotification(Value);
}

void TDBClassifier::SetClassField(const std::string& Value) {
  FClassField = Value;
  for (int32_t I = 0; I < FAttributes.Count(); ++I) {
    TFieldColumn* Column = FAttributes.Items(I);
    if (Column->FieldName() == Value) {
      Column->SetDefinesClass(true);
      break;
    }
  }
}

void TDBClassifier::SetIgnoreFieldNames(const std::vector<std::string>& Names) {
  FIgnoreFields.Clear();
  for (const std::string& S : Names) FIgnoreFields.Add(S);
}

void TDBClassifier::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == TOperation::opRemove && AComponent) {
    // The dying component's events are not touched: it is half destroyed.
    if (AComponent == FClassifier) FClassifier = nullptr;
    if (AComponent == static_cast<TComponent*>(FDataset)) {
      FDataset = nullptr;
      for (int32_t I = 0; I < FAttributes.Count(); ++I) FAttributes.Items(I)->SetField(nullptr);
    }
  }
  TComponent::Notification(AComponent, Operation);
}

// --- Checks -----------------------------------------------------------------------

TClassifier& TDBClassifier::RequireClassifier() const {
  if (!FClassifier) throw Exception("No classifier assigned!");
  return *FClassifier;
}

TFieldColumn& TDBClassifier::RequireClassColumn() const {
  if (!FClassColumn) throw Exception("No field defined for class!");
  return *FClassColumn;
}

TDataSet& TDBClassifier::RequireDataset() const {
  if (!FDataset) throw Exception("No dataset assigned!");
  return *FDataset;
}

// --- Columns ----------------------------------------------------------------------

void TDBClassifier::CreateAttributes() {
  TDataSet& Data = RequireDataset();
  FAttributes.Clear();
  for (int32_t I = 0; I < Data.FieldCount(); ++I) {
    const std::string& Name = Data.Fields(I)->FieldName();
    if (FIgnoreFields.IndexOf(Name) >= 0) continue;
    TFieldColumn* Column = FAttributes.Add();
    Column->FFieldName = Name;
    if (Name == FClassField) Column->FDefinesClass = true;
  }
}

void TDBClassifier::PrepareAttributes() {
  TClassifier& Target = RequireClassifier();
  if (FDataset && FAttributes.Count() > 0) FDataset->CheckActive();  // its fields exist only while open
  int32_t D = 0;
  int32_t F = 0;
  FClassColumn = nullptr;
  for (int32_t I = 0; I < FAttributes.Count(); ++I) {
    TFieldColumn* Column = FAttributes.Items(I);
    if (Column->DefinesClass() && !FClassColumn) FClassColumn = Column;
    // A column without its field would shift every later value of its kind.
    TField* Field = FDataset ? FDataset->FindField(Column->FieldName()) : nullptr;
    if (!Field) throw Exception("Field '" + Column->FieldName() + "' not found");
    Column->SetField(Field);
    if (Column->AttributeKind() == TAttributeKind::akAuto)
      Column->SetAttributeKind(FDataType.KindOf(Field->DataType()));
    if (Column == FClassColumn) {
      Column->SetAttributeIndex(-1);
    } else if (Column->AttributeKind() == TAttributeKind::akFloat) {
      Column->SetAttributeIndex(F++);
    } else {
      Column->SetAttributeIndex(D++);
    }
  }
  Target.SetFloatAttributeCount(F);
  Target.SetDiscreteAttributeCount(D);
  FFloatBuffer.assign(static_cast<size_t>(F), 0.0);
  FDiscreteBuffer.assign(static_cast<size_t>(D), 0);
  FQueryFloat.assign(static_cast<size_t>(F), 0.0);
  FQueryDiscrete.assign(static_cast<size_t>(D), 0);
}

// --- Rows -------------------------------------------------------------------------

namespace {
// A one-based code made zero-based; the lowest integer has no predecessor
// and is negative, so missing, already.
int32_t ZeroBasedCode(int32_t V) { return V == INT32_MIN ? V : V - 1; }

// The class column's field in the open dataset.
TField& BoundClassField(const TFieldColumn& Class) {
  TField* Field = Class.Field();
  if (!Field) throw Exception("Field '" + Class.FieldName() + "' not bound");
  return *Field;
}

// True when the class column gives a row's class by name (akDiscrete), false
// when by code (akDiscreteIndexed); any other kind cannot name a class.
bool ClassGivenByName(const TFieldColumn& Class) {
  switch (Class.AttributeKind()) {
    case TAttributeKind::akDiscrete:
      return true;
    case TAttributeKind::akDiscreteIndexed:
      return false;
    default:
      throw Exception("Class must be discrete!");
  }
}
}  // namespace

void TDBClassifier::RebindFields() {
  // Fields live while their dataset is open (Close destroys them): a column
  // keeps its field while the dataset keeps its fields, and looks it up again
  // once the dataset was closed or reopened since.
  if (FDataset && FDataset->Active()) {
    FAttributes.RebindStale();
  } else {
    for (int32_t I = 0; I < FAttributes.Count(); ++I) FAttributes.Items(I)->SetField(nullptr);
    if (FDataset && FAttributes.Count() > 0) FDataset->CheckActive();
  }
}

void TDBClassifier::ReadRecord() {
  RebindFields();
  FillRecords();
}

void TDBClassifier::FillRecords() {
  const bool OneBased = FClassifier && !FClassifier->IndexesZeroBased();
  size_t I = 0;
  size_t J = 0;
  for (int32_t C = 0; C < FAttributes.Count(); ++C) {
    TFieldColumn* Column = FAttributes.Items(C);
    if (Column == FClassColumn) continue;
    TField* Field = Column->Field();
    // Skipping it would shift every later value of its kind.
    if (!Field) throw Exception("Field '" + Column->FieldName() + "' not bound");
    switch (Column->AttributeKind()) {
      case TAttributeKind::akDiscrete:
      case TAttributeKind::akDiscreteIndexed: {
        if (I >= FDiscreteBuffer.size()) throw Exception("Attributes changed since they were prepared");
        int32_t V;
        if (Column->AttributeKind() == TAttributeKind::akDiscrete) {
          V = Column->ValueIndex(FMissingDiscreteValue);
        } else {
          V = Field->AsInteger();
          V = V == FMissingDiscreteIndex ? -1 : (OneBased ? ZeroBasedCode(V) : V);
        }
        FDiscreteBuffer[I++] = V;
        break;
      }
      case TAttributeKind::akFloat:
        if (J >= FFloatBuffer.size()) throw Exception("Attributes changed since they were prepared");
        FFloatBuffer[J++] = Field->AsFloat();
        break;
      case TAttributeKind::akAuto:
        throw Exception("Attributes changed since they were prepared");
    }
  }
}

void TDBClassifier::LearnRecord() {
  RequireClassColumn();
  RequireClassifier();
  RebindFields();
  LearnCurrent();
}

void TDBClassifier::LearnCurrent() {
  TFieldColumn& Class = RequireClassColumn();
  TClassifier& Target = RequireClassifier();
  FillRecords();
  TField& Field = BoundClassField(Class);
  if (ClassGivenByName(Class))
    Target.Learn(Field.AsString(), FDiscreteBuffer, FFloatBuffer);
  else
    Target.LearnIndex(Field.AsInteger(), FDiscreteBuffer, FFloatBuffer);
}

int32_t TDBClassifier::ClassifyCurrent() {
  TClassifier& Target = RequireClassifier();
  FillRecords();
  // A classifier that walks the table through the handlers while it
  // classifies has the buffers refilled row by row: give it a copy.
  if (Target.ReadsRecordsWhileClassifying()) {
    std::copy(FDiscreteBuffer.begin(), FDiscreteBuffer.end(), FQueryDiscrete.begin());
    std::copy(FFloatBuffer.begin(), FFloatBuffer.end(), FQueryFloat.begin());
    return Target.Classify(std::span<const int32_t>(FQueryDiscrete.data(), FDiscreteBuffer.size()),
                           std::span<const double>(FQueryFloat.data(), FFloatBuffer.size()));
  }
  return Target.Classify(FDiscreteBuffer, FFloatBuffer);
}

std::string TDBClassifier::ClassifyRecord() {
  RequireClassifier();
  // Without columns (after Clear, before the next pass) the records still
  // have the last layout, which a classifier may refuse: nothing is asked.
  if (FAttributes.Count() == 0) return FClassifier->ClassName(-1);
  RebindFields();
  const int32_t P = ClassifyCurrent();
  return FClassifier->ClassName(P);
}

// --- Passes -----------------------------------------------------------------------

namespace {
// Restores what a pass changed: the row, the attached controls, Busy and the
// screen cursor. Finish does it on the way out of a pass that went well and
// reports a row that cannot be regained; the destructor does it while an
// error leaves the pass, and then the pass's own error is the one reported.
class TPassGuard {
public:
  TPassGuard(TDataSet& Data, bool& Busy, const TScreenCursorHook& Cursor)
      : FData(Data), FBusy(Busy), FCursor(Cursor) {
    if (FCursor.Get) FSavedCursor = FCursor.Get();
    FBusy = true;
  }
  // Notes the controls' state, disables them and takes a bookmark.
  void SavePosition() {
    // Disable only when enabled: the dataset counts nested disables, and
    // the pass enables again only what it disabled itself.
    FControlsWereDisabled = FData.ControlsDisabled();
    if (!FControlsWereDisabled) FData.DisableControls();
    FControlsDisabled = true;
    FBookmark = FData.GetBookmark();
    FHasBookmark = true;
  }
  void Finish() { Restore(true); }
  ~TPassGuard() { Restore(false); }
  TPassGuard(const TPassGuard&) = delete;
  TPassGuard& operator=(const TPassGuard&) = delete;

private:
  void Restore(bool Report) {
    if (FRestored) return;
    FRestored = true;
    std::exception_ptr Failure;
    if (FHasBookmark) {
      try {
        FData.GotoBookmark(FBookmark);
      } catch (...) {
        Failure = std::current_exception();
      }
      FData.FreeBookmark(FBookmark);
    }
    if (FControlsDisabled && !FControlsWereDisabled) FData.EnableControls();
    FBusy = false;
    if (FCursor.Set) {
      try {
        FCursor.Set(FSavedCursor);
      } catch (...) {
        if (!Failure) Failure = std::current_exception();
      }
    }
    if (Report && Failure) std::rethrow_exception(Failure);
  }

  TDataSet& FData;
  bool& FBusy;
  const TScreenCursorHook& FCursor;
  int32_t FSavedCursor = 0;
  bool FControlsWereDisabled = false;
  bool FControlsDisabled = false;
  TBookmark FBookmark{};
  bool FHasBookmark = false;
  bool FRestored = false;
};
}  // namespace

void TDBClassifier::LearnDataset(int32_t Split) {
  if (FBusy || !FDataset || !FDataset->Active()) return;
  TDataSet& Data = *FDataset;
  TPassGuard Guard(Data, FBusy, FScreenCursor);
  if (FOnLearnDataset) FOnLearnDataset(this, Split);
  if (FAutoAttributes) CreateAttributes();
  PrepareAttributes();
  FAttributes.BindFields();
  Guard.SavePosition();
  try {
    Data.First();
    while (!Data.Eof()) {
      LearnCurrent();
      Data.Next();
    }
  } catch (const EAbort&) {
    // The silent abort ends the walk; what was learned stays learned.
  }
  Guard.Finish();
}

double TDBClassifier::ClassifyDataset(int32_t Split) {
  if (FBusy || !FDataset || !FDataset->Active()) return 0.0;
  TFieldColumn& Class = RequireClassColumn();
  RequireClassifier();
  TDataSet& Data = *FDataset;
  RebindFields();
  TPassGuard Guard(Data, FBusy, FScreenCursor);
  Guard.SavePosition();
  if (FOnClassifyDataset) FOnClassifyDataset(this, Split);
  TField* ClassValue = &BoundClassField(Class);
  int64_t Correct = 0;
  Data.First();
  while (!Data.Eof()) {
    const int32_t P = ClassifyCurrent();
    if (GuessedRight(*FClassifier, P, ClassValue->AsString())) ++Correct;
    Data.Next();
  }
  const int32_t Count = Data.RecordCount();
  Guard.Finish();
  return AccuracyPercent(Correct, Count);
}

bool GuessedRight(const TClassifier& Classifier, int32_t Guess, const std::string& ClassText) {
  return Classifier.ClassName(Guess) == ClassText;
}

double AccuracyPercent(int64_t Right, int32_t Rows) {
  if (Rows <= 0) return 0.0;
  return static_cast<double>(Right) / static_cast<double>(Rows) * 100.0;
}

void TDBClassifier::Clear() {
  FAttributes.Clear();
  RequireClassifier().Clear();
}

// --- Handlers ---------------------------------------------------------------------

void TDBClassifier::DoFirstRecord(TObject* /*Sender*/) {
  TDataSet& Data = RequireDataset();
  RebindFields();
  Data.First();
}

void TDBClassifier::CopyBuffers(std::span<int32_t> DiscreteRecord, std::span<double> FloatRecord) const {
  // The classifier's records have its attribute counts; copy what both hold.
  std::copy_n(FDiscreteBuffer.begin(), std::min(DiscreteRecord.size(), FDiscreteBuffer.size()),
              DiscreteRecord.begin());
  std::copy_n(FFloatBuffer.begin(), std::min(FloatRecord.size(), FFloatBuffer.size()), FloatRecord.begin());
}

void TDBClassifier::DoIndexNextRecord(int32_t& ClassIndex, std::span<int32_t> DiscreteRecord,
                                      std::span<double> FloatRecord, bool& IsLast) {
  TFieldColumn& Class = RequireClassColumn();
  TDataSet& Data = RequireDataset();
  TClassifier& Target = RequireClassifier();
  FillRecords();
  CopyBuffers(DiscreteRecord, FloatRecord);
  TField& Field = BoundClassField(Class);
  if (ClassGivenByName(Class))
    ClassIndex = Target.ClassIndex(Field.AsString());
  else
    ClassIndex = Target.IndexesZeroBased() ? Field.AsInteger() : ZeroBasedCode(Field.AsInteger());
  Data.Next();
  IsLast = Data.Eof();
}

void TDBClassifier::DoNameNextRecord(std::string& ClassName, std::span<int32_t> DiscreteRecord,
                                     std::span<double> FloatRecord, bool& IsLast) {
  TFieldColumn& Class = RequireClassColumn();
  TDataSet& Data = RequireDataset();
  FillRecords();
  CopyBuffers(DiscreteRecord, FloatRecord);
  TField& Field = BoundClassField(Class);
  if (Class.AttributeKind() == TAttributeKind::akFloat) throw Exception("Class must be discrete!");
  ClassName = Field.AsString();
  Data.Next();
  IsLast = Data.Eof();
}

void TDBClassifier::DoPushPosition(void*& Bookmark, TObject* /*Sender*/) {
  TDataSet& Data = RequireDataset();
  RebindFields();  // a walk of the classifier starts here
  Bookmark = Data.GetBookmark();
}

void TDBClassifier::DoPopPosition(void* Bookmark, TObject* /*Sender*/) {
  TDataSet& Data = RequireDataset();
  try {
    Data.GotoBookmark(Bookmark);
  } catch (...) {
    Data.FreeBookmark(Bookmark);  // freed once, whatever happens
    throw;
  }
  Data.FreeBookmark(Bookmark);
}

void TDBClassifier::DoClassifyTest(TObject* /*Sender*/, double& Succes) { Succes = ClassifyDataset(0); }

// --- Registration -----------------------------------------------------------------

namespace {
int UnitInitCount = 0;  // pairs of Initialize/Finalize calls still open
}

void InitializeDBClassifierUnit() {
  if (UnitInitCount++ == 0) RegisterComponentClass<TDBClassifier>("TDBClassifier");
}

void FinalizeDBClassifierUnit() {
  if (UnitInitCount == 0) return;
  if (--UnitInitCount == 0) UnRegisterClass("TDBClassifier");
}
