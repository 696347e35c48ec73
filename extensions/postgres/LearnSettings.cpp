// Kind and settings texts into a configured classifier.
#include "LearnSettings.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "Classifier.h"
#include "Convert.h"
#include "Exceptions.h"
#include "SampleComponents.h"
#include "CrossTest.h"  // TCrossTestLimits

namespace {

struct TSetting {
  std::string Key;   // as written, for messages
  std::string Name;  // the key in lower case, for matching
  std::string Value;
};

bool IsSeparator(char C) { return C == ',' || C == ' ' || C == '\t' || C == '\n' || C == '\r'; }

std::string Lower(std::string_view Text) {
  std::string Result(Text);
  for (char& C : Result)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return Result;
}

// "K=10, reject=0.01" into its pairs.
std::vector<TSetting> SplitSettings(std::string_view Text) {
  std::vector<TSetting> Result;
  size_t P = 0;
  while (P < Text.size()) {
    if (IsSeparator(Text[P])) {
      ++P;
      continue;
    }
    size_t End = P;
    while (End < Text.size() && !IsSeparator(Text[End])) ++End;
    const std::string_view Item = Text.substr(P, End - P);
    const size_t Eq = Item.find('=');
    if (Eq == std::string_view::npos || Eq == 0 || Eq + 1 == Item.size())
      throw Exception("setting '" + std::string(Item) + "' is not KEY=VALUE");
    const std::string_view Key = Item.substr(0, Eq);
    Result.push_back({std::string(Key), Lower(Key), std::string(Item.substr(Eq + 1))});
    P = End;
  }
  return Result;
}

double NumberIn(const TSetting& S, double Low, double High, bool Integral) {
  errno = 0;
  char* End = nullptr;
  const double V = std::strtod(S.Value.c_str(), &End);
  const bool Whole = End && *End == '\0' && errno == 0;
  if (!Whole || !(V >= Low && V <= High) || (Integral && std::floor(V) != V)) {
    const std::string Range = (Integral ? "an integer from " : "a number from ") + FloatToShortest(Low) + " to " +
                              FloatToShortest(High);
    throw Exception("setting '" + S.Key + "': '" + S.Value + "' is not " + Range);
  }
  return V;
}

bool Switch(const TSetting& S) {
  const std::string V = Lower(S.Value);
  if (V == "on" || V == "true") return true;
  if (V == "off" || V == "false") return false;
  throw Exception("setting '" + S.Key + "': '" + S.Value + "' is not on or off");
}

void RequireKind(const TSetting& S, std::string_view Kind, std::initializer_list<std::string_view> Kinds) {
  for (std::string_view K : Kinds)
    if (K == Kind) return;
  std::string Allowed;
  for (std::string_view K : Kinds) Allowed += (Allowed.empty() ? "" : ", ") + std::string(K);
  throw Exception("setting '" + S.Key + "' applies to " + Allowed + " only, not " + std::string(Kind));
}

void Apply(TClassifier& C, std::string_view Kind, const TSetting& S) {
  using L = TCrossTestLimits;
  if (S.Name == "k") {
    RequireKind(S, Kind, {"knn"});
    static_cast<TKNearestNeighbors&>(C).SetKNeighbors(
        static_cast<int32_t>(NumberIn(S, L::MinNeighbors, L::MaxNeighbors, true)));
  } else if (S.Name == "m") {
    RequireKind(S, Kind, {"nb"});
    static_cast<TNaiveBayes&>(C).SetM(static_cast<int32_t>(NumberIn(S, 1, 10, true)));
  } else if (S.Name == "reject") {
    RequireKind(S, Kind, {"lc", "nb"});
    static_cast<TStatisticClassifier&>(C).SetRejectProbability(NumberIn(S, 0, 1, false));
  } else if (S.Name == "prior") {
    RequireKind(S, Kind, {"lc"});
    static_cast<TLinearClassifier&>(C).SetUsePriorProbability(Switch(S));
  } else if (S.Name == "distance") {
    RequireKind(S, Kind, {"knn"});
    const std::string V = Lower(S.Value);
    if (V != "norm1" && V != "norm2")
      throw Exception("setting '" + S.Key + "': '" + S.Value + "' is not norm1 or norm2");
    static_cast<TKNearestNeighbors&>(C).SetDistanceModel(V == "norm1" ? TDistanceModel::dmNorm1
                                                                      : TDistanceModel::dmNorm2);
  } else {
    throw Exception("unknown setting '" + S.Key + "'; the settings are K, M, reject, prior, distance");
  }
}

}  // namespace

std::unique_ptr<TClassifier> NewLearningClassifier(std::string_view Kind, std::string_view Settings) {
  const std::string ClassName = ClassifierClassName(std::string(Kind));
  if (ClassName.empty()) throw Exception("kind '" + std::string(Kind) + "' is not one of lc, nb, knn");
  // Parsed before the classifier exists, so a bad text costs nothing.
  const std::vector<TSetting> Pairs = SplitSettings(Settings);
  std::unique_ptr<TClassifier> Result = NewSampleClassifier(ClassName);
  for (const TSetting& S : Pairs) Apply(*Result, Kind, S);
  return Result;
}
