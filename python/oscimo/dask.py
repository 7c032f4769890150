"""Many recordings at once, on Dask: its default scheduler, or the cluster of the active
distributed.Client. The work is Dask tasks over oscimo's reader; nothing here schedules.

    oscimo.dask.stats_many("archive/*.bin")     # pandas: one row per recording
    oscimo.dask.read_many("archive/*.bin")      # dask.dataframe: every sample, named by recording

A path argument is a list of paths or one glob pattern (in name order).
"""
import glob
import os

import dask
import dask.dataframe
import pandas

from . import _read, stats

__all__ = ["read_many", "stats_many"]


def _paths(paths):
    if isinstance(paths, (str, bytes, os.PathLike)):
        pattern = os.fspath(paths)
        # A name without wildcards stays itself, so that a missing one fails as read fails.
        return sorted(glob.glob(pattern)) if glob.has_magic(pattern) else [pattern]
    return list(paths)


def _flat(report):
    """One row of the report: {"step": {"min": 1}} becomes step_min, column X's figures X_min."""
    row = {}
    for key, value in report.items():
        if key == "columns":
            for column in value:
                row.update((f"{column['name']}_{k}", v) for k, v in column.items() if k != "name")
        elif isinstance(value, dict):
            row.update((f"{key}_{k}", v) for k, v in value.items())
        else:
            row[key] = value
    return row


def _stats_rows(paths):
    return [_flat(stats(path)) for path in paths]


def stats_many(paths, per_task=64):
    """The health report of each recording (oscimo.stats), one row per recording in the order
    given, its figures flattened into columns (step_median, rate_hz_nominal, X_std, ...). Each
    task reports on per_task recordings. A recording that cannot be read raises, as in stats."""
    paths = _paths(paths)
    tasks = [dask.delayed(_stats_rows, pure=True)(paths[i:i + per_task])
             for i in range(0, len(paths), per_task)]
    rows = [row for part in dask.compute(*tasks) for row in part]
    frame = pandas.DataFrame(rows)
    # Stamps are unsigned 64-bit: a damaged one may pass int64's range.
    stamps = [name for name in ("first_stamp", "last_stamp") if name in frame]
    return frame.astype({name: "uint64" for name in stamps})


def _first_sample(path):
    return _read(path, 0, 1)


def _frame(recording, path, start):
    frame = recording.to_pandas()
    frame.insert(0, "recording", os.fsdecode(path))
    frame.index = pandas.RangeIndex(start, start + len(frame), name="sample")
    return frame


def _part(piece):
    path, start, count, base = piece
    return _frame(_read(path, start, count, base)[0], path, start)


def read_many(paths, rows=4_000_000):
    """Every sample of the recordings as one dask DataFrame: recording (its path), then the
    columns of Recording.to_pandas, indexed by the sample's number in its recording. One
    partition per recording, or per `rows` samples of a longer one. The recordings must share
    one layout (the stamps' unit, the values' count and width); each one's header and size are
    read here, its samples when the frame is computed."""
    paths = _paths(paths)
    if not paths:
        raise ValueError("no recordings to read")
    firsts = dask.compute(*[dask.delayed(_first_sample, pure=True)(path) for path in paths])
    layout = None
    pieces = []
    for path, (first, samples) in zip(paths, firsts):
        shape = (first.unit, first.values.shape[1], first.values.dtype)
        layout = layout or shape
        if shape != layout:
            raise ValueError(f"{os.fsdecode(path)}: stamps in {shape[0]}, {shape[1]} values of "
                             f"{shape[2]} differ from the first recording's ({layout[0]}, "
                             f"{layout[1]} of {layout[2]})")
        base = int(first.stamps[0])
        pieces += [(path, start, rows, base) for start in range(0, samples, rows)]
    # From what the workers read: the client may not see the files.
    meta = _frame(firsts[0][0], paths[0], 0).iloc[:0]
    return dask.dataframe.from_map(_part, pieces, meta=meta, label="oscimo-read",
                                   enforce_metadata=False)
