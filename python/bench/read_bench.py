"""Reading a data log into a DataFrame against the library's own load of it.

    python3 python/bench/read_bench.py [--runs N] [--build build] [file.vrn]

Without a file it writes a 60 MB data log with ostrel-make-log into a temporary folder.
Each run measures, each in a fresh process, the library's load (`ostrel-bench`, its "load"
line), `varno.read` of the file (wall time, the imports excluded), and the first touch of
as much fresh memory as the frame holds (a NumPy array written once a page), which is most
of what reading adds to loading and varies a lot on a shared machine; it prints them with
the ratio of read to load; then the least and the median of each.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

READ_IN_CHILD = """
import resource, sys, time
import varno
begin = time.perf_counter()
frame = varno.read(sys.argv[1])
seconds = time.perf_counter() - begin
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
held = frame.memory_usage(index=True).sum()
print(f"{seconds:.4f} {peak:.1f} {frame.shape[0]} {frame.shape[1]} {held}")
"""

TOUCH_IN_CHILD = """
import sys, time
import numpy as np
begin = time.perf_counter()
memory = np.empty(int(sys.argv[1]), dtype=np.uint8)
memory[::4096] = 1
print(f"{time.perf_counter() - begin:.4f}")
"""


def library_load_seconds(build, path):
    output = subprocess.run([os.path.join(build, "bin", "ostrel-bench"), path], check=True,
                            capture_output=True, text=True).stdout
    return float(re.search(r"^load\s+([0-9.]+) s", output, re.MULTILINE).group(1))


def frame_read(build, path):
    environment = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    output = subprocess.run([sys.executable, "-c", READ_IN_CHILD, path], check=True, env=environment,
                            capture_output=True, text=True).stdout.split()
    return float(output[0]), float(output[1]), int(output[2]), int(output[3]), int(output[4])


def fresh_memory_seconds(size):
    output = subprocess.run([sys.executable, "-c", TOUCH_IN_CHILD, str(size)], check=True,
                            capture_output=True, text=True).stdout
    return float(output)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("file", nargs="?")
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        path = arguments.file
        if path is None:
            path = os.path.join(folder, "big.vrn")
            subprocess.run([os.path.join(arguments.build, "bin", "ostrel-make-log"), "--megabytes", "60", path],
                           check=True)
        megabytes = os.path.getsize(path) / 1e6
        print(f"file {path}: {megabytes:.1f} MB")
        loads, reads, touches = [], [], []
        for run in range(arguments.runs):
            load = library_load_seconds(arguments.build, path)
            read, peak, rows, columns, held = frame_read(arguments.build, path)
            touch = fresh_memory_seconds(held)
            loads.append(load)
            reads.append(read)
            touches.append(touch)
            print(f"run {run + 1}: library load {load:.3f} s, varno.read {read:.3f} s ({read / load:.2f} x), "
                  f"first touch of {held / 1e6:.0f} MB {touch:.3f} s; {rows} rows x {columns} columns, "
                  f"peak {peak:.0f} MB")
        for name, pick in (("least", min), ("median", statistics.median)):
            load, read, touch = pick(loads), pick(reads), pick(touches)
            print(f"{name}: load {load:.3f} s, read {read:.3f} s ({read / load:.2f} x), first touch {touch:.3f} s")


if __name__ == "__main__":
    main()
