// The classification engine in one include: the classifier base, the class
// statistics lists, the statistic and linear classifiers, naive Bayes and
// k-nearest neighbours.
#pragma once

#include "ClassifierBase.h"
#include "ClassesList.h"
#include "StatisticClassifier.h"
#include "LinearClassifier.h"
#include "NaiveBayes.h"
#include "KNearestNeighbors.h"
