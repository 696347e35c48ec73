#!/usr/bin/python3
"""What the Python module costs over the C++ engine, and how it compares
with scikit-learn, on the peer comparison's data set.

    bench/python_binding.py [--build DIR] [--repeats N] [--no-peers]

Generates the data of bench/peers.py (20 classes, 15 discrete attributes
with values 0..9, 15 float attributes; 200,000 learning and 20,000 test
rows), runs bench_peers (the engine called from C++) and then, in this one
process, the estimators of the package pellory from DIR/python on the same
arrays: batch fit and predict, and learn_one / predict_one per row. It
prints the binding's rate against the C++ rate (the overhead) and against
scikit-learn's GaussianNB, CategoricalNB and KNeighborsClassifier (as
`make bench-peers` pairs them). Rates are the best of N repetitions; on a
shared machine they vary from run to run, so run it more than once.
"""
import argparse
import os
import sys
import tempfile
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import peers  # noqa: E402  (the data set and the C++ and scikit-learn runs)

PER_ROW = 2000


def run_binding(pellory, y, d, f, repeats):
    L = peers.LEARN
    both = np.ascontiguousarray(np.concatenate([d, f], axis=1), dtype=np.float64)
    codes = np.ascontiguousarray(d, dtype=np.int32)
    discrete = list(range(peers.DISCRETE))
    r = {}

    def batch(name, make, X, stored=L, queries=peers.TEST):
        model = make().fit(X[:stored], y[:stored])
        # The engine alone, called through the module on ready blocks: the
        # difference is the binding's own work. The two are timed in turns,
        # so both see the same load.
        learn_d, learn_f = model._blocks(X[:stored], False)
        positions = model._class_positions(y[:stored])
        test_d, test_f = model._blocks(X[L:L + queries], False)

        def fresh():
            empty = make()
            empty._start(model.layout_)
            empty._class_positions(model.classes_)
            return empty
        for _ in range(repeats):
            for key, count, body, prepare in (
                    ("_learn", stored, lambda m: m.fit(X[:stored], y[:stored]), make),
                    ("_learn_engine", stored, lambda m: m.model_.learn(learn_d, learn_f, positions), fresh),
                    ("_classify", queries, lambda _: model.predict(X[L:L + queries]), None),
                    ("_classify_engine", queries, lambda _: model.model_.classify(test_d, test_f, 1), None)):
                rate = peers.best_rate(count, body, prepare, 1)
                r[name + key] = max(r.get(name + key, 0.0), rate)
        return model

    def per_row(name, make, X, model, rows=PER_ROW):
        rows_x = [X[i] for i in range(rows)]

        def learn(m):
            for i in range(rows):
                m.learn_one(rows_x[i], y[i])
        r[name + "_learn_row"] = peers.best_rate(rows, learn, lambda: make().partial_fit(X[:1], y[:1],
                                                                                 classes=np.arange(20)), repeats)
        test = [X[L + i] for i in range(rows)]
        r[name + "_classify_row"] = peers.best_rate(rows, lambda _: [model.predict_one(x) for x in test], None, repeats)

    def lc():
        return pellory.LinearClassifier(discrete=discrete)
    per_row("lc", lc, both, batch("lc", lc, both))

    def nb():
        return pellory.NaiveBayes(discrete=discrete)
    per_row("nb", nb, codes, batch("nb", nb, codes))
    for stored, queries in ((5000, 2000), (50000, 400)):
        for p, distance in ((2, "euclidean"), (1, "manhattan")):
            key = f"knn_{stored}_p{p}"
            def knn():
                return pellory.KNearestNeighbors(k=10, distance=distance, discrete=discrete)
            model = batch(key, knn, both, stored, queries)
            r[key] = r[key + "_classify"]
            r[key + "_engine"] = r[key + "_classify_engine"]
            r[key + "_row"] = peers.best_rate(200, lambda _: [model.predict_one(both[L + i]) for i in range(200)], None,
                                        repeats)
    return r


def table(cpp, py, sk):
    fmt = peers.fmt
    lines = ["| Work | C++ | Python | Python / C++ | Python / engine | Peer | Peer rate | Python / peer |",
             "|---|---|---|---|---|---|---|---|"]

    def add(work, ours, mine, peer_name, peer):
        engine = py.get(mine + "_engine")
        share = f"{py[mine] / engine:.2f}" if engine else ""
        lines.append(f"| {work} | {fmt(cpp[ours])} | {fmt(py[mine])} | {py[mine] / cpp[ours]:.2f} | {share} | "
                     f"{peer_name} | {fmt(peer)} | {py[mine] / peer:.2f}× |")
    add("linear classifier fit, batch", "lc_learn", "lc_learn", "GaussianNB partial_fit", sk["gnb_learn"])
    add("linear classifier predict, batch", "lc_classify", "lc_classify", "GaussianNB predict", sk["gnb_classify"])
    add("linear classifier learn_one", "lc_learn", "lc_learn_row", "GaussianNB partial_fit per row",
        sk["gnb_learn_row"])
    add("linear classifier predict_one", "lc_classify", "lc_classify_row", "GaussianNB predict per row",
        sk["gnb_classify_row"])
    add("naive Bayes fit (15 discrete), batch", "nb_learn", "nb_learn", "CategoricalNB partial_fit", sk["cnb_learn"])
    add("naive Bayes predict, batch", "nb_classify", "nb_classify", "CategoricalNB predict", sk["cnb_classify"])
    add("naive Bayes learn_one", "nb_learn", "nb_learn_row", "CategoricalNB partial_fit per row",
        sk["cnb_learn_row"])
    add("naive Bayes predict_one", "nb_classify", "nb_classify_row", "CategoricalNB predict per row",
        sk["cnb_classify_row"])
    for stored in (5000, 50000):
        for p, norm in ((2, "Euclidean"), (1, "Manhattan")):
            key = f"knn_{stored}_p{p}"
            add(f"k-NN predict, {stored:,} stored, K = 10, {norm}, batch", key, key,
                f"KNeighborsClassifier brute p={p}", sk[key])
            add(f"k-NN predict_one, {stored:,} stored, {norm}", key, key + "_row",
                f"KNeighborsClassifier brute p={p} per row", sk[key + "_row"])
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build", help="build folder holding bin/bench_peers and python/")
    parser.add_argument("--repeats", type=int, default=3, help="repetitions of each measurement (best counts)")
    args = parser.parse_args()
    sys.path.insert(0, os.path.join(os.path.abspath(args.build), "python"))
    import pellory
    y, d, f = peers.generate()
    with tempfile.TemporaryDirectory(prefix="pellory-python-bench-") as work:
        data_file = os.path.join(work, "peers.txt")
        peers.write_ours(data_file, y, d, f)
        load_before = os.getloadavg()[0]
        cpp, _ = peers.run_ours(args.build, data_file)
    py = run_binding(pellory, y, d, f, args.repeats)
    sk = peers.run_sklearn(y, d, f)
    print(f"Measured {time.strftime('%Y-%m-%d %H:%M')} on {peers.cpu_model()}, {os.cpu_count()} cores; one thread "
          f"each; load average {load_before:.1f} at the start. Python / C++: the estimator's rate over "
          "bench_peers' (run just before); Python / engine: over the engine called through the module on "
          "ready blocks right after, under the same load (1.00: no overhead).")
    print()
    print(table(cpp, py, sk))


if __name__ == "__main__":
    main()
