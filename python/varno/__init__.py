"""Data logs of varno instruments as pandas frames.

    import varno
    frame = varno.read(sorted(glob.glob("Tower/vrn/*.vrn")))
    speeds = varno.read("Tower/vrn/log.vrn", columns=["v1", "direction"])
    notes = varno.texts("Tower/vrn/log.vrn")

The files are loaded in the order given into one conversion object, exactly as the
converter `ostrel` loads its file arguments, so the frames hold the numbers it prints.
"""

import os
import warnings

import numpy as np
import pandas as pd

from . import _varno

__all__ = ["read", "texts", "LoadError", "NoEntriesWarning"]

# pandas before 2.0 keeps times in nanoseconds only: the arrays come in that unit there.
_TIME_UNIT = "s" if int(pd.__version__.split(".")[0]) >= 2 else "ns"


class LoadError(Exception):
    """A file did not load. `path` is the file as given, `message` what the library said."""

    def __init__(self, path, message):
        super().__init__(f"{message}: {os.fsdecode(path)}")
        self.path = path
        self.message = message

    def __reduce__(self):
        # Rebuilt from both, so that it crosses to another process (multiprocessing).
        return LoadError, (self.path, self.message)


class NoEntriesWarning(UserWarning):
    """A file loaded but gave no value entries."""


def read(paths, columns=None):
    """The value entries of one or more data logs (or number files, or the converter's own
    text tables) as a DataFrame.

    paths: a path or a list of paths, loaded in order into one object.
    columns: names of the values to give, looked up as the converter's -d option does
        ("v1" finds "v1_mean", "direction" finds "direction_mean360", "col_3" is the fourth
        value, an unknown name gives NaN); a string is split at commas like -d's value.
        None (or empty) gives every value column.

    The index, named "time", holds the entries' UTC times to the second (NaT where the log
    has no valid time); the first column, "period" (int8), is the 0 that the converter
    writes in every row; then one column per value, named as the converter names them, holding the
    library's values exactly: 32-bit floats (float32). Where the names change between files
    or measurements the columns are the union, and a row has NaN under names not its own.

    Raises LoadError when a file does not load: no frame is returned then. Warns with
    NoEntriesWarning of a file that gave no value entries, as the converter does.
    """
    given = _path_list(paths)
    times, names, values, empty = _call(given, _varno.read_values, _selection(columns), _TIME_UNIT)
    for k in empty:
        warnings.warn(f"no entries read from {os.fsdecode(given[k])}", NoEntriesWarning, stacklevel=2)
    index = _time_index(times)
    frame = pd.DataFrame(values.T, index=index, columns=names, copy=False)
    # A small integer type: pandas copies the column in, and it holds nothing but 0.
    frame.insert(0, "period", np.zeros(len(index), dtype=np.int8), allow_duplicates=True)
    return frame


def texts(paths):
    """The text entries (identification, header, clock, marker and column lines, warnings
    of the decoder) of one or more data logs as a DataFrame indexed by UTC time, with the
    columns "flags" (the entry's LOGF_ flags) and "text" (Latin-1 decoded)."""
    given = _path_list(paths)
    times, flags, lines = _call(given, _varno.read_texts, _TIME_UNIT)
    return pd.DataFrame({"flags": flags, "text": pd.array(lines, dtype=object)}, index=_time_index(times))


def _path_list(paths):
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    return list(paths)


def _selection(columns):
    if columns is None:
        return []
    if isinstance(columns, str):
        return columns.split(",") if columns else []
    return [str(name) for name in columns]


def _call(paths, function, *arguments):
    try:
        return function([os.fsencode(path) for path in paths], *arguments)
    except _varno.LoadFailure as failure:
        index, message = failure.args
        raise LoadError(paths[index], message) from None


def _time_index(times):
    return pd.DatetimeIndex(times, name="time").tz_localize("UTC")
