#!/usr/bin/python3
"""Writes realistic delimited files for the benchmarks.

gen.py KIND SIZE_MB OUT
  KIND mixed: ids, decimals, quoted texts with delimiters, empty cells, integers, dates,
              exponents; numeric: numbers only.
"""
import random
import sys

WORDS = ["alpha", "beta", "gamma, delta", "epsilon", "zeta eta", "theta; iota", "kappa"]


def mixed_row(i, rnd):
    return '%d,%.4f,"%s",,%d,2024-%02d-%02d,%.6e\n' % (
        i, rnd.random() * 1000, rnd.choice(WORDS), rnd.randint(-5000, 5000),
        rnd.randint(1, 12), rnd.randint(1, 28), rnd.random())


def numeric_row(i, rnd):
    return "%d,%.4f,%d,%.6e,%.2f\n" % (
        i, rnd.random() * 1000, rnd.randint(-5000, 5000), rnd.random(), rnd.random() * 100)


def main():
    kind, size_mb, out = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    rnd = random.Random(20261205)
    row = mixed_row if kind == "mixed" else numeric_row
    limit = int(size_mb * 1024 * 1024)
    header = ("id,value,label,note,count,date,ratio\n" if kind == "mixed"
              else "id,value,count,ratio,percent\n")
    with open(out, "w", newline="") as f:
        f.write(header)
        written = len(header)
        chunk = []
        i = 0
        while written < limit:
            line = row(i, rnd)
            chunk.append(line)
            written += len(line)
            i += 1
            if len(chunk) == 10000:
                f.write("".join(chunk))
                chunk = []
        f.write("".join(chunk))


if __name__ == "__main__":
    main()
