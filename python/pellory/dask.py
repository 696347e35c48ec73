"""Learning a Dask collection on the workers and merging the partial models.

    model = pellory.dask.fit(pellory.NaiveBayes(), bag)               # (X, y) pairs
    model = pellory.dask.fit(pellory.NaiveBayes(), frame, label="y")  # a Dask data frame

Every partition is learned on a worker by its own copy of the estimator; the
partial models are merged in a binary tree, pairs of neighbours first, so
the merged model is what one process learning the partitions in order would
have learned (for naive Bayes and k-NN bit for bit; the linear classifier's
means and deviations may differ in their last bits).

Before learning, one quick pass over the partitions collects the class
labels and the values of coded (string, categorical) columns in order of
first appearance, so that every worker codes them alike and the classes
come in sorted order, as fit gives them.
"""
import copy

import numpy as np

try:
    import dask
    import dask.bag
    import dask.dataframe
except ImportError as error:  # pragma: no cover - depends on the machine
    raise ImportError("pellory.dask needs Dask: install python3-dask and python3-distributed (Debian) or the "
                      "dask and distributed packages") from error

from . import _input


def _pairs(part, label):
    """The (X, y) pairs of one partition."""
    if label is None:
        for item in part:
            if not (isinstance(item, tuple) and len(item) == 2):
                raise ValueError("a bag given to pellory.dask.fit must hold (X, y) pairs")
            yield item
    else:
        if label not in part.columns:
            raise ValueError(f"the data frame has no label column {label!r}")
        yield part.drop(columns=[label]), part[label]


def _survey(part, label, discrete):
    """What one partition holds: its column layout, its class labels and the
    values of its coded columns in order of first appearance."""
    layout, labels, values = None, [], {}
    for X, y in _pairs(part, label):
        if len(y) == 0:
            continue
        here = _input.Layout.of(X, discrete)
        if layout is None:
            layout = here
        elif here.kinds != layout.kinds:
            raise ValueError("the partitions' columns differ in number or kind")
        labels.append(np.unique(np.asarray(y)))
        for j in layout.codes:
            column = X.iloc[:, j] if _input.is_frame(X) else np.asarray(X)[:, j]
            seen = values.setdefault(j, {})
            present = np.asarray(column, dtype=object)
            for value in _input._unique_in_order(present[~_input._isna(present)]):
                seen.setdefault(value, None)
    return layout, labels, values


def _learn(seed, part, label):
    estimator = copy.deepcopy(seed)
    for X, y in _pairs(part, label):
        if len(y):
            estimator.partial_fit(X, y)
    return estimator


def fit(estimator, data, label=None, split_every=2):
    """A new estimator with estimator's settings that has learned data: a
    dask.bag.Bag of (X, y) pairs, or a dask.dataframe.DataFrame whose column
    label holds the class labels. Partitions are learned on the workers of
    the current Dask scheduler and merged split_every at a time (2: a binary
    tree)."""
    if isinstance(data, dask.dataframe.DataFrame):
        if label is None:
            raise ValueError("give the label column of the data frame: fit(estimator, frame, label='...')")
    elif isinstance(data, dask.bag.Bag):
        if label is not None:
            raise ValueError("label applies to data frames; a bag holds (X, y) pairs")
    else:
        raise TypeError(f"pellory.dask.fit learns a Dask bag or data frame, not {type(data).__name__}")
    if split_every < 2:
        raise ValueError("split_every must be at least 2")
    parts = data.to_delayed()
    discrete = estimator.get_params().get("discrete")
    surveys = dask.compute(*[dask.delayed(_survey)(part, label, discrete) for part in parts])

    layout, labels, codes = None, [], {}
    for here, part_labels, values in surveys:
        if here is None:
            continue
        if layout is None:
            layout = here
        elif here.kinds != layout.kinds or (here.names is None) != (layout.names is None) or \
                (here.names is not None and list(here.names) != list(layout.names)):
            raise ValueError("the partitions' columns differ in number, name or kind")
        labels += part_labels
        for j, seen in values.items():
            for value in seen:
                codes.setdefault(j, {}).setdefault(value, len(codes[j]))
    if layout is None:
        raise ValueError("the data holds no rows to learn")
    for j, column_codes in codes.items():
        layout.codes[j] = column_codes

    seed = type(estimator)(**estimator.get_params())
    seed._start(layout)
    seed._class_positions(np.unique(np.concatenate(labels)))

    level = [dask.delayed(_learn)(seed, part, label) for part in parts]
    while len(level) > 1:
        groups = [level[i:i + split_every] for i in range(0, len(level), split_every)]
        level = [dask.delayed(_merge_many)(*group) if len(group) > 1 else group[0] for group in groups]
    return level[0].compute()


def _merge_many(first, *others):
    for other in others:
        first.merge(other)
    return first
