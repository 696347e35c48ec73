// A classifier that records what the binding hands it and answers Classify
// from a script, so tests see the exact records, class indexes and call
// order. It can raise an error (or the silent abort) at a chosen call.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ClassifierBase.h"
#include "Exceptions.h"

class TRecordingClassifier : public TClassifier {
public:
  struct TCall {
    bool ByName = false;
    int32_t ClassIndex = 0;
    std::string ClassName;
    std::vector<int32_t> D;
    std::vector<double> F;
  };
  using TClassifier::TClassifier;

  std::vector<TCall> Calls;
  std::vector<std::string> Names{"1", "2"};   // class positions for ClassName / ClassIndex
  std::vector<int32_t> Answers;               // Classify results in call order (then 0)
  size_t Classified = 0;
  int Clears = 0;
  // Called before each learned case is recorded, with the number of cases so far.
  std::function<void(size_t)> BeforeLearn;

  void DiscreteAttributeStateSet(int32_t, bool) override {}
  void FloatAttributeStateSet(int32_t, bool) override {}
  bool DiscreteAttributeStateGet(int32_t) const override { return true; }
  bool FloatAttributeStateGet(int32_t) const override { return true; }
  void Learn(const std::string& ClassName, std::span<const int32_t> D, std::span<const double> F) override {
    if (BeforeLearn) BeforeLearn(Calls.size());
    Calls.push_back({true, 0, ClassName, {D.begin(), D.end()}, {F.begin(), F.end()}});
  }
  void LearnIndex(int32_t ClassIndex, std::span<const int32_t> D, std::span<const double> F) override {
    if (BeforeLearn) BeforeLearn(Calls.size());
    Calls.push_back({false, ClassIndex, "", {D.begin(), D.end()}, {F.begin(), F.end()}});
  }
  int32_t Classify(std::span<const int32_t>, std::span<const double>) override {
    return Classified < Answers.size() ? Answers[Classified++] : (++Classified, 0);
  }
  int32_t ClassifyResponse(std::span<const int32_t> D, std::span<const double> F, std::span<double>) override {
    return Classify(D, F);
  }
  std::string ClassName(int32_t Index) const override {
    return Index >= 0 && Index < static_cast<int32_t>(Names.size()) ? Names[static_cast<size_t>(Index)]
                                                                     : "Reject";
  }
  int32_t ClassIndex(std::string_view Name) const override {
    for (size_t I = 0; I < Names.size(); ++I)
      if (Names[I] == Name) return static_cast<int32_t>(I);
    return -1;
  }
  void Reset() override { Calls.clear(); }
  void SoftReset() override { Calls.clear(); }
  void Clear() override { ++Clears; Calls.clear(); }
};
