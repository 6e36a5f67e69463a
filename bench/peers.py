#!/usr/bin/python3
"""The peers a user would pick instead: pandas and Python's csv module.

peers.py TOOL IN [OUT]
  pandas-read   pandas.read_csv of IN
  pandas-write  pandas.read_csv of IN, then to_csv to OUT (timed: the write only, printed)
  csv-read      csv.reader over IN, numbers converted to float
"""
import csv
import sys
import time


def to_number(text):
    try:
        return float(text)
    except ValueError:
        return text


def main():
    tool, path = sys.argv[1], sys.argv[2]
    if tool == "csv-read":
        rows = []
        with open(path, newline="") as f:
            for row in csv.reader(f):
                rows.append([to_number(c) if c else None for c in row])
        return
    import pandas
    frame = pandas.read_csv(path)
    if tool == "pandas-write":
        start = time.perf_counter()
        frame.to_csv(sys.argv[3], index=False)
        print("%.6f" % (time.perf_counter() - start))


if __name__ == "__main__":
    main()
