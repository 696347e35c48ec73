// The state of one pellory_learn aggregate: a classifier learning the rows
// one shard of the table gives it, merged with the states of other shards,
// and written out as a model stream at the end.
//
// The first row fixes the kind, the settings text and the lengths of the
// two arrays; a later row that differs in any of them is refused (its values
// would belong to other attributes), and so are two states that differ when
// they meet. Serialize keeps everything learning keeps (the learned-case
// counts included), so a state that travels between processes merges into
// exactly what it would have merged into at home. Every error is an
// Exception whose message names what differs; a failing call leaves the
// state as it was, except for a learn the engine itself refuses midway.
//
// Learning allocates nothing per row once the class names are known: the
// record buffers and the class-name buffer are reused.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "SqlArray.h"

class TClassifier;
class TStream;

class TLearningState {
public:
  // A classifier of Kind configured by Settings (LearnSettings.h), for rows
  // of DiscreteCount and FloatCount values.
  TLearningState(std::string_view Kind, std::string_view Settings, int32_t DiscreteCount, int32_t FloatCount);
  ~TLearningState();
  TLearningState(const TLearningState&) = delete;
  TLearningState& operator=(const TLearningState&) = delete;

  // Raises when a row's kind, settings or array lengths differ from the
  // first row's.
  void CheckRow(std::string_view Kind, std::string_view Settings, int32_t DiscreteCount, int32_t FloatCount) const;
  // Learns one row into the class called ClassName (letter case ignored).
  void LearnNamed(std::string_view ClassName, const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float);
  // Learns one row into the class of zero-based code ClassCode; classes are
  // named as the classifier names coded classes ("1", "2", ... with the
  // default one-based setting), as the binding learns a coded class field.
  void LearnCoded(int32_t ClassCode, const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float);

  // Adds what Other learned. Raises, changing nothing, when the two differ
  // in kind, settings or array lengths, or when the engine refuses.
  void Merge(const TLearningState& Other);
  // A state that learned what this one learned.
  std::unique_ptr<TLearningState> Copy() const;

  // The model stream of what was learned; the bytes stay valid until the
  // next call that writes.
  std::span<const uint8_t> WriteModel();
  // The whole state as bytes for Deserialize; valid as above.
  std::span<const uint8_t> Serialize();
  // Raises Exception for bytes Serialize did not write.
  static std::unique_ptr<TLearningState> Deserialize(std::span<const uint8_t> Bytes);

  const std::string& Kind() const { return FKind; }
  const std::string& Settings() const { return FSettings; }
  const TClassifier& Classifier() const { return *FClassifier; }

private:
  void SaveTo(TStream& Stream) const;
  void FillRecords(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float);

  std::string FKind;
  std::string FSettings;
  std::unique_ptr<TClassifier> FClassifier;
  std::vector<int32_t> FDiscrete;
  std::vector<double> FFloat;
  std::string FClassName;
  std::vector<uint8_t> FOutput;
};
