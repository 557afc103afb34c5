"""Reading a data log into a DataFrame against the library's own load of it.

    python3 python/bench/read_bench.py [--runs N] [--build build] [file.vrn]

Without a file it writes a 60 MB data log with ostrel-make-log into a temporary folder.
Each run measures, alternately and each in a fresh process, the library's load
(`ostrel-bench`, its "load" line) and `varno.read` of the file (wall time, the imports
excluded), and prints both with their ratio; then the least and the median of each.
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
print(f"{seconds:.4f} {peak:.1f} {frame.shape[0]} {frame.shape[1]}")
"""


def library_load_seconds(build, path):
    output = subprocess.run([os.path.join(build, "bin", "ostrel-bench"), path], check=True,
                            capture_output=True, text=True).stdout
    return float(re.search(r"^load\s+([0-9.]+) s", output, re.MULTILINE).group(1))


def frame_read(build, path):
    environment = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    output = subprocess.run([sys.executable, "-c", READ_IN_CHILD, path], check=True, env=environment,
                            capture_output=True, text=True).stdout.split()
    return float(output[0]), float(output[1]), int(output[2]), int(output[3])


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
        loads, reads = [], []
        for run in range(arguments.runs):
            load = library_load_seconds(arguments.build, path)
            read, peak, rows, columns = frame_read(arguments.build, path)
            loads.append(load)
            reads.append(read)
            print(f"run {run + 1}: library load {load:.3f} s, varno.read {read:.3f} s ({read / load:.2f} x), "
                  f"{rows} rows x {columns} columns, peak {peak:.0f} MB")
        print(f"least:  load {min(loads):.3f} s, read {min(reads):.3f} s, {min(reads) / min(loads):.2f} x")
        load_median, read_median = statistics.median(loads), statistics.median(reads)
        print(f"median: load {load_median:.3f} s, read {read_median:.3f} s, {read_median / load_median:.2f} x")


if __name__ == "__main__":
    main()
