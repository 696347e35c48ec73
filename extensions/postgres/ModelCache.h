// A model read once and kept for every row that passes the same model:
// pellory_classify and pellory_responses keep one per call site, so a query
// parses its model on the first row only.
//
// The model is recognised by its bytes exactly as the server passes them,
// before any decompression: a stored model arrives as the same compressed
// image or the same out-of-line reference on every row, and comparing that
// short key is far cheaper than decompressing and comparing the model. Any
// other model replaces the kept one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "SqlArray.h"

class TClassifier;

class TModelCache {
public:
  TModelCache();
  ~TModelCache();
  TModelCache(const TModelCache&) = delete;
  TModelCache& operator=(const TModelCache&) = delete;

  // True when the model passed as Key is the one kept.
  bool Holds(std::span<const uint8_t> Key) const;
  // Reads Model (the model stream Key stands for) into a new classifier of
  // the class it names, with the settings `pellory classify` gives it.
  // Raises Exception for bytes that are not a model stream of a classifier
  // or for a model that cannot classify on its own; the kept model is then
  // gone.
  void Load(std::span<const uint8_t> Key, std::span<const uint8_t> Model);

  // The kept model's guess for one row: a class name, or "Reject". Raises
  // when an array's length is not the model's attribute count.
  const std::string& Classify(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float);
  // Every class's response to the row, in the model's class order.
  std::span<const double> Responses(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float);

private:
  void FillRecords(const TSqlArray<int32_t>& Discrete, const TSqlArray<double>& Float);

  std::vector<uint8_t> FKey;
  std::unique_ptr<TClassifier> FClassifier;
  std::vector<int32_t> FDiscrete;
  std::vector<double> FFloat;
  std::vector<double> FResponses;
  std::vector<std::string> FClassNames;  // by position, then "Reject"
};
