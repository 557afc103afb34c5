"""varno.read and varno.texts give the converter's numbers, names and texts."""

import os
import unittest

import numpy as np
import pandas as pd

import varno
from support import TempFolderTest, converter_lines, frame_lines, make_log


def header_names(path):
    """The column names of the converter's header line, without date and time."""
    line = next(line for line in converter_lines(path) if line.startswith('"date"'))
    return [word.strip('"') for word in line.split(" ")][2:]


class ConverterNumbersTest(TempFolderTest):
    """Each input read into a frame gives, row by row, what `ostrel -d -f%.9g` prints."""

    def assert_as_converter(self, *paths):
        frame = varno.read(list(paths))
        self.assertEqual(frame_lines(frame), converter_lines("-d", "-f%.9g", *paths))
        # The header's names, and "col_<j>" for values beyond them.
        names = header_names(paths[0])
        self.assertEqual(list(frame.columns), names + [f"col_{j}" for j in range(len(names) - 1, frame.shape[1] - 1)])
        return frame

    def test_generated_log(self):
        frame = self.assert_as_converter(make_log(self.path("a.vrn"), "--days", "3"))
        self.assertEqual(len(frame), 3 * 144)
        self.assertEqual(frame.columns[1], "v1_mean")
        self.assertEqual(frame.columns[-1], "direction_mean360")

    def test_damaged_logs(self):
        log = open(make_log(self.path("good.vrn"), "--days", "2"), "rb").read()
        stray = log[:5000] + b"\xff\xff\xff" + log[5000:9001] + b"\x00\x07" + log[9001:]
        cut = log[: len(log) // 2 + 7]
        # A transfer that wrote every line feed as CR LF.
        carriage = log.replace(b"\n", b"\r\n")
        for name, content in (("stray.vrn", stray), ("cut.vrn", cut), ("crlf.vrn", carriage)):
            with self.subTest(name):
                self.assert_as_converter(self.write(name, content))

    def test_converters_own_table(self):
        log = make_log(self.path("a.vrn"), "--days", "1")
        table = self.write("a.txt", "\n".join(converter_lines(log)) + "\n")
        frame = self.assert_as_converter(table)
        # The table's own period column is a value column of its own.
        self.assertEqual(list(frame.columns[:3]), ["period", "period", "v1_mean"])

    def test_logs_read_together_in_order(self):
        first = make_log(self.path("first.vrn"), "--days", "1", "--start", "2006-09-01")
        second = make_log(self.path("second.vrn"), "--days", "1", "--start", "2006-08-01")
        frame = self.assert_as_converter(first, second)
        self.assertEqual(frame.index[0].month, 9)
        self.assertEqual(frame.index[-1].month, 8)

    def test_number_file_times(self):
        # Number files: two numbers give the time, the last is the sum of the others. The
        # first row's time is invalid (month 13), so it takes the next row's; the last row
        # has no valid time after it. Their values have no names but "col_<j>".
        numbers = self.write("numbers.txt", "1 49152 3 49156\n2052097 12352 5 2064454\n1 49152 4 49157\n")
        frame = self.assert_as_converter(numbers)
        expected = pd.Timestamp("2004-04-01 01:01:00", tz="UTC")
        self.assertEqual(list(frame.index[:2]), [expected, expected])
        self.assertTrue(pd.isna(frame.index[2]))

    def test_frame_form(self):
        frame = varno.read(make_log(self.path("a.vrn"), "--days", "1"))
        self.assertEqual(frame.index.name, "time")
        self.assertEqual(str(frame.index.tz), "UTC")
        self.assertTrue((frame.index.asi8 % 10**9 == 0).all())
        self.assertEqual(frame["period"].dtype, np.int8)
        self.assertTrue((frame["period"] == 0).all())
        self.assertTrue((frame.dtypes.iloc[1:] == np.float32).all())


class ColumnSetsTest(TempFolderTest):
    """Names that change between files or within one: the union of columns, NaN elsewhere."""

    def test_union_of_names_in_order(self):
        first = self.write("a.txt", '"date" "time" "a" "b"\n2006-08-01 00:00:00 1 2\n2006-08-01 00:10:00 3 4\n')
        second = self.write("b.txt", '"date" "time" "b" "c"\n2006-08-01 00:20:00 5 6\n')
        frame = varno.read([first, second])
        self.assertEqual(list(frame.columns), ["period", "a", "b", "c"])
        np.testing.assert_array_equal(frame["a"], [1, 3, np.nan])
        np.testing.assert_array_equal(frame["b"], [2, 4, 5])
        np.testing.assert_array_equal(frame["c"], [np.nan, np.nan, 6])

    def test_repeated_names_and_unnamed_values(self):
        table = self.write("a.txt", '"date" "time" "x" "x"\n'
                                    "2006-08-01 00:00:00 1 2 3\n"
                                    "2006-08-01 00:10:00 4\n")
        frame = varno.read(table)
        # A third value has no name in its set: it is "col_2", as GetValueByName calls it.
        self.assertEqual(list(frame.columns), ["period", "x", "x", "col_2"])
        np.testing.assert_array_equal(frame.iloc[:, 1:].to_numpy(), [[1, 2, 3], [4, np.nan, np.nan]])

    def test_rows_before_the_first_names_take_them(self):
        table = self.write("a.txt", '2006-08-01 00:00:00 1 2\n"date" "time" "p" "q"\n2006-08-01 00:10:00 3 4\n')
        frame = varno.read(table)
        self.assertEqual(list(frame.columns), ["period", "p", "q"])
        np.testing.assert_array_equal(frame[["p", "q"]].to_numpy(), [[1, 2], [3, 4]])


class SelectedColumnsTest(TempFolderTest):
    """columns= picks values as the converter's -d option does."""

    def test_as_converter(self):
        log = make_log(self.path("a.vrn"), "--days", "2")
        names = ["v1", "direction", "V2_MAX ", "col_3", "nothing", "col_99"]
        frame = varno.read(log, columns=names)
        self.assertEqual(list(frame.columns), ["period"] + names)
        self.assertEqual(frame_lines(frame), converter_lines("-d" + ",".join(names), "-f%.9g", log))
        self.assertTrue(frame["nothing"].isna().all())

    def test_names_in_one_text_as_for_the_option(self):
        log = make_log(self.path("a.vrn"), "--days", "1")
        pd.testing.assert_frame_equal(varno.read(log, columns="v1,direction"),
                                      varno.read(log, columns=["v1", "direction"]))
        pd.testing.assert_frame_equal(varno.read(log, columns=""), varno.read(log))

    def test_lookup_follows_each_rows_names(self):
        first = self.write("a.txt", '"date" "time" "speed_mean" "dir"\n2006-08-01 00:00:00 1 2\n')
        second = self.write("b.txt", '"date" "time" "dir" "speed_mean"\n2006-08-01 00:10:00 3 4\n')
        frame = varno.read([first, second], columns=["speed", "dir"])
        np.testing.assert_array_equal(frame[["speed", "dir"]].to_numpy(), [[1, 2], [4, 3]])


class TextsTest(TempFolderTest):
    def test_as_converter_lists_them(self):
        log = make_log(self.path("a.vrn"), "--days", "2")
        notes = varno.texts(log)
        # -v -t prints every entry: number, flags, names, time and the library's text.
        expected = []
        for line in converter_lines("-v", "-t", log):
            number, flags, _names, date, time, text = line.split(" ", 5)
            if not int(flags, 16) & 0x2000:
                expected.append((f"{date} {time}", int(flags, 16), text))
        got = [(time.strftime("%Y-%m-%d %H:%M:%S"), flags, text)
               for time, flags, text in zip(notes.index, notes["flags"], notes["text"])]
        self.assertEqual(got, expected)
        self.assertIn("Demo Station North", notes["text"].iloc[1])
        self.assertEqual(str(notes.index.tz), "UTC")

    def test_latin1_texts(self):
        table = self.write("a.txt", "# Station Bergstra\xdfe \xe9t\xe9\n2006-08-01 00:00:00 1\n")
        self.assertEqual(varno.texts(table)["text"].iloc[0], "# Station Bergstra\xdfe \xe9t\xe9")


if __name__ == "__main__":
    unittest.main()
