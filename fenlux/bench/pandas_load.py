#!/usr/bin/python3
"""Reference point for the plotter's load time: the same table read by pandas.read_csv.

usage: pandas_load.py [file]   (default /tmp/fenlux-bench-1000000.csv, written by fenlux_bench)
"""
import resource
import sys
import time

import pandas

path = sys.argv[1] if len(sys.argv) > 1 else "/tmp/fenlux-bench-1000000.csv"

start = time.perf_counter()
frame = pandas.read_csv(path, delim_whitespace=True, comment="#", header=0)
plain = time.perf_counter() - start
print(f"pandas.read_csv            {plain:.2f} s  ({len(frame)} rows, {len(frame.columns)} columns)")

start = time.perf_counter()
frame = pandas.read_csv(path, delim_whitespace=True, comment="#", header=0)
stamps = pandas.to_datetime(frame["date"] + " " + frame["time"], format="%Y-%m-%d %H:%M:%S")
timed = time.perf_counter() - start
print(f"pandas.read_csv + to_datetime {timed:.2f} s")

peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
print(f"peak memory                {peak} KiB")
