// The hooks through which general code (pruning, the model stream, the
// binding, the tools) serves every classifier without knowing it by name,
// and the k-NN scale that learning and loading must compute alike.
#include <gtest/gtest.h>

#include <vector>

#include "Classifier.h"
#include "TestSupport.h"

namespace {

// A classifier general code has never heard of, with a prior of its own:
// pruning must switch it through the hooks alone.
class TPriorBayes : public TNaiveBayes {
public:
  using TNaiveBayes::TNaiveBayes;
  bool Prior = true;
  std::vector<bool> PriorWhileMeasured;
  bool SuspendPrior() override {
    const bool WasOn = Prior;
    Prior = false;
    return WasOn;
  }
  void RestorePrior(bool WasOn) override { Prior = WasOn; }
};

}  // namespace

TEST(TClassifier, HookDefaultsAndEachClassifiersAnswers) {
  TLinearClassifier LC(nullptr);
  TNaiveBayes NB(nullptr);
  TKNearestNeighbors KNN(nullptr);
  for (TClassifier* C : std::vector<TClassifier*>{&LC, &NB, &KNN}) {
    C->SetDiscreteAttributeCount(1);
    EXPECT_EQ(C->ClassCount(), 0) << C->TypeName();
    C->LearnIndex(2, std::vector<int32_t>{1}, std::vector<double>{});
    EXPECT_EQ(C->ClassCount(), 3) << C->TypeName();
    EXPECT_FALSE(C->KeepsExamples() && C != &KNN) << C->TypeName();
  }
  // k-NN classifies from the data source exactly when it stores nothing.
  EXPECT_TRUE(KNN.ReadsRecordsWhileClassifying());
  EXPECT_FALSE(KNN.KeepsExamples());
  KNN.SetStoreExamples(true);
  EXPECT_FALSE(KNN.ReadsRecordsWhileClassifying());
  EXPECT_TRUE(KNN.KeepsExamples());
  EXPECT_FALSE(LC.ReadsRecordsWhileClassifying());
  EXPECT_FALSE(NB.ReadsRecordsWhileClassifying());

  // The linear classifier's prior goes off and comes back as it was.
  LC.SetUsePriorProbability(true);
  EXPECT_TRUE(LC.SuspendPrior());
  EXPECT_FALSE(LC.UsePriorProbability());
  EXPECT_FALSE(LC.SuspendPrior());
  LC.RestorePrior(true);
  EXPECT_TRUE(LC.UsePriorProbability());
  // Without a prior nothing moves.
  EXPECT_FALSE(NB.SuspendPrior());
}

TEST(TClassifier, PruningSwitchesAnyClassifiersPriorThroughTheHooks) {
  TPriorBayes C(nullptr);
  C.SetDiscreteAttributeCount(2);
  C.LearnIndex(0, std::vector<int32_t>{1, 1}, std::vector<double>{});
  // Attribute 1 alone is best; the prior costs 5 points, so the forward
  // pass (measured without it) beats the backward pass (with it).
  C.SetOnClassifyTest([&C](TObject*, double& Succes) {
    C.PriorWhileMeasured.push_back(C.Prior);
    const bool A0 = C.GetAttributeEnabled(0), A1 = C.GetAttributeEnabled(1);
    Succes = (A1 && !A0 ? 90 : A1 ? 70 : A0 ? 60 : 50) - (C.Prior ? 5 : 0);
  });
  EXPECT_DOUBLE_EQ(C.Prune(), 90);
  // Rating (2) and forward pass (2) without the prior, the backward pass (3)
  // with it; the forward pass won, so its setting stays: no prior.
  EXPECT_EQ(C.PriorWhileMeasured, (std::vector<bool>{false, false, false, false, true, true, true}));
  EXPECT_FALSE(C.Prior);
}

TEST(TKNearestNeighbors, ALoadedModelKeepsTheScalesItWasSavedWith) {
  // A range whose reciprocal rounds differently in double and in extended
  // precision: the scale must come out the same on both sides of a save.
  const double Max = 311.9701944095134;
  TKNearestNeighbors Saved(nullptr);
  Saved.SetFloatAttributeCount(1);
  Saved.LearnIndex(0, std::vector<int32_t>{}, std::vector<double>{Max});
  Saved.PrepareFloatSpan();
  const double Scale = Saved.FloatSpans()[0].Scale;
  EXPECT_EQ(Scale, TKNearestNeighbors::SpanScale(Saved.FloatSpans()[0]));
  EXPECT_NE(Scale, 1.0 / (Max - 0.0));  // the plain double quotient differs

  TMemoryStream Stream;
  Saved.SaveToStream(Stream);
  Stream.SetPosition(0);
  TKNearestNeighbors Loaded(nullptr);
  Loaded.LoadFromStream(Stream);
  EXPECT_EQ(Loaded.FloatSpans()[0].Scale, Scale);
  // The stored scale is the one its range gives: nothing to recompute.
  EXPECT_FALSE(Loaded.SpanChanged());

  TFloatSpan Empty;
  EXPECT_EQ(TKNearestNeighbors::SpanScale(Empty), 0.001);
}
