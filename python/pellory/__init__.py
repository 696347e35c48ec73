"""Pellory's incremental classifiers for Python.

LinearClassifier, NaiveBayes and KNearestNeighbors follow scikit-learn's
estimator conventions (and derive from its base classes where scikit-learn
is installed). Models are the engine's: save() writes the model file that
`pellory classify` and the C++ library read, load() reads one, pickle
carries a model to other processes, and merge() adds what another model of
the same kind learned. pellory.dask learns a Dask collection partition by
partition on the workers and merges the partial models.
"""
from ._estimators import KNearestNeighbors, LinearClassifier, NaiveBayes

__all__ = ["LinearClassifier", "NaiveBayes", "KNearestNeighbors"]
