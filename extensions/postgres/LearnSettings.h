// The classifier that pellory_learn's kind and settings texts describe.
//
// A kind is "lc", "nb" or "knn"; the classifier starts with the settings
// `pellory train` gives it, so a table learned in the database and one
// learned by the tool give the same model. The settings text then changes
// what the tool's classifiers let a user change: keys and values as
// "KEY=VALUE", separated by commas or blanks, keys in any letter case:
//   K=1..50          neighbours (knn)
//   M=1..10          the m-estimate's M (nb)
//   reject=0..1      the lowest response a guess must reach (lc, nb)
//   prior=on|off     prior probabilities in the responses (lc)
//   distance=norm1|norm2  the float distance (knn)
// Anything else raises Exception naming the key or value and what is
// allowed; nothing is half applied.
#pragma once

#include <memory>
#include <string_view>

class TClassifier;

std::unique_ptr<TClassifier> NewLearningClassifier(std::string_view Kind, std::string_view Settings);
