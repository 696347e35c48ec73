// The stored settings of the components that work on the sample tables: the
// cross test, the interactive page and `pellory train`/`classify` all use
// these, so a model trained by the tool matches what the pages learn. And the
// classifiers by kind or by class name, created through the class registry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Component.h"

class TClassifier;
class TDBClassifier;
class TKNearestNeighbors;
class TLinearClassifier;
class TNaiveBayes;
class TSession;
class TTable;

// One-based indexes, missing codes -1 / "999", no attributes yet,
// RejectProbability 1e-7, prior probabilities used.
void SetSampleSettings(TLinearClassifier& LC);
// As above with M 2.
void SetSampleSettings(TNaiveBayes& NB);
// One-based indexes, missing codes -1 / "999", no attributes yet, no left-out
// example, Euclidean distance, stored examples, 10 neighbours, pruning by
// its own leave-one-out test.
void SetSampleSettings(TKNearestNeighbors& KNN);
// Class field "Class"; missing marker "999" / 999; columns rebuilt from the
// fields on every pass; "ID", "Value" and "Split0".."Split31" ignored; small
// integer fields are indexed discrete attributes, every other field type a
// float attribute.
void SetSampleSettings(TDBClassifier& Binding);

// The components that work on one sample table at a time, as the cross test
// and the interactive page use them: LC, NB and KNN with their sample
// settings, a table of Session named TableComponentName (not opened, no
// table chosen) and the binding DBLC over it with its sample settings,
// learning with LC. All are owned here; Session must outlive them.
class TSampleComponents : public TComponent {
public:
  TSampleComponents(TComponent* AOwner, TSession& Session, const std::string& TableComponentName);
  std::string TypeName() const override { return "TSampleComponents"; }

  TLinearClassifier& LC() const { return *FLC; }
  TNaiveBayes& NB() const { return *FNB; }
  TKNearestNeighbors& KNN() const { return *FKNN; }
  TDBClassifier& DBLC() const { return *FDBLC; }
  TTable& Table() const { return *FTable; }

private:
  TLinearClassifier* FLC = nullptr;
  TNaiveBayes* FNB = nullptr;
  TKNearestNeighbors* FKNN = nullptr;
  TDBClassifier* FDBLC = nullptr;
  TTable* FTable = nullptr;
};

// The class name of a classifier kind as the tools name it: "lc"
// TLinearClassifier, "nb" TNaiveBayes, "knn" TKNearestNeighbors; "" for any
// other word.
std::string ClassifierClassName(const std::string& Kind);
// A new classifier of the registered class ClassName (letter case ignored),
// created through the class registry with the sample settings of its class;
// the caller owns it. The engine's classes are registered on first use.
// nullptr when ClassName is registered but not a classifier; Exception
// "Class X not found" when it is not registered.
std::unique_ptr<TClassifier> NewSampleClassifier(const std::string& ClassName);
// The same with KNeighbors neighbours for a k-NN classifier (the other
// classes have no neighbour count and ignore it).
std::unique_ptr<TClassifier> NewSampleClassifier(const std::string& ClassName, int32_t KNeighbors);

// The class a model file was written from: the class name in its property
// block. Raises Exception "cannot open model file 'F'" or "'F' is not a
// model file".
std::string ModelClassName(const std::string& FileName);
// The model file loaded into a new classifier of its class with the sample
// settings. Raises what ModelClassName and loading raise, and Exception
// "'F' holds a X, not a classifier model" for a class that is no classifier.
std::unique_ptr<TClassifier> LoadSampleClassifier(const std::string& FileName);
