"""Helpers of the package's tests: sample data logs and the converter's own output."""

import math
import os
import shutil
import subprocess
import tempfile
import unittest

BIN = os.environ.get("VARNO_BIN_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "bin"))


def make_log(path, *options):
    """A data log like an instrument's (ostrel-make-log), e.g. make_log(p, "--days", "3")."""
    subprocess.run([os.path.join(BIN, "ostrel-make-log"), *options, path], check=True)
    return path


def converter_lines(*arguments):
    """The table the converter writes for these arguments, line by line."""
    result = subprocess.run([os.path.join(BIN, "ostrel"), *arguments], check=True, capture_output=True)
    return result.stdout.decode("latin-1").splitlines()


def converter_value(value):
    """A value as the converter prints it with -f%.9g, after its separator."""
    if math.isnan(value):
        return " NaN"
    if math.isinf(value):
        return " +INF" if value > 0 else " -INF"
    return "%.9g" % value


def frame_lines(frame):
    """The rows of a frame as `ostrel -d -f%.9g` writes them (blank separator)."""
    times = ["1970-01-01 00:00:00" if time is None or str(time) == "NaT" else time.strftime("%Y-%m-%d %H:%M:%S")
             for time in frame.index]
    periods = frame.iloc[:, 0].to_numpy()
    values = frame.iloc[:, 1:].to_numpy()
    return [" ".join([times[k], str(periods[k])] + [converter_value(float(v)) for v in row])
            for k, row in enumerate(values)]


class TempFolderTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="varno-python-test-")
        self.addCleanup(shutil.rmtree, self.folder)

    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, content):
        with open(self.path(name), "wb") as file:
            file.write(content if isinstance(content, bytes) else content.encode("latin-1"))
        return self.path(name)
