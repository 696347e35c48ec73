// TClassifier: the abstract base of every classifier of the engine.
//
// A classifier learns cases made of a discrete record (one 32-bit value code
// per discrete attribute) and a float record (one double per float
// attribute) together with a class, and then guesses the class of new
// records. This header fixes what all classifiers share: the attribute
// counts, the missing-value conventions, the combined attribute index, the
// enable/disable family, the record events through which a classifier walks
// an outside data source (LearnData), the test measurement used by pruning,
// and the model stream entry points.
//
// Conventions
// - A discrete value is missing when it is negative or equals
//   MissingDiscreteIndex(); a float value is missing when it is a NaN, an
//   infinity, or equals MissingFloat().
// - Class indexes returned by classifiers, and the argument of ClassName, are
//   zero-based positions; -1 means reject / not found. Only the index given
//   to LearnIndex follows IndexesZeroBased() (one-based when false).
// - The class index an OnIndexNextRecord handler delivers is ALWAYS a
//   zero-based class position, whatever IndexesZeroBased() says. LearnData
//   converts it for LearnIndex (adds 1 when IndexesZeroBased() is false), so
//   the event, LearnIndex and the event-driven k-NN search agree.
// - Combined attribute index: discrete attributes 0 .. D-1, then float
//   attributes D .. D+F-1.
// - Errors are raised as Exception (src/framework/Exceptions.h) carrying the
//   exact message.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Component.h"
#include "Stream.h"

// A discrete record and a float record as callers hold them; read-only
// parameters take spans so any contiguous storage can be passed.
using TIntArray = std::vector<int32_t>;
using TFloatArray = std::vector<double>;

// One attribute's rating for pruning: larger Quality is better; Index is the
// combined attribute index.
struct TIndexRecord {
  double Quality = 0.0;
  int32_t Index = 0;
};

// Record events. Sender is always the classifier itself.
// The handler writes the record's zero-based class position (see above), fills
// the given spans (it cannot resize them), advances its source and sets IsLast
// when the record it just delivered is the last one.
using TIndexNextRecord = std::function<void(int32_t& ClassIndex, std::span<int32_t> DiscreteRecord,
                                            std::span<double> FloatRecord, bool& IsLast)>;
// The same with the class given by name.
using TNameNextRecord = std::function<void(std::string& ClassName, std::span<int32_t> DiscreteRecord,
                                           std::span<double> FloatRecord, bool& IsLast)>;
// Stores an opaque position token of the data source in Bookmark.
using TPushBookmark = std::function<void(void*& Bookmark, TObject* Sender)>;
// Returns the data source to Bookmark (and may free the token).
using TPopBookmark = std::function<void(void* Bookmark, TObject* Sender)>;
// Classifies the handler's test data with the current model and stores the
// success measure (larger is better, e.g. percent correct) in Succes.
using TOnClassifyTest = std::function<void(TObject* Sender, double& Succes)>;
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TClassifier : public TComponent {
public:
  // MissingFloatValue "999", MissingDiscreteIndex -1, IndexesZeroBased true,
  // InternalPruning false, counts 0, no events.
  explicit TClassifier(TComponent* AOwner);
  ~TClassifier() override;

  std::string TypeName() const override { return "TClassifier"; }
  // Tag, OnClassifyTest (when assigned), IndexesZeroBased, MissingDiscreteIndex,
  // MissingFloatValue (when not empty), AttributeCount, FloatAttributeCount,
  // DiscreteAttributeCount.
  void DefineProperties(TPropertyList& List) const override;

  // --- Properties -------------------------------------------------------
  int32_t AttributeCount() const { return FAttributeCount; }
  void SetAttributeCount(int32_t) {}  // derived from the two counts; writes are ignored
  int32_t DiscreteAttributeCount() const { return FDiscreteAttributeCount; }
  int32_t FloatAttributeCount() const { return FFloatAttributeCount; }
  // Store the count (negative becomes 0) and update AttributeCount.
  // Descendants call these first, then resize their statistics.
  virtual void SetDiscreteAttributeCount(int32_t Value);
  virtual void SetFloatAttributeCount(int32_t Value);

  bool IndexesZeroBased() const { return FIndexesZeroBased; }
  void SetIndexesZeroBased(bool Value) { FIndexesZeroBased = Value; }
  int32_t MissingDiscreteIndex() const { return FMissingDiscreteIndex; }
  void SetMissingDiscreteIndex(int32_t Value) { FMissingDiscreteIndex = Value; }
  const std::string& MissingFloatValue() const { return FMissingFloatValue; }
  // "NAN" gives NaN; otherwise the text is parsed as a decimal number with a
  // point (locale-independent); a text that is no number but contains "NAN"
  // gives NaN, one containing "INF" gives +infinity (negative when it
  // contains "-"). Anything else raises EConvertError and changes nothing.
  void SetMissingFloatValue(const std::string& Text);
  double MissingFloat() const { return FMissingFloat; }
  bool InternalPruning() const { return FInternalPruning; }
  void SetInternalPruning(bool Value) { FInternalPruning = Value; }

  // True when Value counts as missing under this classifier's settings.
  bool IsMissingDiscrete(int32_t Value) const { return Value < 0 || Value == FMissingDiscreteIndex; }
  bool IsMissingFloat(double Value) const;

  // --- Events -----------------------------------------------------------
  const TOnClassifyTest& OnClassifyTest() const { return FOnClassifyTest; }
  void SetOnClassifyTest(TOnClassifyTest Value) { FOnClassifyTest = std::move(Value); }
  const TNameNextRecord& OnNameNextRecord() const { return FOnNameNextRecord; }
  void SetOnNameNextRecord(TNameNextRecord Value) { FOnNameNextRecord = std::move(Value); }
  const TIndexNextRecord& OnIndexNextRecord() const { return FOnIndexNextRecord; }
  void SetOnIndexNextRecord(TIndexNextRecord Value) { FOnIndexNextRecord = std::move(Value); }
  const TNotifyEvent& OnFirstRecord() const { return FOnFirstRecord; }
  void SetOnFirstRecord(TNotifyEvent Value) { FOnFirstRecord = std::move(Value); }
  const TNotifyEvent& OnLastRecord() const { return FOnLastRecord; }
  void SetOnLastRecord(TNotifyEvent Value) { FOnLastRecord = std::move(Value); }
  const TPushBookmark& OnPushPosition() const { return FOnPushPosition; }
  void SetOnPushPosition(TPushBookmark Value) { FOnPushPosition = std::move(Value); }
  const TPopBookmark& OnPopPosition() const { return FOnPopPosition; }
  void SetOnPopPosition(TPopBookmark Value) { FOnPopPosition = std::move(Value); }

  // --- Virtual operations, in slot order ----------------------------------
  virtual void DiscreteAttributeStateSet(int32_t Index, bool Value) = 0;
  virtual void FloatAttributeStateSet(int32_t Index, bool Value) = 0;
  virtual bool DiscreteAttributeStateGet(int32_t Index) const = 0;
  virtual bool FloatAttributeStateGet(int32_t Index) const = 0;
  // Learns one case into the named class (letter case ignored).
  virtual void Learn(const std::string& ClassName, std::span<const int32_t> DiscreteRecord,
                     std::span<const double> FloatRecord) = 0;
  // Learns one case into class ClassIndex (base per IndexesZeroBased).
  virtual void LearnIndex(int32_t ClassIndex, std::span<const int32_t> DiscreteRecord,
                          std::span<const double> FloatRecord) = 0;
  // Zero-based position of the best class, or -1 (reject).
  virtual int32_t Classify(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord) = 0;
  // As Classify, and fills Response (one entry per class; its length must
  // equal the number of classes).
  virtual int32_t ClassifyResponse(std::span<const int32_t> DiscreteRecord, std::span<const double> FloatRecord,
                                   std::span<double> Response) = 0;
  // Name of class Index, or "Reject" when Index is not a class position.
  virtual std::string ClassName(int32_t Index) const = 0;
  // Position of the class called Name (letter case ignored), or -1.
  virtual int32_t ClassIndex(std::string_view Name) const = 0;
  // Base: returns 0 and leaves Index unchanged.
  virtual double MaxPriorProbability(int32_t& Index) const;
  virtual void Reset() = 0;
  virtual void SoftReset() = 0;
  // Base: does nothing.
  virtual void Clear();
  // Rates every attribute alone by measuring (OnClassifyTest, or ClassifyTest
  // with InternalPruning), sorts AttributeList by Quality and leaves every
  // attribute disabled. AttributeList must hold AttributeCount() records.
  // Raises "OnClassifyTeset = nil" without a handler.
  virtual void AttributeQuality(std::span<TIndexRecord> AttributeList);
  // Calls OnClassifyTest and returns the value it stores; 0 when unassigned.
  virtual double ClassifyTest();
  // Copies the enable state of every attribute of this classifier from
  // Source (which must have at least as many attributes, same split).
  virtual void AssignAttributeState(const TClassifier& Source);
  // Writes / reads the property block of the model stream.
  virtual void SaveToStream(TStream& Stream) const;
  virtual void LoadFromStream(TStream& Stream);
  // Copies Source's model and settings into this classifier, which must be
  // of the same class as Source (EConvertError "Cannot assign a X to a Y"
  // otherwise): the model stream, then the settings the stream leaves out by
  // its default rule. Handlers are not copied.
  void Assign(const TPersistent& Source) override;

  // --- Hooks for general code, after the slots above ------------------------
  // So that pruning, the model stream, the binding and the tools need not
  // know the classifiers by name.
  // Number of classes the classifier knows. Base: 0.
  virtual int32_t ClassCount() const { return 0; }
  // Pruning measures without a prior, which adds the same to every class
  // whatever attributes are on: switches it off and returns whether it was
  // on. Base: no prior, false.
  virtual bool SuspendPrior() { return false; }
  // Switches the prior back to WasOn, as SuspendPrior found it. Base: nothing.
  virtual void RestorePrior(bool WasOn) { (void)WasOn; }
  // True when the classifier keeps its own copies of the learned cases
  // (their store is part of its model stream). Base: false.
  virtual bool KeepsExamples() const { return false; }
  // True when Classify walks the outside data source through the record
  // events, whose handlers refill the caller's record buffers: a caller
  // classifying from those buffers passes a copy. Base: false.
  virtual bool ReadsRecordsWhileClassifying() const { return false; }

  // --- Merging, and the learning state that merges across processes --------
  // Adds what Other learned to this classifier: afterwards it answers as if
  // it had learned its own cases and then Other's. Classes are united by
  // name (letter case ignored): this classifier's in their order, then
  // Other's new ones in Other's order. Other may be this classifier itself.
  // Refused with an Exception naming the difference, before anything
  // changes, when the two cannot describe one model: another class, other
  // attribute counts, other missing values (MissingDiscreteIndex,
  // MissingFloatValue) or other attribute enable states. Settings that
  // change no learned statistic (RejectProbability, M, KNeighbors, ...)
  // stay this classifier's. Base: refuses ("<class> cannot merge models").
  virtual void Merge(const TClassifier& Other);
  // Merge, where Other may give up what it holds instead of having it
  // copied (k-NN moves its stored examples); Other is left empty of them.
  // For merging models made only to be merged. Base: Merge(Other).
  virtual void MergeTaking(TClassifier& Other) { Merge(Other); }
  // Cases learned into each class, in class order: the prior reads them,
  // the model stream drops them. Base: none (a classifier without priors).
  virtual std::vector<int32_t> LearnedCaseCounts() const { return {}; }
  // Sets them back; Counts must hold one count >= 0 per class (their sum
  // within 32 bits). Base: accepts only an empty list.
  virtual void SetLearnedCaseCounts(std::span<const int32_t> Counts);
  // The learning state: everything learning keeps, so that a state saved
  // in one process and loaded in another merges into exactly the model
  // learned in one process. Layout, all little-endian:
  //   "PLST"                 4 bytes
  //   Version (int32)        1
  //   L (int64)              length of the model stream that follows
  //   L bytes                the model stream (SaveToStream)
  //   C (int32)              number of learned-case counts (0 without priors)
  //   C x int32              LearnedCaseCounts
  //   H (int32)              number of value histories (classes x discrete
  //                          attributes for the statistic classifiers, else 0)
  //   H x { M (int32), M x int32 }
  //                          per class and discrete attribute, the codes that
  //                          raised its ValueCount in arrival order (which
  //                          decide how long merged count arrays grow)
  // LoadState reads and checks the whole state (EInvalidStreamFormat /
  // EReadError naming what is wrong) before this classifier changes; the
  // state must come from a classifier of this class (EConvertError
  // otherwise) registered with the class registry. Handlers are kept.
  void SaveState(TStream& Stream) const;
  void LoadState(TStream& Stream);
  // The value histories of the state (H and what follows). Base: none.
  virtual void SaveValueHistories(TStream& Stream) const;
  // Reads and checks them (EInvalidStreamFormat naming what is wrong) and
  // applies them to this classifier's records. Base: H must be 0.
  virtual void LoadValueHistories(TStream& Stream);

  // --- Non-virtual operations --------------------------------------------
  void EnableAttributes();    // discrete, then float
  void DisableAttributes();   // float, then discrete
  void EnableDiscreteAttributes();
  void DisableDiscreteAttributes();
  void EnableFloatAttributes();
  void DisableFloatAttributes();
  // Combined index: Index <= D-1 is discrete attribute Index, else float
  // attribute Index-D.
  bool GetAttributeEnabled(int32_t Index) const;
  void SetAttributeEnabled(int32_t Index, bool Value);

  // Learns every record of the outside data source through the events:
  // OnPushPosition, OnFirstRecord, then OnIndexNextRecord (preferred) or
  // OnNameNextRecord until IsLast (the last record is learned too), the
  // optional OnLastRecord, then OnPopPosition. Missing required events raise
  // "OnPushPosition event not assigned!", "OnFirstRecord event not assigned!",
  // "FOnNextRecord events not assigned!", "OnPopPosition event not assigned!"
  // (the last one after all records were learned). An error from a handler
  // or from learning ends the walk at once; what was learned stays learned.
  void LearnData();

  // Model files: SaveToFile calls SaveToStream on a new file beside FileName
  // and renames it over FileName once complete, so an error (disk full, say)
  // leaves an earlier model as it was; LoadFromFile calls LoadFromStream when
  // the file exists and does nothing when it does not.
  void SaveToFile(const std::string& FileName) const;
  void LoadFromFile(const std::string& FileName);

  // Pruning. SortIndexRecord sorts A[iLo..iHi] by Quality ascending; PrePrune
  // is the forward selection, PostPrune the backward elimination (both read
  // AttributeCount() records); Prune runs the whole procedure and returns the
  // measured value of the attribute set it leaves enabled.
  static void SortIndexRecord(std::span<TIndexRecord> A, int32_t iLo, int32_t iHi);
  double PrePrune(std::span<const TIndexRecord> AttributeList);
  double PostPrune(std::span<const TIndexRecord> AttributeList);
  double Prune();

protected:
  // Raises the refusal of Merge when Other cannot join this classifier's
  // model (class, attribute counts, missing values, enable states).
  void CheckMergeable(const TClassifier& Other) const;
  // False while the classifier holds no attribute enable state to compare
  // (a statistic classifier keeps it in its classes). Base: true.
  virtual bool HasAttributeStates() const { return true; }

  TOnClassifyTest FOnClassifyTest;
  TNameNextRecord FOnNameNextRecord;
  TIndexNextRecord FOnIndexNextRecord;
  TNotifyEvent FOnFirstRecord;
  TNotifyEvent FOnLastRecord;
  TPushBookmark FOnPushPosition;
  TPopBookmark FOnPopPosition;

  bool FIndexesZeroBased = true;
  int32_t FMissingDiscreteIndex = -1;
  std::string FMissingFloatValue;
  double FMissingFloat = 999.0;
  int32_t FAttributeCount = 0;
  int32_t FFloatAttributeCount = 0;
  int32_t FDiscreteAttributeCount = 0;
  bool FInternalPruning = false;
};

// Text to double for MissingFloatValue: ordinary decimal notation first, then
// the "NAN" / "INF" substring rules; raises EConvertError otherwise.
double StrToFloatNaN(std::string_view Text);

// True when all exponent bits of X are set (X is a NaN or an infinity).
inline bool IsNaNOrInf(double X) {
  const auto Bits = std::bit_cast<uint64_t>(X);
  return (Bits & 0x7FF0000000000000ULL) == 0x7FF0000000000000ULL;
}

inline bool TClassifier::IsMissingFloat(double Value) const {
  return IsNaNOrInf(Value) || Value == FMissingFloat;
}
