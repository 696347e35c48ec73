"""Models shared with `pellory`: the sample tables, exported to arrays, give
the same guesses in Python as `pellory classify`, whichever side learned."""
import io
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import pellory

BIN = os.environ.get("PELLORY_BIN", "")
TOOL = os.path.join(BIN, "pellory")
DATA = os.path.join(BIN, "Data")
pytestmark = pytest.mark.skipif(not os.access(TOOL, os.X_OK) or not os.path.isdir(DATA),
                                reason="PELLORY_BIN names no folder with pellory and Data")
TABLES = ["CONT", "CRED", "GLAS", "IONO", "IRIS", "LABO", "LJUB", "PIMA", "SATI", "SEGM", "SOYB", "VOTE",
          "WEAT"]
KINDS = {"lc": pellory.LinearClassifier, "nb": pellory.NaiveBayes, "knn": pellory.KNearestNeighbors}
# What `pellory train` sets (the sample settings); 999 marks a missing value in the tables.
SAMPLE = {"lc": dict(reject_probability=1e-7, use_prior=True), "nb": dict(reject_probability=1e-7, m=2),
          "knn": dict(k=10, distance="euclidean")}
MISSING = 999


def tool(*args):
    return subprocess.run([TOOL, *args, "--data", DATA], check=True, capture_output=True, text=True).stdout


def classify(table, model):
    lines = tool("classify", table, "--model", str(model)).splitlines()
    return [line.split("\t")[1] for line in lines[1:-1]]


def arrays(table):
    """The table's attributes as the binding reads them: small integers as
    value codes (missing: NaN), every other field as a float."""
    types = dict(line.split("\t") for line in tool("fields", table).splitlines())
    frame = pd.read_csv(io.StringIO(tool("export", table)))
    ignored = {"ID", "Class", "Value"} | {f"Split{i}" for i in range(32)}
    columns = [c for c in frame.columns if c not in ignored]
    discrete = [i for i, c in enumerate(columns) if types[c] == "ftSmallint"]
    X = frame[columns].to_numpy(dtype=float)
    for i in discrete:
        X[X[:, i] == MISSING, i] = np.nan
    return X, frame["Class"].to_numpy(), discrete


@pytest.mark.parametrize("table", TABLES)
def test_models_travel_both_ways_with_the_same_guesses(table, tmp_path):
    X, y, discrete = arrays(table)
    for kind, cls in KINDS.items():
        cli_model = tmp_path / f"{kind}-cli.model"
        tool("train", table, "--classifier", kind, "--model", str(cli_model))
        cli_guesses = classify(table, cli_model)
        # A model of `pellory train` read in Python: its columns are the
        # discrete attributes, then the float ones.
        from_cli = cls.load(cli_model)
        order = discrete + [i for i in range(X.shape[1]) if i not in discrete]
        model_order = X[:, order]
        assert [str(g) for g in from_cli.predict(model_order)] == cli_guesses, (table, kind)
        # The same rows learned in Python (all the table's classes, empty
        # ones too, in the tool's order), read by the tool.
        classes = from_cli.classes_.astype(int)
        ours = cls(**SAMPLE[kind], discrete=discrete, missing_float_value=MISSING)
        ours.partial_fit(X, y, classes=classes)
        py_model = tmp_path / f"{kind}-py.model"
        ours.save(py_model)
        py_guesses = [str(g) for g in cls.load(py_model).predict(model_order)]
        assert classify(table, py_model) == py_guesses, (table, kind)
        if kind == "knn":  # no prior, so the live model answers as its file
            assert [str(g) for g in ours.predict(X)] == py_guesses, (table, kind)
        # Learning the codes as the tool's one-based model numbers them gives
        # its very responses.
        shifted = X.copy()
        shifted[:, discrete] -= 1
        same = cls(**SAMPLE[kind], discrete=discrete, missing_float_value=MISSING)
        same.partial_fit(shifted, y, classes=classes)
        same.save(py_model)
        assert np.array_equal(cls.load(py_model).responses(shifted[:, order]), from_cli.responses(model_order)), \
            (table, kind)
