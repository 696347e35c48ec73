"""Learning on a Dask cluster: partitions on two worker processes, merged,
answer bit for bit as one process learning all rows."""
import numpy as np
import pandas as pd
import pytest

import pellory

dask = pytest.importorskip("dask")
distributed = pytest.importorskip("distributed")
import dask.bag as db  # noqa: E402
import dask.dataframe as dd  # noqa: E402

import pellory.dask  # noqa: E402

PARTITIONS = 8


@pytest.fixture(scope="module")
def client():
    # Loopback only, no dashboard, bounded in time, torn down at the end.
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                       dashboard_address=None, timeout=60)
    with cluster, distributed.Client(cluster, timeout=60) as connection:
        yield connection


def table(rows=1600, seed=11):
    rng = np.random.default_rng(seed)
    y = rng.choice(["low", "mid", "high"], rows)
    lean = rng.random(rows) < 0.6
    colour = np.where(lean, pd.Series(y).map({"low": "blue", "mid": "grey", "high": "red"}),
                      rng.choice(["blue", "grey", "red", "green"], rows))
    frame = pd.DataFrame({"colour": colour, "n": rng.integers(0, 6, rows),
                          "x": rng.normal(pd.Series(y).map({"low": 0.0, "mid": 1.0, "high": 2.0}), 1.0)})
    frame.loc[rng.random(rows) < 0.05, "colour"] = None
    # The class "mid" appears only after the first partition.
    y[: rows // PARTITIONS][y[: rows // PARTITIONS] == "mid"] = "low"
    return frame, y


@pytest.mark.parametrize("cls", [pellory.NaiveBayes, pellory.KNearestNeighbors])
def test_partitions_on_workers_learn_the_one_process_model(client, cls):
    frame, y = table()
    alone = cls().fit(frame, y)
    with_labels = frame.assign(label=y)
    merged = pellory.dask.fit(cls(), dd.from_pandas(with_labels, npartitions=PARTITIONS, sort=False),
                              label="label")
    assert list(merged.classes_) == list(alone.classes_)
    assert merged.layout_.codes == alone.layout_.codes
    assert np.array_equal(merged.responses(frame), alone.responses(frame))
    # The same as a bag of (X, y) pairs of numpy arrays.
    numbers = frame[["n", "x"]].to_numpy(dtype=float)
    alone = cls(discrete=[0]).fit(numbers, y)
    step = len(y) // PARTITIONS
    bag = db.from_sequence([(numbers[i:i + step], y[i:i + step]) for i in range(0, len(y), step)],
                           npartitions=PARTITIONS)
    merged = pellory.dask.fit(cls(discrete=[0]), bag)
    assert np.array_equal(merged.responses(numbers), alone.responses(numbers))


def test_what_cannot_be_learned_is_refused(client):
    with pytest.raises(ValueError, match="label column"):
        pellory.dask.fit(pellory.NaiveBayes(), dd.from_pandas(pd.DataFrame({"a": [1, 2]}), npartitions=1))
    with pytest.raises(ValueError, match=r"\(X, y\) pairs"):
        pellory.dask.fit(pellory.NaiveBayes(), db.from_sequence([1, 2], npartitions=1))
