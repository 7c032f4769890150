"""oscimo against oscimo2csv: every layout number for number, every damage with the same reason."""
import errno
import io
import json
import os

import numpy
import pandas
import pytest

import oscimo
from conftest import converter, generate

CORPUS = os.path.join(os.path.dirname(__file__), "../../tests/corpus")

GENERATED = [  # name, generator options: every layout, then every way a recording is damaged
    ("acceleration", ["--type", "acceleration", "--back-every", "9"]),
    ("gravity-version-1", ["--type", "gravity", "--version", "1"]),
    ("gyroscope", ["--type", "gyroscope", "--gap-every", "4"]),
    ("linear_acceleration", ["--type", "linear_acceleration"]),
    ("TLocation", ["--type", "TLocation", "--back-every", "5", "--tail", "31"]),
    ("speed", ["--type", "speed", "--gap-every", "3"]),
    ("other-type", ["--type", "light", "--samples", "1"]),
    ("label-bytes", ["--label", os.fsdecode(b"L\xc3\xa4ufer\xff\x1b")]),
    ("many-blocks", ["--samples", "70000", "--tail", "11"]),
    ("family", ["--family", "Morvanez"]),
    ("variant", ["--variant", "B"]),
    ("version", ["--version", "3"]),
    ("signature", ["--signature", "Tavomix"]),
    ("version-1-TLocation", ["--version", "1", "--type", "TLocation"]),
    ("label-1024-bytes", ["--label", "x" * 1024]),
    ("no-complete-sample", ["--samples", "0", "--tail", "19"]),
]
CASES = [("corpus/" + name, None) for name in sorted(os.listdir(CORPUS))] + GENERATED


@pytest.fixture(params=CASES, ids=[name for name, _ in CASES])
def recording(request, tmp_path):
    name, options = request.param
    if options is None:
        return os.path.join(CORPUS, name[len("corpus/"):])
    return generate(tmp_path / "r.bin", *options)


def test_agrees_with_the_converter(recording):
    csv, reason = converter("--stamps", "--round-trip", "-q", "-o", "-", recording)
    report, report_reason = converter("--stats", "--json", recording)
    if reason:
        assert report_reason == reason
        for call in (oscimo.read, oscimo.stats, lambda path: next(oscimo.blocks(path))):
            with pytest.raises(oscimo.RecordingError) as raised:
                call(recording)
            assert (str(raised.value), raised.value.filename) == (reason, recording)
        return
    rec = oscimo.read(recording)
    stamp = f"Stamp({rec.unit})"
    columns = {stamp: "uint64", "Time(s)": "float64", **dict.fromkeys(rec.columns, "float64")}
    expected = pandas.read_csv(io.BytesIO(csv), dtype=columns, float_precision="round_trip")
    expected[list(rec.columns)] = expected[list(rec.columns)].astype(rec.values.dtype)
    frame = rec.to_pandas()
    pandas.testing.assert_frame_equal(frame, expected, check_exact=True)
    assert rec.values.dtype == (numpy.float64 if rec.sensor == "TLocation" else numpy.float32)
    report = json.loads(report)
    assert oscimo.stats(recording) == report
    assert (rec.header, len(rec)) == (report["header"], report["samples"])

    rows = len(rec) // 3 + 1
    parts = list(oscimo.blocks(recording, rows=rows))
    assert [len(part) for part in parts] == [min(rows, len(rec) - start)
                                              for start in range(0, len(rec), rows)]
    joined = pandas.concat([part.to_pandas() for part in parts], ignore_index=True)
    pandas.testing.assert_frame_equal(joined, frame, check_exact=True)


def test_header_tokens(tmp_path):
    rec = oscimo.read(generate(tmp_path / "r.bin", "--type", "speed", "--version", "1",
                               "--label", "walk", "--samples", "3"))
    assert (rec.header, rec.version, rec.sensor, rec.label, rec.unit, rec.columns,
            rec.values.shape) == ("Tavomir Morvanex A 1 speed walk", "1", "speed", "walk", "ms",
                                  ("X",), (3, 1))


@pytest.mark.parametrize("name, errno_", [("missing.bin", errno.ENOENT), ("", errno.EISDIR),
                                          ("pipe", errno.EINVAL), ("a\0b", errno.EINVAL)])
def test_system_failures_are_os_errors(tmp_path, name, errno_):
    path = os.path.join(tmp_path, name)
    if name == "pipe":
        os.mkfifo(path)
    for call in (oscimo.read, oscimo.stats, lambda p: next(oscimo.blocks(p))):
        with pytest.raises(OSError) as raised:
            call(path)
        assert (raised.value.errno, raised.value.filename) == (errno_, path)
        assert raised.value.strerror == "cannot open: " + os.strerror(errno_)
    if name == "missing.bin":
        assert converter(path)[1] == raised.value.strerror
