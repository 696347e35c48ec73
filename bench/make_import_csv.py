#!/usr/bin/python3
"""Writes the large table the import and per-row benchmarks read: a CSV of
ROWS rows with ten text attributes D0..D9 (values a..h), ten numeric
attributes F0..F9 and a text class c1..c5, 21 columns. Imported, it becomes
a sample table of 55 fields (ID, Class, Value, 32 splits, 20 attributes).

    bench/make_import_csv.py ROWS OUTPUT.csv [SEED]

Values lean towards the class, so a classifier learned on the table has
something to find. The output is the same for the same arguments."""
import random
import sys


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    rows = int(sys.argv[1])
    seed = int(sys.argv[3]) if len(sys.argv) == 4 else 20261207
    rng = random.Random(seed)
    letters = "abcdefgh"
    with open(sys.argv[2], "w", newline="") as out:
        out.write(",".join([f"D{i}" for i in range(10)] + [f"F{i}" for i in range(10)] + ["Kind"]) + "\n")
        for _ in range(rows):
            c = rng.randint(1, 5)
            cells = [letters[c - 1] if rng.random() < 0.25 else rng.choice(letters) for _ in range(10)]
            cells += ["%.5f" % (c * (1.0 + 0.1 * i) + rng.gauss(0.0, 1.0)) for i in range(10)]
            cells.append(f"c{c}")
            out.write(",".join(cells) + "\n")


if __name__ == "__main__":
    main()
