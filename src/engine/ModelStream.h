// Model stream helpers shared by the classifiers' SaveToStream and
// LoadFromStream (internal to the engine; not part of its interface).
//
// A model stream is a property block (the framework's "TPF0" format)
// followed by a tail whose layout depends on the classifier class. Loading
// first reads the block dry, without applying anything, so that the tail the
// block announces can be checked against what is left in the stream before
// a single class or attribute array is created: a hostile count must end in
// an error, never in a huge allocation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ClassifierBase.h"
#include "Stream.h"

// What a property block will do to the classifier that reads it.
struct TModelBlockSummary {
  int32_t DiscreteAttributeCount = 0;  // the counts in force after the block
  int32_t FloatAttributeCount = 0;
  bool HasClasses = false;             // a "Classes.Strings" entry is present
  int64_t ClassCount = 0;              // the number of names it holds
  bool StoreExamples = false;          // the entry's value, else the receiver's
};

// More attributes than any table can have; a larger count in a stream is
// taken for corruption rather than allocated.
constexpr int32_t MaxStreamAttributeCount = 1 << 20;

// Checks that Count bytes are left in Stream (EReadError "Stream read error"
// otherwise); Count may be computed from untrusted numbers.
void RequireBytes(TStream& Stream, int64_t Count);
// Reads a 4-byte count that must be 0 or more (EInvalidStreamFormat
// naming What otherwise).
int32_t ReadCount(TStream& Stream, const char* What);

// Reads section 1 into Target: a dry pass first (format errors, unknown
// properties and attribute counts above MaxStreamAttributeCount are raised
// there, before Target changes), then Prepare with the summary and the
// number of bytes after the block, then the real pass through the setters.
// The stream ends up right after the block.
using TModelBlockCheck = std::function<void(const TModelBlockSummary& Summary, int64_t TailBytes)>;
void ReadModelBlock(TStream& Stream, TClassifier& Target, const TModelBlockCheck& Prepare);
