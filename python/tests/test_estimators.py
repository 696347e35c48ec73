"""The estimators over the engine: input conversion, errors, models, threads."""
import importlib
import os
import subprocess
import pickle
import sys
import threading

import numpy as np
import pandas as pd
import pytest
import sklearn.base

import pellory
from pellory import _input

ALL = [pellory.LinearClassifier, pellory.NaiveBayes, pellory.KNearestNeighbors]


def mixed_table(rows=300, seed=3):
    """Codes 0..3, labels, a float column and the class leaning on them."""
    rng = np.random.default_rng(seed)
    y = rng.integers(0, 3, rows)
    codes = np.where(rng.random(rows) < 0.6, y, rng.integers(0, 4, rows))
    words = np.array(["red", "green", "blue", "grey"])[np.where(rng.random(rows) < 0.6, y, rng.integers(0, 4, rows))]
    floats = rng.normal(y.astype(float), 1.0)
    return y, codes, words, floats


def test_data_frame_columns_are_read_as_their_types_say():
    y, codes, words, floats = mixed_table()
    frame = pd.DataFrame({"n": codes, "w": words, "c": pd.Categorical(words[::-1]), "f": floats,
                          "b": codes > 1})
    frame.loc[5, "w"] = None
    frame.loc[7, "f"] = np.nan
    frame["k"] = pd.array(codes, dtype="Int64")
    frame.loc[9, "k"] = pd.NA
    # The same table by hand: strings coded in order of first appearance,
    # missing as NaN, everything but "f" discrete.
    def first_seen(values):
        order = list(dict.fromkeys(v for v in values if v is not None))
        return np.array([np.nan if v is None else order.index(v) for v in values])
    with_gap = codes.astype(float)
    with_gap[9] = np.nan
    by_hand = np.column_stack([codes, first_seen(frame["w"].tolist()), first_seen(list(words[::-1])),
                               frame["f"], codes > 1, with_gap]).astype(float)
    for cls in ALL:
        a = cls().fit(frame, y)
        b = cls(discrete=[0, 1, 2, 4, 5]).fit(by_hand, y)
        assert np.array_equal(a.responses(frame), b.responses(by_hand))
        assert list(a.feature_names_in_) == ["n", "w", "c", "f", "b", "k"]


def test_values_unseen_while_learning_are_not_kept():
    y, _, words, floats = mixed_table()
    frame = pd.DataFrame({"w": words, "f": floats})
    model = pellory.NaiveBayes().fit(frame, y)
    codes = dict(model.layout_.codes[0])
    query = pd.DataFrame({"w": ["violet", "red"], "f": [0.0, 0.0]})
    first = model.responses(query)
    assert np.array_equal(first, model.responses(query)) and model.layout_.codes[0] == codes


@pytest.mark.parametrize("X, y, discrete, error, words", [
    (np.array([[1.0], [2.0]]), [1, np.nan], None, ValueError, "NaN"),
    (np.array([[1.0], [2.0]]), [0.5, 1.5], None, ValueError, "continuous"),
    (np.array([[1.0], [2.0]]), ["a", "A"], None, ValueError, "letter case"),
    (np.array([[1.0], [2.0]]), ["a", "b\nc"], None, ValueError, "line break"),
    (np.array([[1.0], [2.0]]), [1, 2, 3], None, ValueError, "inconsistent numbers of samples"),
    (np.array([1.0, 2.0]), [1, 2], None, ValueError, "Reshape your data"),
    (np.array([[1.0 + 1j], [2.0]]), [1, 2], None, ValueError, "Complex"),
    (np.empty((0, 2)), [], None, ValueError, "0 sample"),
    (np.array([[1.5], [2.0]]), [1, 2], [0], ValueError, "column 0: 1.5 is no discrete value code"),
    (np.array([[1.0], [2.0]]), [1, 2], [3], ValueError, "column 3 is not one of the 1 columns"),
    (pd.DataFrame({"d": pd.to_datetime(["2020-01-01", "2020-01-02"])}), [1, 2], None, ValueError, "'d'"),
    (pd.DataFrame({"n": [3, -4]}), [1, 2], None, ValueError, "'n': -4.0 is no discrete value code"),
    (pd.DataFrame({"n": [3, 1 << 24]}), [1, 2], None, ValueError, "'n'"),
    (np.array([["1.5", "x"], ["2", "y"]], dtype=object), [1, 2], None, ValueError, "column 1"),
])
def test_bad_input_is_refused_naming_what_is_wrong(X, y, discrete, error, words):
    model = pellory.LinearClassifier(discrete=discrete)
    with pytest.raises(error, match=words):
        model.fit(X, y)
    assert not hasattr(model, "model_")  # nothing half learned stays behind


def test_wrong_width_and_names_at_predict_are_refused():
    frame = pd.DataFrame({"a": [1.0, 2.0], "b": [3.0, 4.0]})
    model = pellory.LinearClassifier().fit(frame, [1, 2])
    with pytest.raises(ValueError, match="X has 1 features, but the estimator is expecting 2"):
        model.predict(np.array([[1.0]]))
    with pytest.raises(ValueError, match="Feature names unseen at fit time:\n- c\n"):
        model.predict(frame.rename(columns={"b": "c"}))


def test_ready_blocks_are_read_without_a_copy():
    floats = np.random.default_rng(1).normal(size=(50, 3))
    layout = _input.Layout.of(floats, None)
    assert _input.blocks(layout, floats, learn=False)[1] is floats
    codes = np.arange(150, dtype=np.int32).reshape(50, 3) % 5
    layout = _input.Layout.of(codes, [0, 1, 2])
    assert _input.blocks(layout, codes, learn=False)[0] is codes


@pytest.mark.parametrize("cls", ALL)
def test_model_file_round_trip_and_refusals(cls, tmp_path):
    y, codes, _, floats = mixed_table()
    X = np.column_stack([codes, floats])
    # Without a prior the saved model answers exactly as the live one (the
    # file keeps no learned-case counts, which only the priors read).
    model = cls(**({"use_prior": False} if cls is pellory.LinearClassifier else {}), discrete=[0]).fit(X, y)
    path = tmp_path / "m.model"
    model.save(path)
    loaded = cls.load(path)
    if cls is not pellory.NaiveBayes:
        assert np.array_equal(loaded.responses(X), model.responses(X))
    assert list(loaded.classes_) == ["0", "1", "2"] and loaded.n_features_in_ == 2
    # Its settings are the model's, so a clone learns the same columns alike.
    again = sklearn.base.clone(loaded).fit(X, y)
    assert np.array_equal(again.responses(X), model.responses(X))
    other = pellory.NaiveBayes if cls is not pellory.NaiveBayes else pellory.LinearClassifier
    with pytest.raises(ValueError, match="holds a " + cls._engine_class):
        other.load(path)
    path.write_bytes(path.read_bytes()[:-7])
    with pytest.raises(ValueError):
        cls.load(path)


@pytest.mark.parametrize("cls, settings", [(pellory.LinearClassifier, dict(reject_probability=0.0, use_prior=True)),
                                           (pellory.NaiveBayes, dict(reject_probability=0.0, m=5)),
                                           (pellory.KNearestNeighbors, dict(k=3, distance="manhattan"))])
def test_pickle_keeps_everything_the_responses_read(cls, settings):
    y, codes, words, floats = mixed_table()
    frame = pd.DataFrame({"n": codes, "w": words, "f": floats})
    model = cls(**settings).fit(frame, y)
    copy = pickle.loads(pickle.dumps(model))
    assert copy.model_.settings() == model.model_.settings()
    assert np.array_equal(copy.responses(frame), model.responses(frame))
    assert copy.layout_.codes == model.layout_.codes and list(copy.classes_) == list(model.classes_)


def test_threads_and_concurrent_callers_give_the_serial_guesses():
    rng = np.random.default_rng(7)
    X = rng.normal(size=(3000, 6))
    y = (X[:, 0] + X[:, 1] > 0).astype(int)
    model = pellory.KNearestNeighbors(k=5).fit(X[:2000], y[:2000])
    serial = model.predict(X[2000:])
    assert np.array_equal(model.predict(X[2000:], n_jobs=2), serial)
    results = []
    threads = [threading.Thread(target=lambda: results.append(model.predict(X[2000:]))) for _ in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(np.array_equal(r, serial) for r in results)


def test_rows_one_at_a_time_learn_what_the_batch_learns():
    y, codes, words, floats = mixed_table(rows=120)
    frame = pd.DataFrame({"n": codes, "w": words, "f": floats})
    batch = pellory.LinearClassifier(use_prior=True).fit(frame, y)
    single = pellory.LinearClassifier(use_prior=True).partial_fit(frame[:1], y[:1], classes=[0, 1, 2])
    for i in range(1, len(y)):
        single.learn_one(frame.iloc[i].to_dict(), y[i])
    assert np.array_equal(single.responses(frame), batch.responses(frame))
    row = {"n": 1, "w": "blue", "f": 0.3}
    assert single.predict_one(row) == batch.predict(pd.DataFrame([row]))[0]


def test_later_classes_come_after_the_first_ones_and_rejects_are_marked():
    model = pellory.LinearClassifier(reject_probability=0.5, use_prior=False)
    model.partial_fit([[0.0], [1.0]], ["b", "a"], classes=["b", "a"])
    model.partial_fit([[5.0]], ["c"])
    assert list(model.classes_) == ["a", "b", "c"]
    assert list(model.predict([[5.0], [100.0]])) == ["c", "Reject"]
    assert np.allclose(model.predict_proba([[100.0]]), 1 / 3)


@pytest.mark.parametrize("cls", [pellory.NaiveBayes, pellory.KNearestNeighbors])
def test_merged_halves_answer_as_the_whole(cls):
    y, codes, _, floats = mixed_table()
    X = np.column_stack([codes, floats])
    whole = cls(discrete=[0]).fit(X, y)
    first = cls(discrete=[0]).partial_fit(X[:150], y[:150], classes=[0, 1, 2])
    first.merge(cls(discrete=[0]).partial_fit(X[150:], y[150:], classes=[0, 1, 2]))
    assert np.array_equal(first.responses(X), whole.responses(X))
    doubled = cls(discrete=[0]).fit(np.concatenate([X, X]), np.concatenate([y, y]))
    assert np.array_equal(whole.merge(whole).responses(X), doubled.responses(X))


def test_merge_refuses_models_that_do_not_fit_together():
    a = pellory.NaiveBayes().fit(pd.DataFrame({"w": ["x", "y"]}), [0, 1])
    b = pellory.NaiveBayes().fit(pd.DataFrame({"w": ["y", "x"]}), [0, 1])
    with pytest.raises(ValueError, match="'w': the two models code its values differently"):
        a.merge(b)
    with pytest.raises(ValueError, match="cannot merge a LinearClassifier"):
        a.merge(pellory.LinearClassifier().fit([[1.0]], [0]))
    c = pellory.NaiveBayes(m=3).fit(pd.DataFrame({"w": ["x", "y", "z"]}), ["p", "1", "1"])
    a.merge(c)
    assert list(a.classes_) == ["0", "1", "p"] and a.model_.settings()["m"] == 2
    assert list(a.layout_.codes[0]) == ["x", "y", "z"]


def test_dask_module_without_dask_says_what_to_install(monkeypatch):
    monkeypatch.setitem(sys.modules, "dask", None)
    monkeypatch.delitem(sys.modules, "pellory.dask", raising=False)
    with pytest.raises(ImportError, match="python3-dask and python3-distributed"):
        importlib.import_module("pellory.dask")


def test_the_module_works_without_scikit_learn():
    script = """
import pickle, sys
sys.modules["sklearn"] = None
import numpy as np, pellory
model = pellory.NaiveBayes(m=3, discrete=[0]).fit(np.array([[0.0], [1.0], [1.0]]), ["a", "b", "b"])
assert model.get_params()["m"] == 3 and model.set_params(m=4).m == 4
assert model.score(np.array([[0.0], [1.0]]), ["a", "b"]) == 1.0
assert pickle.loads(pickle.dumps(model)).predict(np.array([[1.0]]))[0] == "b"
"""
    subprocess.run([sys.executable, "-c", script], check=True, env={**os.environ})
