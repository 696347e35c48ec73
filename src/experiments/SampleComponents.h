// The stored settings of the components that work on the sample tables: the
// cross test, the interactive page and `pellory train`/`classify` all use
// these, so a model trained by the tool matches what the pages learn.
#pragma once

class TDBClassifier;
class TKNearestNeighbors;
class TLinearClassifier;
class TNaiveBayes;

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
