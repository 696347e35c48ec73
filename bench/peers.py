#!/usr/bin/python3
"""Side-by-side speed of our classifiers and their peers on one data set.

    bench/peers.py [--build DIR] [--keep DIR]

Generates the benchmark page's shape (20 classes, 15 discrete attributes
with values 0..9, 15 float attributes; 200,000 learning and 20,000 test
rows), writes it for our bench_peers program and as ARFF for Weka, runs
bench_peers, scikit-learn and (when /usr/share/java/weka.jar and javac are
there) Weka on it in this one run, and prints a table of rates with the
ratio ours / peer.

Run it through `make bench-peers`, which sets one thread for the numerical
libraries. "Batch" is the peer's one call over all rows; "per row" is one
call per case, as an incremental learner is used. Our engine has one entry
per case, so the same figure of ours stands in both rows. Rates are the best
of three repetitions; on a shared machine they still vary from run to run.
"""
import argparse
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np
import sklearn
from sklearn.naive_bayes import CategoricalNB, GaussianNB
from sklearn.neighbors import KNeighborsClassifier

CLASSES, DISCRETE, FLOATS, VALUES = 20, 15, 15, 10
LEARN, TEST = 200_000, 20_000
PER_ROW = 2_000  # rows of the peers' per-row runs (they are slow)
SEED = 20261207
WEKA_JAR = "/usr/share/java/weka.jar"
HERE = os.path.dirname(os.path.abspath(__file__))


def generate():
    rng = np.random.default_rng(SEED)
    rows = LEARN + TEST
    y = rng.integers(0, CLASSES, rows)
    # Values lean towards the class, so every classifier has something to find.
    lean = rng.random((rows, DISCRETE)) < 0.3
    d = np.where(lean, (y[:, None] + np.arange(DISCRETE)) % VALUES, rng.integers(0, VALUES, (rows, DISCRETE)))
    f = rng.normal(0.0, 1.0, (rows, FLOATS)) + 0.25 * y[:, None] + 0.1 * np.arange(FLOATS)
    f = np.round(f, 6)
    return y.astype(np.int64), d.astype(np.int64), f


def write_ours(path, y, d, f):
    with open(path, "w") as out:
        out.write(f"{LEARN} {TEST} {DISCRETE} {FLOATS}\n")
        table = np.concatenate([y[:, None].astype(object), d.astype(object), f.astype(object)], axis=1)
        for row in table:
            out.write(" ".join(repr(v) if isinstance(v, float) else str(v) for v in row) + "\n")


def write_arff(path, y, d, f, floats):
    with open(path, "w") as out:
        out.write("@relation peers\n")
        values = ",".join(str(v) for v in range(VALUES))
        for i in range(DISCRETE):
            out.write(f"@attribute d{i} {{{values}}}\n")
        if floats:
            for j in range(FLOATS):
                out.write(f"@attribute f{j} numeric\n")
        out.write("@attribute class {" + ",".join(str(c) for c in range(CLASSES)) + "}\n@data\n")
        for r in range(len(y)):
            cells = [str(v) for v in d[r]]
            if floats:
                cells += [repr(float(v)) for v in f[r]]
            cells.append(str(y[r]))
            out.write(",".join(cells) + "\n")


def best_rate(count, body, prepare=None, repeats=3):
    best = 0.0
    for _ in range(repeats):
        state = prepare() if prepare else None
        start = time.perf_counter()
        body(state)
        best = max(best, count / (time.perf_counter() - start))
    return best


def run_sklearn(y, d, f):
    x_all = np.concatenate([d, f], axis=1).astype(np.float64)
    xl, xt, yl = x_all[:LEARN], x_all[LEARN:], y[:LEARN]
    dl, dt = d[:LEARN], d[LEARN:]
    classes = np.arange(CLASSES)
    r = {}

    def fitted(make, x, yy):
        model = make()
        model.partial_fit(x, yy, classes=classes)
        return model

    def per_row_learn(make, x):
        def body(model):
            for i in range(PER_ROW):
                model.partial_fit(x[i:i + 1], yl[i:i + 1])
        return best_rate(PER_ROW, body, lambda: fitted(make, x[:1], yl[:1]))

    def per_row_predict(model, x, n=PER_ROW):
        def body(_):
            for i in range(n):
                model.predict(x[i:i + 1])
        return best_rate(n, body)

    r["gnb_learn"] = best_rate(LEARN, lambda m: m.partial_fit(xl, yl, classes=classes), GaussianNB)
    gnb = fitted(GaussianNB, xl, yl)
    r["gnb_classify"] = best_rate(TEST, lambda _: gnb.predict(xt))
    r["gnb_learn_row"] = per_row_learn(GaussianNB, xl)
    r["gnb_classify_row"] = per_row_predict(gnb, xt)

    def cnb():
        return CategoricalNB(min_categories=VALUES)
    r["cnb_learn"] = best_rate(LEARN, lambda m: m.partial_fit(dl, yl, classes=classes), cnb)
    model = fitted(cnb, dl, yl)
    r["cnb_classify"] = best_rate(TEST, lambda _: model.predict(dt))
    r["cnb_learn_row"] = per_row_learn(cnb, dl)
    r["cnb_classify_row"] = per_row_predict(model, dt)

    for stored, queries in ((5000, 2000), (50000, 400)):
        for p in (2, 1):
            knn = KNeighborsClassifier(n_neighbors=10, algorithm="brute", p=p)
            knn.fit(xl[:stored], yl[:stored])
            r[f"knn_{stored}_p{p}"] = best_rate(queries, lambda _: knn.predict(xt[:queries]))
            r[f"knn_{stored}_p{p}_row"] = per_row_predict(knn, xt, min(queries, 200))
    return r


def run_ours(build, data_file):
    program = os.path.join(build, "bin", "bench_peers")
    if not os.access(program, os.X_OK):
        sys.exit(f"peers.py: {program} is missing; build the target bench_peers first")
    out = subprocess.run([program, data_file], check=True, capture_output=True, text=True).stdout
    rates, allocs = {}, {}
    for line in out.splitlines():
        name, rate, alloc = line.split()
        rates[name] = float(rate)
        allocs[name] = float(alloc)
    return rates, allocs


def run_weka(work, y, d, f):
    if not (os.path.exists(WEKA_JAR) and shutil.which("javac") and shutil.which("java")):
        return {}
    paths = [os.path.join(work, n) for n in ("nb-learn.arff", "nb-test.arff", "learn.arff", "test.arff")]
    write_arff(paths[0], y[:LEARN], d[:LEARN], f[:LEARN], floats=False)
    write_arff(paths[1], y[LEARN:], d[LEARN:], f[LEARN:], floats=False)
    write_arff(paths[2], y[:50000], d[:50000], f[:50000], floats=True)
    write_arff(paths[3], y[LEARN:LEARN + 2000], d[LEARN:LEARN + 2000], f[LEARN:LEARN + 2000], floats=True)
    subprocess.run(["javac", "-nowarn", "-cp", WEKA_JAR, "-d", work, os.path.join(HERE, "peers", "WekaPeer.java")],
                   check=True, capture_output=True)
    out = subprocess.run(["java", "-XX:ActiveProcessorCount=1", "-Xmx2g", "-cp", WEKA_JAR + os.pathsep + work,
                          "WekaPeer"] + paths, check=True, capture_output=True, text=True).stdout
    return {name: float(rate) for name, rate in (line.split() for line in out.splitlines())}


def fmt(rate):
    if rate >= 1e6:
        return f"{rate / 1e6:.2f} M/s"
    if rate >= 1e3:
        return f"{rate / 1e3:.1f} k/s"
    return f"{rate:.0f} /s"


def table(ours, allocs, sk, weka):
    rows = []

    def add(work, mine, peer_name, peer):
        if peer is None or mine not in ours:
            return
        rows.append((work, fmt(ours[mine]), peer_name, fmt(peer), f"{ours[mine] / peer:.2f}×"))

    add("linear classifier learning, batch", "lc_learn", "GaussianNB partial_fit, one call", sk["gnb_learn"])
    add("linear classifier learning, per row", "lc_learn", "GaussianNB partial_fit per row", sk["gnb_learn_row"])
    add("linear classifier classifying, batch", "lc_classify", "GaussianNB predict, one call", sk["gnb_classify"])
    add("linear classifier classifying, per row", "lc_classify", "GaussianNB predict per row",
        sk["gnb_classify_row"])
    add("naive Bayes learning (15 discrete), batch", "nb_learn", "CategoricalNB partial_fit, one call",
        sk["cnb_learn"])
    add("naive Bayes learning, per row", "nb_learn", "CategoricalNB partial_fit per row", sk["cnb_learn_row"])
    add("naive Bayes learning, per row", "nb_learn", "Weka NaiveBayesUpdateable", weka.get("weka_nb_learn"))
    add("naive Bayes classifying, batch", "nb_classify", "CategoricalNB predict, one call", sk["cnb_classify"])
    add("naive Bayes classifying, per row", "nb_classify", "CategoricalNB predict per row", sk["cnb_classify_row"])
    add("naive Bayes classifying, per row", "nb_classify", "Weka NaiveBayesUpdateable",
        weka.get("weka_nb_classify"))
    for stored in (5000, 50000):
        for p, norm in ((2, "Euclidean"), (1, "Manhattan")):
            key = f"knn_{stored}_p{p}"
            add(f"k-NN, {stored:,} stored × 30, K = 10, {norm}, batch", key,
                f"KNeighborsClassifier brute p={p}, one call", sk[key])
            add(f"k-NN, {stored:,} stored, {norm}, per row", key, f"KNeighborsClassifier brute p={p} per row",
                sk[key + "_row"])
            add(f"k-NN, {stored:,} stored, {norm}, per row", key, "Weka IBk " + norm, weka.get("weka_" + key))
    lines = ["| Work | Pellory | Peer | Peer rate | Ratio |", "|---|---|---|---|---|"]
    lines += [f"| {w} | {m} | {pn} | {pr} | {ratio} |" for w, m, pn, pr, ratio in rows]
    classify = max((v for k, v in allocs.items() if not k.endswith("_learn")), default=0)
    learn = max((v for k, v in allocs.items() if k.endswith("_learn")), default=0)
    lines.append("")
    lines.append(f"Heap allocations in our timed loops (bench/support/AllocationCounter): {classify:g} per "
                 f"classified case; at most {learn:g} per learned case (a fresh classifier growing its classes).")
    return "\n".join(lines)


def cpu_model():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build", help="build folder holding bin/bench_peers")
    parser.add_argument("--keep", help="write the data files here and keep them")
    args = parser.parse_args()
    work = args.keep or tempfile.mkdtemp(prefix="pellory-peers-")
    os.makedirs(work, exist_ok=True)
    try:
        y, d, f = generate()
        data_file = os.path.join(work, "peers.txt")
        write_ours(data_file, y, d, f)
        load_before = os.getloadavg()[0]
        ours, allocs = run_ours(args.build, data_file)
        sk = run_sklearn(y, d, f)
        weka = run_weka(work, y, d, f)
        print(f"Measured {time.strftime('%Y-%m-%d %H:%M')} on {cpu_model()}, {os.cpu_count()} cores, "
              f"{platform.system()} {platform.release()}; one thread each; scikit-learn {sklearn.__version__}, "
              f"numpy {np.__version__}" + ("; Weka 3.6 (Debian)" if weka else "; Weka not found") +
              f"; load average {load_before:.1f} at the start.")
        print()
        print(table(ours, allocs, sk, weka))
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
