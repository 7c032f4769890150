"""Sensor recordings as numpy arrays and pandas DataFrames, read by oscimo2csv's own reader.

    rec = oscimo.read("walk.bin")
    rec.stamps, rec.time, rec.values      # uint64; float64 seconds; (n, 1) or (n, 3) as recorded
    rec.to_pandas()                        # Stamp(ns), Time(s), X, Y, Z
    oscimo.stats("walk.bin")               # oscimo2csv --stats --json, as a dict
    for part in oscimo.blocks("big.bin", rows=1_000_000): ...

A file that is no readable recording raises RecordingError (a ValueError) with the converter's
reason; a failure of the system raises OSError with errno and filename. `oscimo.dask` reads and
reports on many recordings at once.
"""
import importlib
import json
import os

from . import _core
from ._core import RecordingError

__version__ = _core.__version__
__all__ = ["Recording", "RecordingError", "blocks", "read", "stats"]

_COLUMNS = ("X", "Y", "Z")


class Recording:
    """A recording's header and samples, or those of a slice of it (see blocks).

    header: the header line as oscimo2csv --summary shows it; sensor, label, version: its tokens;
    unit: "ns" or "ms", what the stamps count; stamps: uint64 as recorded; time: float64 seconds
    since the recording's first sample, the CSV's Time(s); values: (n, 1) or (n, 3), float32 or
    float64 as recorded; columns: the values' names.
    """

    def __init__(self, header, unit, stamps, time, values):
        self.header, self.unit = header, unit
        self.stamps, self.time, self.values = stamps, time, values
        _, _, _, self.version, self.sensor, self.label = header.split(" ", 5)
        self.columns = _COLUMNS[:values.shape[1]]

    def __len__(self):
        return len(self.stamps)

    def __repr__(self):
        return f"<oscimo.Recording {self.header!r}: {len(self)} samples>"

    def to_pandas(self):
        """A DataFrame: Stamp(ns) or Stamp(ms), Time(s), X[, Y, Z]. The stamps and times are
        the arrays themselves; pandas copies the values once, into one block."""
        import pandas

        frame = {f"Stamp({self.unit})": self.stamps, "Time(s)": self.time}
        frame.update(zip(self.columns, self.values.T))
        return pandas.DataFrame(frame, copy=False)


def _read(path, start=0, count=None, base=None):
    """Samples start..start+count of a recording, and how many its size holds from start."""
    header, unit, stamps, time, values, remaining = _core.read(os.fsencode(path), start, count,
                                                               base)
    return Recording(header, unit, stamps, time, values), remaining


def read(path):
    """Every complete sample of a recording; an incomplete last one is left out, as the
    converter leaves it."""
    return _read(path)[0]


def blocks(path, rows=1_000_000):
    """The recording in slices of `rows` samples (the last may be shorter), read one at a time:
    memory holds one slice, whatever the recording's size. Each slice's time counts from the
    recording's first sample."""
    if rows < 1:
        raise ValueError("rows must be at least 1")
    start, base = 0, None
    while True:
        part, remaining = _read(path, start, rows, base)
        yield part
        if len(part) < rows or len(part) == remaining:
            return
        if base is None:
            base = int(part.stamps[0])
        start += rows


def stats(path):
    """The health report, with the keys and values of `oscimo2csv --stats --json PATH`."""
    return json.loads(_core.stats_json(os.fsencode(path)))


def __getattr__(name):
    # oscimo.dask imports dask, which takes a while: only when asked for.
    if name == "dask":
        return importlib.import_module(".dask", __name__)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
