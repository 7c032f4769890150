"""oscimo.dask on Dask's default scheduler: the same figures and samples as one recording at a
time."""
import os

import pandas
import pytest

import oscimo
import oscimo.dask
from conftest import generate


def test_stats_many_flattens_each_report(archive):
    frame = oscimo.dask.stats_many(os.path.join(os.path.dirname(archive[0]), "*.bin"), per_task=7)
    assert list(frame["recording"]) == archive
    for row, path in zip(frame.itertuples(index=False), archive):
        report = oscimo.stats(path)
        assert (row.samples, row.step_median, row.gaps_count, row.backward_first_at,
                row.X_std, row.first_stamp) == (
            report["samples"], report["step"]["median"], report["gaps"]["count"],
            report["backward"]["first_at"], report["columns"][0]["std"], report["first_stamp"])
        if len(report["columns"]) == 3:
            assert row.Z_mean == report["columns"][2]["mean"]
        else:
            assert pandas.isna(row.Z_mean)
    assert frame["first_stamp"].dtype == "uint64"


def test_read_many_partitions_by_recording_and_block(tmp_path):
    paths = [generate(tmp_path / f"{i}.bin", "--samples", str(n), "--seed", str(i))
             for i, n in enumerate([5, 40, 1])]
    frame = oscimo.dask.read_many(paths, rows=16)
    assert frame.npartitions == 1 + 3 + 1
    computed = frame.compute()
    expected = []
    for path in paths:
        part = oscimo.read(path).to_pandas()
        part.insert(0, "recording", path)
        part.index = pandas.RangeIndex(len(part), name="sample")
        expected.append(part)
    pandas.testing.assert_frame_equal(computed, pandas.concat(expected), check_exact=True)


def test_read_many_refuses_mixed_layouts(tmp_path):
    paths = [generate(tmp_path / "a.bin"), generate(tmp_path / "b.bin", "--type", "speed")]
    with pytest.raises(ValueError, match="b.bin: stamps in ms, 1 values of float32 differ"):
        oscimo.dask.read_many(paths)
    with pytest.raises(oscimo.RecordingError):
        oscimo.dask.read_many([generate(tmp_path / "c.bin", "--family", "F")])
