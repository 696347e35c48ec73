// TDBClassifier: connects any classifier of the engine to a dataset.
//
// The binding builds one attribute column per table field (CreateAttributes),
// decides each column's kind from the field type template and numbers the
// attributes (PrepareAttributes), turns the current row into a discrete and a
// float record (ReadRecord), learns a whole table row by row (LearnDataset),
// classifies the current row (ClassifyRecord) and measures the share of rows
// guessed right (ClassifyDataset). Binding a classifier also plugs the
// binding's handlers into the classifier's record events, so the classifier
// can walk the table itself (LearnData, the k-NN search without stored
// examples, pruning through OnClassifyTest).
//
// Ownership: the binding owns its columns, IgnoreFields and DataType; it holds
// the dataset and the classifier by reference and is told (free
// notification) when either is destroyed. Destroying the binding takes its
// handlers off a classifier that outlives it.
//
// Fields: a dataset's fields live only while it is open, so a column keeps
// its field only while the dataset keeps its fields (FieldsGeneration) and is
// bound by name again, at the start of a pass, of ReadRecord, LearnRecord and
// ClassifyRecord, or of a walk of the classifier (OnPushPosition,
// OnFirstRecord), once the dataset was closed or reopened or the column was
// renamed. Reading a row thus costs no name lookups. The columns, kinds and
// value codes are those of the last PrepareAttributes (LearnDataset prepares
// them).
//
// Class indexes: a missing discrete value always reaches the classifier as -1
// (binding a classifier sets its MissingDiscreteIndex to -1). Indexed codes of
// a one-based classifier (IndexesZeroBased false) are passed minus one; the
// class delivered by DoIndexNextRecord is always a zero-based position.
//
// Errors are Exception with the exact message: "No field defined for class!",
// "Class must be discrete!", "Unsupported field type detected!", and, for the
// cases the binding settles itself, "No classifier assigned!" and
// "Field 'X' not found" (a column naming a field the dataset lacks).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "AttributeDataType.h"
#include "ClassifierBase.h"
#include "Component.h"
#include "FieldColumns.h"
#include "StringList.h"

class TDataSet;
class TField;

// Told at the start of a pass, with the split value the pass was given.
// ClassifyDataset's measure, for callers that walk the rows themselves: a
// row counts as right when the guessed class's name equals the class
// field's text, and the accuracy is the percent of Rows right (0 over no
// rows: nothing was guessed wrong, but nothing right either).
bool GuessedRight(const TClassifier& Classifier, int32_t Guess, const std::string& ClassText);
double AccuracyPercent(int64_t Right, int32_t Rows);

using TOnLearnDataset = std::function<void(TObject* Sender, int32_t Split)>;
using TOnClassifyDataset = std::function<void(TObject* Sender, int32_t Split)>;

// The screen cursor belongs to the user interface; a program with one fills
// these so a pass can note the cursor in force and restore it afterwards.
struct TScreenCursorHook {
  std::function<int32_t()> Get;
  std::function<void(int32_t)> Set;
};

class TDBClassifier : public TComponent {
public:
  // No dataset, no classifier, no columns; IgnoreFields "ID";
  // MissingDiscreteValue "999"; MissingDiscreteIndex 999; AutoAttributes
  // false; the template's defaults.
  explicit TDBClassifier(TComponent* AOwner);
  ~TDBClassifier() override;

  std::string TypeName() const override { return "TDBClassifier"; }
  // Tag, MissingDiscreteValue, MissingDiscreteIndex, ClassField,
  // IgnoreFields.Strings, DataType.<entry> (fourteen), AutoAttributes,
  // OnLearnDataset, OnClassifyDataset (when assigned). Component references
  // and the columns are set in code.
  void DefineProperties(TPropertyList& List) const override;
  // From another TDBClassifier: Attributes, Dataset, Classifier,
  // MissingDiscreteValue, MissingDiscreteIndex, ClassField, IgnoreFields,
  // DataType, AutoAttributes through their setters. Other sources raise
  // "Cannot assign".
  void Assign(const TPersistent& Source) override;

  // --- Properties ---------------------------------------------------------
  TClassifier* Classifier() const { return FClassifier; }
  // Takes the handlers off the classifier bound so far; binds Value (may be
  // nullptr), plugs in the handlers and sets its MissingDiscreteIndex to -1.
  void SetClassifier(TClassifier* Value);

  TDataSet* Dataset() const { return FDataset; }
  void SetDataset(TDataSet* Value);

  const std::string& MissingDiscreteValue() const { return FMissingDiscreteValue; }
  void SetMissingDiscreteValue(const std::string& Value) { FMissingDiscreteValue = Value; }
  int32_t MissingDiscreteIndex() const { return FMissingDiscreteIndex; }
  void SetMissingDiscreteIndex(int32_t Value) { FMissingDiscreteIndex = Value; }

  const std::string& ClassField() const { return FClassField; }
  // Stores the name; the first column of that exact name becomes the class
  // column (clearing the flag on the others). No match leaves the columns.
  void SetClassField(const std::string& Value);

  const TStringList& IgnoreFields() const { return FIgnoreFields; }
  TStringList& IgnoreFields() { return FIgnoreFields; }
  void SetIgnoreFields(const TStringList& Value) { FIgnoreFields.Assign(Value); }
  std::vector<std::string> IgnoreFieldNames() const { return FIgnoreFields.ToVector(); }
  void SetIgnoreFieldNames(const std::vector<std::string>& Names);

  const TFieldColumns& Attributes() const { return FAttributes; }
  TFieldColumns& Attributes() { return FAttributes; }
  void SetAttributes(const TFieldColumns& Value) { FAttributes.Assign(Value); }

  const TAttributeDataType& DataType() const { return FDataType; }
  TAttributeDataType& DataType() { return FDataType; }
  void SetDataType(const TAttributeDataType& Value) { FDataType.Assign(Value); }

  bool AutoAttributes() const { return FAutoAttributes; }
  void SetAutoAttributes(bool Value) { FAutoAttributes = Value; }

  const TOnLearnDataset& OnLearnDataset() const { return FOnLearnDataset; }
  void SetOnLearnDataset(TOnLearnDataset Value) { FOnLearnDataset = std::move(Value); }
  const TOnClassifyDataset& OnClassifyDataset() const { return FOnClassifyDataset; }
  void SetOnClassifyDataset(TOnClassifyDataset Value) { FOnClassifyDataset = std::move(Value); }

  const TScreenCursorHook& ScreenCursorHook() const { return FScreenCursor; }
  void SetScreenCursorHook(TScreenCursorHook Value) { FScreenCursor = std::move(Value); }

  // True for the whole of a LearnDataset or ClassifyDataset pass.
  bool Busy() const { return FBusy; }
  // The records of the current row as the last ReadRecord left them.
  std::span<const int32_t> DiscreteBuffer() const { return FDiscreteBuffer; }
  std::span<const double> FloatBuffer() const { return FFloatBuffer; }
  // The column with DefinesClass found by the last PrepareAttributes.
  TFieldColumn* ClassColumn() const { return FClassColumn; }

  // --- Operations ----------------------------------------------------------
  // Learns every row of the dataset and returns to the row current before.
  // Does nothing while Busy or without an active dataset. The silent abort
  // (EAbort) ends the walk quietly; other errors propagate. Either way the
  // rows learned so far stay learned and the position, the controls, Busy
  // and the cursor are restored.
  void LearnDataset(int32_t Split);
  // Percent of the dataset's rows whose guessed class name equals the class
  // field's text; 0 while Busy, without an active dataset, or over no rows.
  // Uses the columns of the last LearnDataset.
  double ClassifyDataset(int32_t Split);
  // The class name the classifier guesses for the current row ("Reject" when
  // it rejects, and without columns, when there is nothing to ask).
  std::string ClassifyRecord();
  // Learns the current row into the class of the class field.
  void LearnRecord();
  // Converts the current row into DiscreteBuffer and FloatBuffer. Raises when
  // the columns changed since they were prepared.
  void ReadRecord();
  // Rebuilds the columns from the dataset's fields, skipping IgnoreFields.
  void CreateAttributes();
  // Resolves akAuto kinds, numbers the attributes, binds the fields, sizes the
  // buffers and sets the classifier's FloatAttributeCount, then
  // DiscreteAttributeCount. A column naming a field the dataset lacks raises
  // "Field 'X' not found" before the classifier is touched.
  void PrepareAttributes();
  // Empties the columns, then clears the bound classifier.
  void Clear();

  // --- Handlers plugged into the classifier -------------------------------
  void DoFirstRecord(TObject* Sender);
  void DoIndexNextRecord(int32_t& ClassIndex, std::span<int32_t> DiscreteRecord, std::span<double> FloatRecord,
                         bool& IsLast);
  void DoNameNextRecord(std::string& ClassName, std::span<int32_t> DiscreteRecord, std::span<double> FloatRecord,
                        bool& IsLast);
  void DoPushPosition(void*& Bookmark, TObject* Sender);
  void DoPopPosition(void* Bookmark, TObject* Sender);
  void DoClassifyTest(TObject* Sender, double& Succes);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  friend class TFieldColumn;

  TClassifier& RequireClassifier() const;
  TFieldColumn& RequireClassColumn() const;
  // Binds every column to its field of the open dataset by name.
  void RebindFields();
  // ReadRecord and LearnRecord over the fields bound at the start of a pass.
  void FillRecords();
  void LearnCurrent();
  TDataSet& RequireDataset() const;
  // ClassifyRecord without the string result: the guessed class position.
  int32_t ClassifyCurrent();
  // Copies the row's records into the spans a next-record handler was given.
  void CopyBuffers(std::span<int32_t> DiscreteRecord, std::span<double> FloatRecord) const;
  void UnbindClassifierEvents();

  TDataSet* FDataset = nullptr;
  TFieldColumns FAttributes;
  bool FAutoAttributes = false;
  std::string FClassField;
  TStringList FIgnoreFields;
  TAttributeDataType FDataType;
  std::string FMissingDiscreteValue = "999";
  TClassifier* FClassifier = nullptr;
  int32_t FMissingDiscreteIndex = 999;
  bool FBusy = false;
  TOnClassifyDataset FOnClassifyDataset;
  TOnLearnDataset FOnLearnDataset;
  std::vector<double> FFloatBuffer;
  std::vector<int32_t> FDiscreteBuffer;
  TFieldColumn* FClassColumn = nullptr;
  TScreenCursorHook FScreenCursor;
  // Query copy for classifiers that search the table through the handlers.
  std::vector<double> FQueryFloat;
  std::vector<int32_t> FQueryDiscrete;
};

// Registers TDBClassifier with the class registry. Counted: each call needs
// one FinalizeDBClassifierUnit; the last one removes the registration.
void InitializeDBClassifierUnit();
void FinalizeDBClassifierUnit();
