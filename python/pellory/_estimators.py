"""The three classifiers as scikit-learn estimators.

Each estimator keeps its settings as given to the constructor (so
get_params, set_params and clone work) and, once fitted, an engine model
(model_), the layout of its columns with the codes of coded columns
(layout_), classes_, n_features_in_ and, for data frames, feature_names_in_.
The engine does the learning and classifying; this module turns labels into
class positions and back.
"""
import inspect
import numbers
import os
import warnings

import numpy as np

from . import _input
from ._pellory import Model

try:
    from sklearn.base import BaseEstimator, ClassifierMixin
    from sklearn.exceptions import DataConversionWarning, NotFittedError
except ImportError:  # the module needs only numpy: the little of scikit-learn's bases it uses
    class BaseEstimator:
        def get_params(self, deep=True):
            names = inspect.signature(type(self).__init__).parameters
            return {name: getattr(self, name) for name in names if name != "self"}

        def set_params(self, **params):
            valid = self.get_params()
            for name, value in params.items():
                if name not in valid:
                    raise ValueError(f"Invalid parameter {name!r} for estimator {type(self).__name__}")
                setattr(self, name, value)
            return self

        def __repr__(self):
            return f"{type(self).__name__}()"

    class ClassifierMixin:
        def score(self, X, y, sample_weight=None):
            """Share of rows whose predicted label equals y."""
            right = np.asarray(self.predict(X) == np.asarray(y), dtype=float)
            return float(np.average(right, weights=sample_weight))

    class NotFittedError(ValueError, AttributeError):
        pass

    class DataConversionWarning(UserWarning):
        pass


MAX_THREADS = 64


def _label_name(label):
    """The engine's name of a class label."""
    if isinstance(label, (bool, np.bool_)):
        return str(bool(label))
    if isinstance(label, numbers.Integral):
        return str(int(label))
    if isinstance(label, numbers.Real) and float(label).is_integer():
        return str(int(label))
    name = str(label)
    if any(c in name for c in "\r\n\0"):
        raise ValueError(f"class label {label!r} holds a line break or a NUL, which a model file cannot keep")
    return name


def _factorize(labels):
    """Each label's index among the distinct labels, and those."""
    if _input.pd is not None:
        inverse, unique = _input.pd.factorize(labels)
        return inverse, np.asarray(unique)
    try:
        unique, inverse = np.unique(labels, return_inverse=True)
    except TypeError:
        raise ValueError("class labels of different types cannot be ordered; give labels of one type") from None
    return inverse, unique


def _labels(y, rows):
    """y as a 1-D array of labels, checked."""
    y = y.to_numpy() if hasattr(y, "to_numpy") else np.asarray(y)
    if y.ndim == 2 and y.shape[1] == 1:
        warnings.warn("A column-vector y was passed when a 1d array was expected. Please change the shape of y "
                      "to (n_samples, ), for example using ravel().", DataConversionWarning, stacklevel=3)
        y = y.ravel()
    if y.ndim != 1:
        raise ValueError(f"y should be a 1d array, got an array of shape {y.shape} instead.")
    if len(y) != rows:
        raise ValueError(f"Found input variables with inconsistent numbers of samples: [{rows}, {len(y)}]")
    if y.dtype.kind == "f":
        if np.isnan(y).any():
            raise ValueError("Input y contains NaN.")
        if not np.all(np.isfinite(y)) or not np.all(y == np.floor(y)):
            raise ValueError("Unknown label type: 'continuous'")
    elif y.dtype.kind == "O":
        missing = _input._isna(y)
        if missing.any():
            raise ValueError(f"y holds a missing class label in row {int(np.argmax(missing))}")
    elif y.dtype.kind not in "biuUS":
        raise ValueError(f"Unknown label type: class labels of type {y.dtype}")
    return y


def _check_rows(X):
    shape = X.shape
    if shape[0] < 1:
        raise ValueError(f"Found array with 0 sample(s) (shape={shape}) while a minimum of 1 is required.")
    if shape[1] < 1:
        raise ValueError(f"Found array with 0 feature(s) (shape={shape}) while a minimum of 1 is required.")


class _Classifier(ClassifierMixin, BaseEstimator):
    _engine_class = None

    # --- settings ----------------------------------------------------------
    def _engine_settings(self):
        """The engine settings of this estimator's constructor keywords."""
        raise NotImplementedError

    @classmethod
    def _keywords(cls, settings):
        """Constructor keywords from an engine model's settings."""
        raise NotImplementedError

    def _new_model(self):
        model = Model(self._engine_class)
        missing = self.missing_float_value
        model.configure(missing_float_value="NAN" if missing is None else repr(float(missing)),
                        **self._engine_settings())
        return model

    # --- state -------------------------------------------------------------
    def _is_fitted(self):
        return hasattr(self, "model_")

    def _check_fitted(self):
        if not self._is_fitted():
            raise NotFittedError(f"This {type(self).__name__} instance is not fitted yet. Call 'fit' with "
                                 "appropriate arguments before using this estimator.")

    def _start(self, layout, model=None):
        """Begins a model over the columns of layout."""
        self.model_ = model if model is not None else self._new_model()
        self.model_.set_attribute_counts(len(layout.discrete), len(layout.floats))
        self.layout_ = layout
        self.n_features_in_ = layout.n_features
        if layout.names is not None:
            self.feature_names_in_ = layout.names
        elif hasattr(self, "feature_names_in_"):
            del self.feature_names_in_
        self._set_classes(self.model_.class_names(), None)

    def _set_classes(self, names, labels):
        self._names = list(names)
        self._label_list = list(self._names if labels is None else labels)
        self._positions = {n.lower(): i for i, n in enumerate(self._names)}
        self.classes_ = np.asarray(self._label_list)

    def _class_positions(self, labels, sort_new=False):
        """Class positions of labels; new labels become classes at the end
        (in sorted order with sort_new, else in order of appearance)."""
        if len(labels) == 0:
            return np.empty(0, dtype=np.int32)
        inverse, unique = _factorize(labels)
        order = np.arange(len(unique))
        if sort_new:
            try:
                order = np.argsort(unique, kind="stable")
            except TypeError:
                raise ValueError("class labels of different types cannot be ordered; give labels of one "
                                 "type") from None
        positions = np.empty(len(unique), dtype=np.int32)
        added = False
        for i in order:
            label = unique[i]
            name = _label_name(label)
            known = self._positions.get(name.lower())
            if known is None:
                known = self.model_.add_class(name)
                self._positions[name.lower()] = known
                self._names.append(name)
                self._label_list.append(label)
                added = True
            elif self._names[known] != name:
                raise ValueError(f"class labels {self._names[known]!r} and {name!r} differ only in letter case; "
                                 "a model tells classes apart by name, ignoring case")
            positions[i] = known
        if added:
            self.classes_ = np.asarray(self._label_list)
        return positions[inverse]

    def _offset(self):
        # A model read from a file numbered from 1 (as `pellory train` writes
        # them) reads value code v as v - 1, as the table binding does.
        return 0 if self.model_.indexes_zero_based else 1

    def _blocks(self, X, learn):
        if not _input.is_frame(X):
            X = _input.as_2d(X)
        _input.check_feature_names(type(self).__name__, getattr(self, "feature_names_in_", None), X)
        return _input.blocks(self.layout_, X, learn, self._offset())

    # --- learning ----------------------------------------------------------
    def fit(self, X, y):
        """Learns X (rows x columns) with class labels y into a new model.
        classes_ are the labels in sorted order. Returns self."""
        self._forget()
        return self.partial_fit(X, y)

    def _forget(self):
        for name in ("model_", "layout_", "classes_", "n_features_in_", "feature_names_in_"):
            if hasattr(self, name):
                delattr(self, name)

    def partial_fit(self, X, y, classes=None):
        """Learns X with labels y in addition to what the model knows. On the
        first call the columns are fixed and the classes given in classes
        (or else those of y) are created in sorted order; later labels are
        added at the end of classes_. Returns self."""
        if not _input.is_frame(X):
            X = _input.as_2d(X)
        _check_rows(X)
        y = _labels(y, X.shape[0])
        first = not self._is_fitted()
        if first:
            # Input refused on the first call leaves the estimator unfitted.
            layout = _input.Layout.of(X, self.discrete)
            discrete, floats = _input.blocks(layout, X, learn=True)
            try:
                self._start(layout)
                self._learn(discrete, floats, y, classes, first)
            except BaseException:
                self._forget()
                raise
        else:
            discrete, floats = self._blocks(X, learn=True)
            self._learn(discrete, floats, y, classes, first)
        return self

    def _learn(self, discrete, floats, y, classes, first):
        if classes is not None:
            self._class_positions(_labels(np.asarray(classes), len(classes)), sort_new=True)
        self.model_.learn(discrete, floats, self._class_positions(y, sort_new=first))

    def learn_one(self, x, y):
        """Learns one row: a dict by column name (by position without names)
        or a 1-D sequence, with its class label. Returns self."""
        if not self._is_fitted():
            raise NotFittedError("learn_one needs a fitted model to know the columns; call fit or partial_fit "
                                 "first")
        discrete, floats = _input.row_blocks(self.layout_, x, True, self._offset())
        name = _label_name(y)
        known = self._positions.get(name.lower())
        if known is not None and self._names[known] == name:
            position = np.array([known], dtype=np.int32)  # the common case, without a factorization
        else:
            position = self._class_positions(np.asarray([y]))
        self.model_.learn(discrete, floats, position)
        return self

    # --- classifying -------------------------------------------------------
    def _guesses(self, X, n_jobs):
        self._check_fitted()
        discrete, floats = self._blocks(X, learn=False)
        threads = self.n_jobs if n_jobs is None else n_jobs
        threads = (os.cpu_count() or 1) if threads == -1 else max(1, int(threads or 1))
        # Every thread beyond the first classifies with its own copy of the
        # model: no more of them than slices of 64 rows, and at most 64.
        threads = min(threads, MAX_THREADS, max(1, len(discrete) // 64))
        return self.model_.classify(discrete, floats, threads)

    def _labels_of(self, guesses):
        out = self.classes_.take(np.maximum(guesses, 0)) if len(self.classes_) else \
            np.empty(len(guesses), dtype=object)
        rejected = guesses < 0
        if rejected.any():
            out = out.astype(object)
            out[rejected] = self.reject_label
        return out

    def predict(self, X, n_jobs=None):
        """The class label of every row; reject_label where the best response
        is below reject_probability (the array is then of dtype object).
        n_jobs threads classify (default: the n_jobs setting; -1 all cores)."""
        return self._labels_of(self._guesses(X, n_jobs))

    def predict_one(self, x):
        """The class label of one row (a dict or a 1-D sequence)."""
        self._check_fitted()
        discrete, floats = _input.row_blocks(self.layout_, x, False, self._offset())
        return self._labels_of(self.model_.classify(discrete, floats, 1))[0]

    def responses(self, X):
        """The engine's response of every class (columns in classes_ order)
        to every row."""
        self._check_fitted()
        discrete, floats = self._blocks(X, learn=False)
        return self.model_.responses(discrete, floats)

    def decision_function(self, X):
        """The responses (see responses); with two classes, as scikit-learn
        expects of a binary classifier, one value per row: (r1 - r0) /
        (r0 + r1) of the two responses, positive where the second class
        wins, 0 where both are 0."""
        r = self.responses(X)
        if r.shape[1] != 2:
            return r
        total = r[:, 0] + r[:, 1]
        return np.divide(r[:, 1] - r[:, 0], total, out=np.zeros(len(r)), where=total > 0)

    def predict_proba(self, X):
        """The responses scaled to sum 1 per row. They are the classifier's
        responses, not calibrated probabilities; a row whose responses are
        all 0 gets the same share for every class."""
        r = self.responses(X)
        total = r.sum(axis=1, keepdims=True)
        with np.errstate(invalid="ignore", divide="ignore"):
            p = np.where(total > 0, r / np.where(total > 0, total, 1), 1.0 / max(r.shape[1], 1))
        return p

    # --- models ------------------------------------------------------------
    def save(self, path):
        """Writes the model file that `pellory classify` and the C++ library
        read (it keeps neither the value codes of coded columns nor the
        learned-case counts: keep those with pickle)."""
        self._check_fitted()
        data = self.model_.save_model()
        with open(path, "wb") as out:
            out.write(data)

    @classmethod
    def load(cls, path):
        """An estimator holding the model file at path, which must hold a
        model of this class. Its columns are the model's discrete attributes
        (as value codes), then its float attributes; its classes_ are the
        class names."""
        with open(path, "rb") as source:
            data = source.read()
        model = Model(cls._engine_class)
        model.load_model(data)
        settings = model.settings()
        missing = settings.pop("missing_float_value")
        estimator = cls(**cls._keywords(settings), discrete=list(range(model.discrete_count)) or None,
                        missing_float_value=None if missing.upper() == "NAN" else float(missing))
        estimator._start(_input.Layout.of_counts(model.discrete_count, model.float_count), model)
        return estimator

    def merge(self, other):
        """Adds what other (an estimator of the same class over the same
        columns) learned to this model, as the engine merges models: this
        model's classes first, then other's new ones. Coded columns must code
        their values alike (one's codes a beginning of the other's), as
        pellory.dask.fit arranges. Returns self."""
        self._check_fitted()
        other._check_fitted()
        if type(other) is not type(self):
            raise ValueError(f"a {type(self).__name__} cannot merge a {type(other).__name__}")
        mine, theirs = self.layout_, other.layout_
        if mine.kinds != theirs.kinds:
            raise ValueError("the two models were learned from different columns (their number or kinds differ)")
        if (mine.names is None) != (theirs.names is None) or \
                (mine.names is not None and list(mine.names) != list(theirs.names)):
            raise ValueError("the two models were learned from columns of different names")
        if self._offset() != other._offset():
            raise ValueError("one model numbers its value codes from 0, the other from 1")
        codes = {}
        for j, ours in mine.codes.items():
            longer, shorter = (ours, theirs.codes[j]) if len(ours) >= len(theirs.codes[j]) else \
                (theirs.codes[j], ours)
            if list(shorter) != list(longer)[:len(shorter)]:
                raise ValueError(f"column {mine.names[j] if mine.names is not None else j!r}: the two models "
                                 "code its values differently")
            codes[j] = dict(longer)
        new = [(name, label) for name, label in zip(other._names, other._label_list)
               if name.lower() not in self._positions]
        self.model_.merge(other.model_)
        mine.codes.update(codes)
        self._set_classes(self._names + [name for name, _ in new], self._label_list + [label for _, label in new])
        return self

    def __sklearn_is_fitted__(self):
        return self._is_fitted()

    def _more_tags(self):
        return {"allow_nan": True, "requires_y": True}


class LinearClassifier(_Classifier):
    """The engine's linear classifier: per class, value counts of discrete
    attributes and running means and deviations of float attributes; a row's
    response averages how typical each of its values is for the class.

    Parameters: reject_probability (lowest best response that is not
    rejected), use_prior (smooth discrete scores and add the class prior),
    discrete (columns of a numpy array that hold value codes or labels),
    missing_float_value (a float value that means missing, besides NaN),
    reject_label (what predict gives for a rejected row), n_jobs (threads of
    predict)."""
    _engine_class = "TLinearClassifier"

    def __init__(self, reject_probability=0.01, use_prior=False, discrete=None, missing_float_value=None,
                 reject_label="Reject", n_jobs=None):
        self.reject_probability = reject_probability
        self.use_prior = use_prior
        self.discrete = discrete
        self.missing_float_value = missing_float_value
        self.reject_label = reject_label
        self.n_jobs = n_jobs

    def _engine_settings(self):
        return {"reject_probability": float(self.reject_probability), "use_prior": bool(self.use_prior)}

    @classmethod
    def _keywords(cls, settings):
        return {"reject_probability": settings["reject_probability"], "use_prior": settings["use_prior"]}


class NaiveBayes(_Classifier):
    """Naive Bayes over the discrete attributes with an m-estimate; float
    columns are carried but take no part.

    Parameters: reject_probability, m (the m-estimate's weight, 1 to 10),
    discrete, missing_float_value, reject_label, n_jobs (as for
    LinearClassifier)."""
    _engine_class = "TNaiveBayes"

    def __init__(self, reject_probability=0.01, m=2, discrete=None, missing_float_value=None,
                 reject_label="Reject", n_jobs=None):
        self.reject_probability = reject_probability
        self.m = m
        self.discrete = discrete
        self.missing_float_value = missing_float_value
        self.reject_label = reject_label
        self.n_jobs = n_jobs

    def _engine_settings(self):
        m = int(self.m)
        if not 1 <= m <= 10:
            raise ValueError(f"m must be 1 to 10, not {self.m!r}")
        return {"reject_probability": float(self.reject_probability), "m": m}

    @classmethod
    def _keywords(cls, settings):
        return {"reject_probability": settings["reject_probability"], "m": settings["m"]}


class KNearestNeighbors(_Classifier):
    """k nearest neighbours over the stored rows: float differences scaled
    by each attribute's range, a discrete mismatch counting 1; the majority
    class of the k nearest wins (ties: the first class). Its responses are
    the neighbours' counts per class.

    Parameters: k (neighbours, at least 1), distance ("euclidean" or
    "manhattan"), discrete, missing_float_value, reject_label, n_jobs."""
    _engine_class = "TKNearestNeighbors"

    def __init__(self, k=10, distance="euclidean", discrete=None, missing_float_value=None,
                 reject_label="Reject", n_jobs=None):
        self.k = k
        self.distance = distance
        self.discrete = discrete
        self.missing_float_value = missing_float_value
        self.reject_label = reject_label
        self.n_jobs = n_jobs

    def _engine_settings(self):
        if self.distance not in ("euclidean", "manhattan"):
            raise ValueError(f"distance must be 'euclidean' or 'manhattan', not {self.distance!r}")
        k = int(self.k)
        if k < 1:
            raise ValueError(f"k must be at least 1, not {self.k!r}")
        return {"k": k, "euclidean": self.distance == "euclidean"}

    @classmethod
    def _keywords(cls, settings):
        return {"k": settings["k"], "distance": "euclidean" if settings["euclidean"] else "manhattan"}
