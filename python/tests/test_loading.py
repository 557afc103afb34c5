"""Which files load, what a failure says, and that loading lets other threads run."""

import os
import pathlib
import pickle
import threading
import time
import unittest
import warnings

import varno
from varno import _varno
from support import TempFolderTest, make_log


class LoadErrorTest(TempFolderTest):
    def test_names_the_file_after_the_librarys_message(self):
        missing = self.path("missing.vrn")
        with self.assertRaises(varno.LoadError) as raised:
            varno.read(missing)
        self.assertEqual(str(raised.exception), f"unable to open file: {missing}")
        self.assertEqual(raised.exception.path, missing)
        self.assertEqual(raised.exception.message, "unable to open file")
        # As a worker process hands it back.
        copy = pickle.loads(pickle.dumps(raised.exception))
        self.assertEqual((str(copy), copy.path, copy.message), (str(raised.exception), missing, "unable to open file"))

    def test_no_frame_when_any_file_fails(self):
        good = make_log(self.path("good.vrn"), "--days", "1")
        for bad in (self.path("missing.vrn"), self.write("empty.vrn", b""), self.write("one.vrn", b"x"),
                    self.folder):
            with self.subTest(bad):
                for read in (varno.read, varno.texts):
                    with self.assertRaises(varno.LoadError) as raised:
                        read([good, bad, good])
                    self.assertEqual(raised.exception.path, bad)

    def test_path_kinds(self):
        log = make_log(self.path("a.vrn"), "--days", "1")
        expected = varno.read(log)
        for given in (pathlib.Path(log), os.fsencode(log), [pathlib.Path(log)], (log,)):
            with self.subTest(given):
                self.assertTrue(varno.read(given).equals(expected))

    def test_undecodable_file_name(self):
        name = os.fsencode(self.folder) + b"/station-\xe9.vrn"
        with open(name, "wb") as file:
            file.write(open(make_log(self.path("a.vrn"), "--days", "1"), "rb").read())
        self.assertEqual(len(varno.read(name)), 144)
        with self.assertRaises(varno.LoadError) as raised:
            varno.read(name + b"x")
        self.assertEqual(raised.exception.path, name + b"x")


class NoEntriesTest(TempFolderTest):
    def test_warns_of_a_file_without_values(self):
        notes = self.write("notes.txt", "# only a remark\n")
        log = make_log(self.path("a.vrn"), "--days", "1")
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            frame = varno.read([notes, log])
        self.assertEqual([str(w.message) for w in caught], [f"no entries read from {notes}"])
        self.assertTrue(issubclass(caught[0].category, varno.NoEntriesWarning))
        self.assertEqual(len(frame), 144)

    def test_empty_frame_keeps_its_form(self):
        notes = self.write("notes.txt", "# only a remark\n")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            frame = varno.read(notes)
        self.assertEqual(list(frame.columns), ["period"])
        self.assertEqual(len(frame), 0)
        self.assertEqual(str(frame.index.tz), "UTC")


class ThreadsTest(TempFolderTest):
    def test_other_threads_run_while_a_log_loads(self):
        log = make_log(self.path("big.vrn"), "--megabytes", "20")
        ticks = []
        done = threading.Event()

        def tick():
            while not done.is_set():
                ticks.append(time.perf_counter())
                time.sleep(0.001)

        ticker = threading.Thread(target=tick)
        ticker.start()
        time.sleep(0.02)
        begin = time.perf_counter()
        _varno.read_values([os.fsencode(log)], [], "s")
        end = time.perf_counter()
        done.set()
        ticker.join()
        # Holding the interpreter lock would stop the ticker for the whole call.
        inside = [begin] + [t for t in ticks if begin < t < end] + [end]
        longest_pause = max(b - a for a, b in zip(inside, inside[1:]))
        self.assertLess(longest_pause, (end - begin) / 2)


if __name__ == "__main__":
    unittest.main()
