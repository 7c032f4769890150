#!/usr/bin/env python3
"""Runs every benchmark and prints the tables the README shows (medians of several runs, all
figures from this one run: these machines are noisy, so only ratios within a run mean much). The
rows held to a bound against another command take each command's least time over the runs: on
a shared machine other work only ever adds time, so the least is nearest each command's own cost,
and both sides of every bound are taken alike.

    run_benchmarks.py --native build/native [--win64 build/win64] [--win32 build/win32]
                      [--runs 5] [--out FILE] [--scale-only] [--instructions-only]
                      [--analysis-only] [--python-only]

The scale rows (many recordings, one larger than the converter's memory), the formatter's
instructions per cell and the analysis rows (--stats and --plot at least 3 times the speed of the
CSV conversion of the same recording) and the Python package's read (at most 1.2 times numpy's
fromfile of the same bytes) each have bounds; when one breaks, the tables are still
written and the run exits 1 naming the row and the bound.
"""
import argparse
import glob
import hashlib
import json
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import time
import types

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIB = 1024 * 1024

RECORDINGS = [  # name, sensor type, samples
    ("acceleration-1M", "acceleration", 1_000_000),
    ("acceleration-10M", "acceleration", 10_000_000),
    ("TLocation-1M", "TLocation", 1_000_000),
    ("speed-1M", "speed", 1_000_000),
]

# Sensor type, bounds on the formatter's and on the whole run's instructions per six-digit cell.
# Callgrind runs the converter about fifty times slower: a small recording keeps the row quick,
# and large enough that the program's start (about 4 instructions a cell here) weighs little.
INSTRUCTION_ROWS = [("acceleration", 50, 80), ("TLocation", 70, 80)]
INSTRUCTION_SAMPLES = 100_000

SCALE_COUNT = 10_000  # recordings of the generator's mix, a third of them damaged
BIG_SAMPLES = (1 << 30) // 20  # a gigabyte of acceleration samples, 20 bytes each
BIG_HEADER = b"Tavomir Morvanex A 2 acceleration zeros\n"


def timed(command, runs, stdout=subprocess.DEVNULL, before=None):
    """Median wall and CPU seconds and peak RSS (KiB) of a command over several runs. Wall and
    CPU time come from this process's clocks (time(1) rounds to 10 ms); time(1) gives the RSS."""
    walls, cpus, rss = [], [], []
    with tempfile.NamedTemporaryFile("r") as report:
        for _ in range(runs):
            if before:
                before()
            usage = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command,
                           check=True, stdout=stdout)
            walls.append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpus.append(after.ru_utime - usage.ru_utime + after.ru_stime - usage.ru_stime)
            rss.append(int(open(report.name).read().split()[-1]))
    return statistics.median(walls), statistics.median(cpus), max(rss)


def digest(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def recordings(native, data):
    os.makedirs(data, exist_ok=True)
    paths = {}
    for name, kind, samples in RECORDINGS:
        path = os.path.join(data, name + ".bin")
        if not os.path.exists(path):
            subprocess.run([os.path.join(native, "bin", "oscimo-gen"), "--type", kind,
                            "--samples", str(samples), path], check=True)
        paths[name] = (path, samples)
    return paths


def conversion_table(native, paths, runs, out_dir):
    bin_dir = os.path.join(native, "bin")
    tools = [
        ("oscimo2csv", lambda i, o: [os.path.join(bin_dir, "oscimo2csv"), "-q", "-o", o, i]),
        ("baseline 1: unbuffered writes", lambda i, o: [os.path.join(bin_dir, "baseline_convert"),
                                                       "--unbuffered", i, o]),
        ("baseline 2: stdio", lambda i, o: [os.path.join(bin_dir, "baseline_convert"), "--stdio",
                                            i, o]),
        # Debian's interpreter: its numpy and pandas come from Debian's packages.
        ("baseline 3: numpy + pandas", lambda i, o: ["/usr/bin/python3",
                                                     os.path.join(ROOT, "bench", "baseline_numpy.py"),
                                                     i, o]),
    ]
    lines = ["| recording | converter | wall s | CPU s | rows/s | MB/s in | MB/s out | peak RSS MiB "
             "| ours faster by | bytes |",
             "|---|---|---:|---:|---:|---:|---:|---:|---:|---|"]
    ratios = {}
    for name in ("acceleration-1M", "TLocation-1M", "speed-1M", "acceleration-10M"):
        path, samples = paths[name]
        size_in = os.path.getsize(path)
        reference, ours_wall = None, None
        for label, command in tools:
            if name.endswith("10M") and label != "oscimo2csv":
                continue  # the baselines would take minutes here; the 10M case shows memory
            out = os.path.join(out_dir, "out.csv")
            # Every run writes a new file, as a first conversion does.
            wall, cpu, rss = timed(command(path, out), runs,
                                   before=lambda: os.path.exists(out) and os.remove(out))
            size_out = os.path.getsize(out)
            same = digest(out)
            if reference is None:
                reference, ours_wall = same, wall
            verdict = "identical" if same == reference else "DIFFERENT"
            ratio = "" if label == "oscimo2csv" else f"{wall / ours_wall:.1f}x"
            ratios[(name, label)] = wall / ours_wall
            lines.append(f"| {name} | {label} | {wall:.3f} | {cpu:.3f} | {samples / wall:,.0f} | "
                         f"{size_in / MIB / wall:.1f} | {size_out / MIB / wall:.1f} | {rss / 1024:.1f} "
                         f"| {ratio} | {verdict} |")
    return lines, ratios


def load_table(native, win64, paths, runs):
    lines = ["| recording | what | wall s (median) | MB/s | peak RSS MiB | memory bound MiB |",
             "|---|---|---:|---:|---:|---:|"]
    loader = os.path.join(native, "bin", "load_benchmark")
    for name in ("acceleration-1M", "acceleration-10M"):
        path, samples = paths[name]
        size = os.path.getsize(path)
        subprocess.run(["cat", path], check=True, stdout=subprocess.DEVNULL)  # warm the cache
        with open(os.devnull, "wb") as sink:
            cat_wall, _, cat_rss = timed(["cat", path], runs, stdout=sink)
        load_wall, _, load_rss = timed([loader, path], runs)
        bound = (1.1 * 32 * samples + 8 * MIB) / MIB
        lines.append(f"| {name} | `cat FILE > /dev/null` | {cat_wall:.3f} | "
                     f"{size / MIB / max(cat_wall, 1e-3):.0f} | {cat_rss / 1024:.1f} | |")
        lines.append(f"| {name} | load into memory | {load_wall:.3f} | "
                     f"{size / MIB / max(load_wall, 1e-3):.0f} | {load_rss / 1024:.1f} | "
                     f"{bound:.1f} |")
    return lines


DIALOG_BOUND = 0.6  # the dialog's export against one CsvWriter on one thread...


def dialog_path_table(native, windows, paths, runs, out_dir, broken, limits):
    """Load plus export of the 1M acceleration recording through the dialog's code path, over a
    file. The export is to take DIALOG_BOUND of the one-thread writer's time, or where the
    machine's two cores cannot give that, the share the limit table owes two threads (limits: its
    dd wall time and speed-up for the recording); unless the export is already at the physical
    limit of a durable write, within DURABLE_BOUND of dd conv=fsync of the same CSV."""
    path, _ = paths["acceleration-1M"]
    durable, need = limits
    bound = max(DIALOG_BOUND, 1 / need)
    rows = []
    programs = [("native (Linux, g++)", [os.path.join(native, "bin", "load_benchmark")])]
    for label, build in windows:
        programs.append((label, [os.path.join(ROOT, "scripts", "wine-run"),
                                 "--prefix", os.path.join(build, "wineprefix"),
                                 os.path.join(build, "bin", "load_benchmark.exe")]))
    limit = durable * 1000
    lines = ["| build | load ms (least) | export ms, one thread as before (least) | "
             "export ms (least) | export time against before | against dd conv=fsync | bound |",
             "|---|---:|---:|---:|---:|---:|---|"]
    for label, command in programs:
        loads, exports, before = [], [], []
        for _ in range(runs):
            target = os.path.join(out_dir, "dialog.csv")
            if "wine" in label:
                run_path, run_target = "Z:" + path, "Z:" + target
            else:
                run_path, run_target = path, target
            output = subprocess.run(command + [run_path, run_target], check=True,
                                    capture_output=True, text=True).stdout.split()
            loads.append(float(output[3]))
            exports.append(float(output[5]))
            before.append(float(output[7]))
        export, one_thread = min(exports), min(before)
        if export / one_thread > bound and export / limit > DURABLE_BOUND:
            broken.append(f'dialog row "{label}": the export takes {export / one_thread:.2f} of '
                          f"the one-thread writer's time, over its bound of {bound:.2f}, and "
                          f"{export / limit:.2f}x a durable copy, over {DURABLE_BOUND}x")
        lines.append(f"| {label} | {min(loads):.0f} | {one_thread:.0f} | "
                     f"{export:.0f} | {export / one_thread:.2f} | {export / limit:.2f} | "
                     f"{bound:.2f} of before, or {DURABLE_BOUND}x dd |")
    return lines


def formatter_table(native, runs):
    result = subprocess.run([os.path.join(native, "bin", "number_cell_benchmark"),
                             f"--benchmark_repetitions={runs}",
                             "--benchmark_report_aggregates_only=true",
                             "--benchmark_format=json"], check=True, capture_output=True, text=True)
    medians = {b["run_name"]: b for b in json.loads(result.stdout)["benchmarks"]
               if b.get("aggregate_name") == "median"}
    per_value = {name: 1e9 / bench["items_per_second"] for name, bench in medians.items()}
    reference = next((ns for name, ns in per_value.items() if "ToChars" in name), None)
    lines = ["| cell formatter | ns per value (median) | relative to to_chars |", "|---|---:|---:|"]
    for name, ns in sorted(per_value.items()):
        relative = f"{ns / reference:.2f}" if reference else ""
        lines.append(f"| {name} | {ns:.1f} | {relative} |")
    return lines


def instruction_table(native, work, broken):
    """Instructions per cell (callgrind) converting a small recording of each type: the
    formatter's, FormatNumberCell with all it calls, and the whole run's. A formatter figure over
    its bound is added to broken."""
    bin_dir = os.path.join(native, "bin")
    lines = ["| recording | formatter instructions per cell | bound | whole run per cell | bound |",
             "|---|---:|---:|---:|---:|"]
    for kind, bound, whole_bound in INSTRUCTION_ROWS:
        path, profile = os.path.join(work, kind + ".bin"), os.path.join(work, kind + ".callgrind")
        subprocess.run([os.path.join(bin_dir, "oscimo-gen"), "--type", kind, "--samples",
                        str(INSTRUCTION_SAMPLES), path], check=True)
        subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={profile}",
                        os.path.join(bin_dir, "oscimo2csv"), "-q", "-o", "-", path],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        report = subprocess.run(["callgrind_annotate", "--inclusive=yes", profile], check=True,
                                capture_output=True, text=True).stdout
        count = {name: int(re.search(rf"^\s*([\d,]+) .*{pattern}", report, re.M).group(1)
                           .replace(",", ""))
                 for name, pattern in (("total", "PROGRAM TOTALS"),
                                       ("formatter", r"FormatNumberCell\(double, char\*\)"))}
        cells = 4 * INSTRUCTION_SAMPLES  # a time and three values a sample
        per_cell, whole = count["formatter"] / cells, count["total"] / cells
        for what, figure, limit in (("formatter", per_cell, bound), ("whole run", whole,
                                                                      whole_bound)):
            if figure > limit:
                broken.append(f'instructions row "{kind}": {figure:.1f} {what} instructions per '
                              f"cell is over its bound of {limit}")
        lines.append(f"| {kind}, {INSTRUCTION_SAMPLES:,} samples | {per_cell:.1f} | {bound} | "
                     f"{whole:.1f} | {whole_bound} |")
    return lines


LIMIT_RECORDINGS = ("acceleration-1M", "acceleration-10M")
DURABLE_BOUND = 1.2  # converting over a file against the physical limit of doing so
THREADS_BOUND = 1.7  # two formatting threads against one...
THREADS_SHARE = 0.9  # ...or this share of what two one-thread conversions side by side gain


def limit_table(native, paths, runs, out_dir, broken, limits):
    """The conversion against its physical limits, all rows in turn so that the machine's load
    weighs on all alike. Over an existing file the CSV is flushed before the rename: its limit is
    the larger of a durable copy of the same CSV (dd conv=fsync) and the CPU work of formatting
    and copying it shared by the cores. Into /dev/null, two formatting threads against one; their
    limit is what two one-thread conversions side by side gain, the machine's own two-core speed.
    A row over its bound is added to broken; limits gets each recording's dd wall time and the
    speed-up two threads owe."""
    converter = os.path.join(native, "bin", "oscimo2csv")
    cores = os.cpu_count()
    lines = ["| recording | what | wall s (least) | CPU s (least) | against the limit | bound |",
             "|---|---|---:|---:|---:|---|"]
    for name in LIMIT_RECORDINGS:
        path, _ = paths[name]
        csv, copy, target = (os.path.join(out_dir, f) for f in ("limit.csv", "dd.csv", "target.csv"))
        subprocess.run([converter, "-q", "-f", "-o", csv, path], check=True)
        for made in (copy, target):
            subprocess.run(["cp", csv, made], check=True)
        null = [converter, "-q", "-o", "-", path]
        rows = [("`dd conv=fsync` of the CSV over a file", ["dd", f"if={csv}", f"of={copy}", "bs=1M",
                                                           "conv=fsync", "status=none"]),
                ("`-f -o FILE` over a file", [converter, "-q", "-f", "-o", target, path]),
                (f"`-o -` to /dev/null (every core: {cores})", null),
                ("`-o -` to /dev/null, `--threads 1`", null[:2] + ["--threads", "1"] + null[2:]),
                ("`-o -` to /dev/null, `--threads 2`", null[:2] + ["--threads", "2"] + null[2:]),
                ("two `--threads 1` side by side", ["/bin/sh", "-c", '"$@" & "$@"; wait', "sh"]
                 + null[:2] + ["--threads", "1"] + null[2:])]
        figures = {label: ([], []) for label, _ in rows}
        for _ in range(runs):
            for label, command in rows:
                for values, value in zip(figures[label], measured(command)):
                    values.append(value)
        wall = {label: min(figures[label][0]) for label, _ in rows}
        cpu = {label: min(figures[label][1]) for label, _ in rows}
        dd, over, every, one, two, pair = (label for label, _ in rows)
        limit = max(wall[dd], (cpu[every] + cpu[dd]) / cores)
        capacity = 2 * wall[one] / wall[pair]
        need = min(THREADS_BOUND, THREADS_SHARE * capacity)
        limits[name] = wall[dd], need
        durable, faster = wall[over] / limit, wall[one] / wall[two]
        if durable > DURABLE_BOUND:
            broken.append(f'limit row "{over}" ({name}): {durable:.2f}x its physical limit (the '
                          f"larger of dd and the cores' CPU work), over {DURABLE_BOUND}x")
        if faster < need:
            broken.append(f'limit row "{two}" ({name}): {faster:.2f}x faster than one thread, '
                          f"under {need:.2f}x")
        shown = {over: (f"{durable:.2f}", f"{DURABLE_BOUND}x the limit"),
                 two: (f"{faster:.2f}x faster", f"{need:.2f}x faster than one thread"),
                 pair: (f"gain {capacity:.2f}x", "")}
        for label, _ in rows:
            figure, bound = shown.get(label, ("", ""))
            lines.append(f"| {name} | {label} | {wall[label]:.3f} | {cpu[label]:.3f} | {figure} | "
                         f"{bound} |")
        lines.append(f"| {name} | the limit over a file | {limit:.3f} | | | |")
    return lines


def limit_and_dialog_tables(native, windows, paths, runs, out_dir, broken):
    """The limit table, then the dialog's, whose bound follows from the limit table's figures for
    acceleration-1M."""
    limits = {}
    limit = limit_table(native, paths, runs, out_dir, broken, limits)
    return limit, dialog_path_table(native, windows, paths, runs, out_dir, broken,
                                    limits["acceleration-1M"])


WINE_REPEATS = 6


def wine_converter_table(windows, paths, runs, out_dir, broken):
    """The Windows converters under Wine on the same recording. Wine's start varies by seconds
    from run to run, so each figure is the difference between one process converting the
    recording WINE_REPEATS times and one converting it once, per conversion; the start's delays
    only ever add, so each of the two is the least of the runs. The release (i686) may lose
    against win64 what its instruction set costs number formatting and no more: the bound is what
    the toolchain's own to_chars loses (format_reference, the least of the runs)."""
    path, samples = paths["acceleration-1M"]
    recording = os.path.join(out_dir, "wine.bin")
    if not os.path.exists(recording):
        os.link(path, recording)
    lines = ["| build | conversion s (least) | rows/s | against win64 | to_chars ns per value "
             "(least) | against win64 | bound |", "|---|---:|---:|---:|---:|---:|---|"]
    figures, formatting = {}, {}
    for label, build in windows:
        wine = [os.path.join(ROOT, "scripts", "wine-run"), "--prefix",
                os.path.join(build, "wineprefix")]
        converter = wine + [os.path.join(build, "bin", "oscimo2csv.exe"), "-q", "-f"]
        once, many, per_value = [], [], []
        for _ in range(runs):
            once.append(measured(converter + ["Z:" + recording])[0])
            many.append(measured(converter + ["Z:" + recording] * WINE_REPEATS)[0])
            output = subprocess.run(wine + [os.path.join(build, "bin", "format_reference.exe")],
                                    check=True, capture_output=True, text=True).stdout.split()
            per_value.append(float(output[1]))
        figures[label] = (min(many) - min(once)) / (WINE_REPEATS - 1)
        formatting[label] = min(per_value)
    reference = next(iter(figures.values()), None)
    reference_formatting = next(iter(formatting.values()), None)
    for label, conversion in figures.items():
        ratio, bound = conversion / reference, formatting[label] / reference_formatting
        shown = "" if label.startswith("win64") else f"{bound:.2f}x, as to_chars"
        if shown and ratio > bound:
            broken.append(f'Wine row "{label}": {ratio:.2f}x the win64 converter, over the '
                          f"{bound:.2f}x its instruction set costs to_chars")
        lines.append(f"| {label} | {conversion:.3f} | {samples / conversion:,.0f} | {ratio:.2f} | "
                     f"{formatting[label]:.1f} | {bound:.2f} | {shown} |")
    return lines


ANALYSIS_SPEED_UP = 3  # --stats and --plot against the CSV conversion of the same recording


def measured(command):
    """Wall and CPU seconds of one run, from the process's own accounting: no time(1) in between,
    whose start-up would weigh on runs of a few milliseconds. (Its peak RSS would count the
    forked interpreter: time(1) measures that apart.)"""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise subprocess.CalledProcessError(os.waitstatus_to_exitcode(status), command)
    return wall, usage.ru_utime + usage.ru_stime


def analysis_table(native, paths, runs, out_dir, broken):
    """--stats and --plot against the CSV conversion, run in turn so that the machine's load
    weighs on all three alike; each mode must take at most a third of the conversion's time."""
    converter = os.path.join(native, "bin", "oscimo2csv")
    out_csv, out_svg = os.path.join(out_dir, "out.csv"), os.path.join(out_dir, "out.svg")
    modes = [("CSV", lambda i: [converter, "-q", "-f", "-o", out_csv, i]),
             ("--stats", lambda i: [converter, "--stats", i]),
             ("--stats --json", lambda i: [converter, "--stats", "--json", i]),
             ("--plot", lambda i: [converter, "-q", "-f", "--plot", "-o", out_svg, i])]
    lines = ["| recording | mode | wall s (least) | CPU s (least) | peak RSS MiB | "
             "faster than CSV by | bound |", "|---|---|---:|---:|---:|---:|---|"]
    for name in ("acceleration-1M", "TLocation-1M", "speed-1M", "acceleration-10M"):
        path, _ = paths[name]
        figures = {label: ([], []) for label, _ in modes}
        for _ in range(runs):
            for label, command in modes:
                for values, value in zip(figures[label], measured(command(path))):
                    values.append(value)
        csv_wall = min(figures["CSV"][0])
        for label, command in modes:
            walls, cpus = figures[label]
            rss = timed(command(path), 1)[2]
            wall = min(walls)
            ratio, bound = csv_wall / wall, "" if label == "CSV" else f"{ANALYSIS_SPEED_UP}x"
            if label != "CSV" and ratio < ANALYSIS_SPEED_UP:
                broken.append(f'analysis row "{label}" ({name}): {ratio:.1f}x faster than the '
                              f"CSV conversion, under the bound of {ANALYSIS_SPEED_UP}x")
            shown = "" if label == "CSV" else f"{ratio:.1f}x"
            lines.append(f"| {name} | {label} | {wall:.3f} | {min(cpus):.3f} | "
                         f"{rss / 1024:.1f} | {shown} | {bound} |")
    return lines


PYTHON_READ_BOUND = 1.2  # oscimo.read against numpy.fromfile plus the byte swap
PYTHON_SMALL = 1000  # small recordings for stats_many


def python_table(native, paths, runs, out_dir, broken):
    """The Python package: read of 10M acceleration samples against numpy.fromfile with the
    record type plus conversion to native order (at most 1.2 times) and against pandas.read_csv
    of our CSV; stats_many over 1,000 small recordings with one worker process and with two."""
    path, _ = paths["acceleration-10M"]
    csv = os.path.join(out_dir, "python.csv")
    subprocess.run([os.path.join(native, "bin", "oscimo2csv"), "-q", "-f", "-o", csv, path],
                   check=True)
    small = os.path.join(native, "bench-data", "python-small")
    if len(glob.glob(os.path.join(small, "*.bin"))) != PYTHON_SMALL:
        os.makedirs(small, exist_ok=True)
        for i in range(PYTHON_SMALL):
            subprocess.run([os.path.join(native, "bin", "oscimo-gen"), "--samples", "1000",
                            "--seed", str(i), os.path.join(small, f"{i:04}.bin")], check=True)
    output = subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "bench", "python_benchmark.py"),
                             path, csv, small, str(runs)], check=True, capture_output=True,
                            text=True, env=dict(os.environ, PYTHONPATH=os.path.join(native, "python")))
    f = json.loads(output.stdout)
    os.remove(csv)
    ratio = f["read_s"] / f["fromfile_s"]
    if ratio > PYTHON_READ_BOUND or not f["same_values"]:
        broken.append(f'Python row "oscimo.read": {ratio:.2f}x numpy.fromfile (bound '
                      f'{PYTHON_READ_BOUND}x), values {"equal" if f["same_values"] else "DIFFERENT"}')
    if not f["stats_equal"]:
        broken.append("Python row stats_many: one and two workers reported differently")
    rate = f["samples"] / f["read_s"]
    lines = ["| acceleration-10M | CPU s (median) | samples/s | against oscimo.read | bound |",
             "|---|---:|---:|---:|---|",
             f"| oscimo.read | {f['read_s']:.3f} | {rate:,.0f} | 1.00 | |",
             f"| numpy.fromfile + native order | {f['fromfile_s']:.3f} | "
             f"{f['samples'] / f['fromfile_s']:,.0f} | {f['fromfile_s'] / f['read_s']:.2f} | "
             f"oscimo.read at most {PYTHON_READ_BOUND}x: {ratio:.2f}x |",
             f"| pandas.read_csv of the CSV | {f['read_csv_s']:.3f} | "
             f"{f['samples'] / f['read_csv_s']:,.0f} | {f['read_csv_s'] / f['read_s']:.1f} | |",
             "", f"| stats_many, {f['files']:,} recordings of 1,000 samples | files/s | speed-up |",
             "|---|---:|---:|",
             f"| 1 worker process | {f['files_per_s_1']:,.0f} | 1.00 |",
             f"| 2 worker processes | {f['files_per_s_2']:,.0f} | "
             f"{f['files_per_s_2'] / f['files_per_s_1']:.2f} |"]
    return lines


def run_once(command):
    """One run of command: wall seconds, peak RSS in MiB, exit status, the size of standard output
    and its start (outputs here reach a gigabyte: counted, not kept), and standard error."""
    with tempfile.NamedTemporaryFile("r") as report, tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report.name] + command,
                                   stdout=subprocess.PIPE, stderr=err)
        head, size = b"", 0
        for chunk in iter(lambda: process.stdout.read(1 << 20), b""):
            head, size = head or chunk[:4096], size + len(chunk)
        status = process.wait()
        wall = time.perf_counter() - start
        err.seek(0)
        return types.SimpleNamespace(
            wall=wall, rss=int(report.read().split()[-1]) / 1024, status=status, size=size,
            out=head.decode(errors="replace"), err=err.read().decode(errors="replace"))


def limited(limit, program, *arguments):
    """program under a shell limit such as "-n 64"; exec keeps it the process measured."""
    return ["/bin/sh", "-c", f'ulimit {limit} && exec "$0" "$@"', program] + list(arguments)


def csv_lines(path):
    """The lines of a CSV file; None when there is none."""
    try:
        with open(path, "rb") as file:
            return file.read().count(b"\n")
    except FileNotFoundError:
        return None


class ScaleRows:
    """The scale table's lines, and every result or bound its rows broke."""

    def __init__(self, broken):
        self.broken = broken
        self.lines = ["| recordings | what | wall s | peak RSS MiB | bounds | result |",
                      "|---|---|---:|---:|---|---|"]

    def add(self, recordings, what, result, wrong, run, max_wall, max_rss, *others):
        """wrong: what is not right in the result, or nothing. others: further bounds, each
        (name, value, bound, unit)."""
        name = f'scale row "{what}" ({recordings})'
        if wrong:
            self.broken.append(f"{name}: {wrong}")
        bounds = [("wall", run.wall, max_wall, "s"), ("peak RSS", run.rss, max_rss, "MiB"), *others]
        for label, value, bound, unit in bounds:
            if value > bound:
                self.broken.append(f"{name}: {label} {value:,.2f} {unit} is over its bound of "
                                   f"{bound:,} {unit}")
        shown = ", ".join(f"{label} {bound:,} {unit}".strip() for label, _, bound, unit in bounds)
        self.lines.append(f"| {recordings} | {what} | {run.wall:.3f} | {run.rss:.1f} | {shown} | "
                          f"{result} |")


def many_recordings_rows(bin_dir, work, rows):
    """The generator's mix loaded through the dialog's path in one process, then converted by one
    converter with 64 descriptors."""
    many = os.path.join(work, "many")
    os.makedirs(many)
    output = subprocess.run([os.path.join(bin_dir, "many_recordings_benchmark"), many,
                             str(SCALE_COUNT)], check=True, capture_output=True, text=True)
    words = output.stdout.split()
    figures = {key: float(value) for key, value in zip(words[::2], words[1::2])}
    wrong, left_open = int(figures["wrong"]), int(figures["handles_left_open"])
    growth = figures["rss_growth_kib"] / 1024
    recordings = f"{SCALE_COUNT:,}, a third damaged"
    rows.add(recordings, "load each through the dialog's path, one process",
             f"{SCALE_COUNT - wrong:,} right, {growth:.2f} MiB left resident, {left_open} handles "
             "left open", wrong and f"{wrong:,} loads wrong",
             types.SimpleNamespace(wall=figures["load_s"], rss=figures["peak_rss_kib"] / 1024),
             2, 16, ("left resident", growth, 1, "MiB"), ("handles left open", left_open, 0, ""))

    files = sorted(glob.glob(os.path.join(many, "*.bin")))
    run = run_once(limited("-n 64", os.path.join(bin_dir, "oscimo2csv"), "-q", *files))
    # The names say what each must give: NNNNN-valid-SAMPLES.bin or NNNNN-damaged.bin.
    expected = [re.search(r"-valid-(\d+)\.bin$", path) for path in files]
    wrong = sum(csv_lines(path + ".csv") != (int(valid.group(1)) + 1 if valid else None)
                for path, valid in zip(files, expected))
    damaged, messages = expected.count(None), run.err.count("\n")
    problems = [f"{wrong:,} CSV files wrong, missing or left behind"] if wrong else []
    if run.status != 1 or messages != damaged:
        problems.append(f"exit status {run.status} and {messages:,} messages, where 1 and "
                        f"{damaged:,} are right")
    rows.add(recordings, "one oscimo2csv over all, `ulimit -n 64`",
             f"{SCALE_COUNT - wrong:,} right", "; ".join(problems), run, 10, 32)


def big_recording_rows(bin_dir, work, rows):
    """A sparse gigabyte recording, summarised and converted by a converter with 64 MiB of address
    space, then loaded whole."""
    big = os.path.join(work, "big.bin")
    with open(big, "wb") as file:
        file.write(BIG_HEADER)
        file.truncate(len(BIG_HEADER) + BIG_SAMPLES * 20 + 7)  # 7 bytes of one more sample
    recording, converter = "1 GiB acceleration, sparse", os.path.join(bin_dir, "oscimo2csv")

    run = run_once(limited("-v 65536", converter, "--summary", big))
    found = re.search(r"数量：(\d+)\r\n", run.out)
    count = int(found.group(1)) if found and run.status == 0 else 0
    rows.add(recording, "oscimo2csv --summary, `ulimit -v 65536`", f"{count:,} samples",
             count != BIG_SAMPLES and f"{count:,} samples, exit status {run.status}: {run.err.strip()}",
             run, 5, 32)

    size = 15 + 9 * BIG_SAMPLES  # the header line, then 0,0,0,0 CR LF a sample
    run = run_once(limited("-v 65536", converter, "-q", "-o", "-", big))
    rows.add(recording, "oscimo2csv -o -, `ulimit -v 65536`", f"{run.size:,} bytes of CSV",
             (run.size != size or run.status != 0) and
             f"{run.size:,} bytes where {size:,} are, exit status {run.status}: {run.err.strip()}",
             run, 30, 32)

    run = run_once([os.path.join(bin_dir, "load_benchmark"), big])
    count = int(run.out.split()[1]) if run.status == 0 else 0
    bound = round((1.1 * 32 * BIG_SAMPLES + 8 * MIB) / MIB)  # the load table's memory bound
    rows.add(recording, "load into memory (the dialog's reader)", f"{count:,} samples",
             count != BIG_SAMPLES and f"{count:,} samples, exit status {run.status}: {run.err.strip()}",
             run, 15, bound)


def scale_table(native, work, broken):
    """Many recordings, and one larger than the converter's memory: one run each, every result
    and bound checked, what breaks added to broken. The test suite keeps a small case of each."""
    bin_dir = os.path.join(native, "bin")
    rows = ScaleRows(broken)
    many_recordings_rows(bin_dir, work, rows)
    big_recording_rows(bin_dir, work, rows)
    return rows.lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--native", required=True)
    parser.add_argument("--win64")
    parser.add_argument("--win32")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--out")
    parser.add_argument("--scale-only", action="store_true",
                        help="run only the scale rows and print their table (not with --out)")
    parser.add_argument("--instructions-only", action="store_true",
                        help="run only the formatter's instructions per cell (not with --out)")
    parser.add_argument("--limit-only", action="store_true",
                        help="run only the rows against cp, the thread counts, the dialog's "
                        "export and the Windows converters (not with --out)")
    parser.add_argument("--analysis-only", action="store_true",
                        help="run only the --stats and --plot rows and print their table "
                        "(not with --out)")
    parser.add_argument("--python-only", action="store_true",
                        help="run only the Python package's rows and print their table "
                        "(not with --out)")
    args = parser.parse_args()
    if (args.scale_only or args.instructions_only or args.analysis_only or args.limit_only
            or args.python_only) and args.out:
        parser.error("--scale-only, --instructions-only and --analysis-only print one table; "
                     "--out would lose the others")
    native = os.path.abspath(args.native)
    win64 = os.path.abspath(args.win64) if args.win64 else None
    broken = []
    scale = ["### Scale: many recordings, and one larger than the converter's memory", "",
             "One run each; `make bench` fails when a result is wrong or a figure passes its "
             "bound.", ""]
    instructions = ["### Cell formatter: instructions per cell (callgrind)", ""]
    if args.instructions_only:
        with tempfile.TemporaryDirectory() as work:
            instructions += instruction_table(native, work, broken)
        print("\n".join(instructions))
        return report_broken(broken)
    if args.scale_only:
        with tempfile.TemporaryDirectory() as work:
            scale += scale_table(native, work, broken)
        print("\n".join(scale))
        return report_broken(broken)
    paths = recordings(native, os.path.join(native, "bench-data"))
    analysis = ["### Health report and picture against the CSV conversion", "",
                f"Each mode's least over {args.runs} runs, the three modes in turn; a mode under "
                f"{ANALYSIS_SPEED_UP}x fails `make bench`.", ""]
    windows = [(label, os.path.abspath(build)) for label, build in
               (("win64 under Wine", args.win64), ("win32, the release, under Wine", args.win32))
               if build]
    if args.limit_only:
        with tempfile.TemporaryDirectory() as out_dir:
            limit, dialog = limit_and_dialog_tables(native, windows, paths, args.runs, out_dir,
                                                    broken)
            limit += [""] + dialog + [""]
            if windows:
                limit += wine_converter_table(windows, paths, args.runs, out_dir, broken)
        print("\n".join(limit))
        return report_broken(broken)
    python = ["### The Python package", "",
              "Medians of the runs; `oscimo.read` over its bound fails `make bench`.", ""]
    if args.python_only:
        with tempfile.TemporaryDirectory() as out_dir:
            python += python_table(native, paths, args.runs, out_dir, broken)
        print("\n".join(python))
        return report_broken(broken)
    if args.analysis_only:
        with tempfile.TemporaryDirectory() as out_dir:
            analysis += analysis_table(native, paths, args.runs, out_dir, broken)
        print("\n".join(analysis))
        return report_broken(broken)
    with tempfile.TemporaryDirectory() as out_dir:
        conversion, ratios = conversion_table(native, paths, args.runs, out_dir)
        report = ["### Converting a recording to CSV", ""] + conversion + [""]
        report += analysis + analysis_table(native, paths, args.runs, out_dir, broken) + [""]
        report += ["### Loading into memory (the dialog's reader)", ""]
        report += load_table(native, win64, paths, args.runs) + [""]
        limit, dialog = limit_and_dialog_tables(native, windows, paths, args.runs, out_dir, broken)
        report += ["### Load plus export through the dialog's code path, 1M acceleration", ""]
        report += dialog + [""]
        report += ["### At the limit: a durable write, and two threads against one", ""]
        report += limit + [""]
        report += python + python_table(native, paths, args.runs, out_dir, broken) + [""]
        if windows:
            report += ["### The Windows converters under Wine", ""]
            report += wine_converter_table(windows, paths, args.runs, out_dir, broken) + [""]
    report += ["### Cell formatter (per value)", ""] + formatter_table(native, args.runs) + [""]
    with tempfile.TemporaryDirectory() as work:
        report += instructions + instruction_table(native, work, broken) + [""]
    with tempfile.TemporaryDirectory() as work:
        report += scale + scale_table(native, work, broken) + [""]
    text = "\n".join(report)
    print(text)
    if args.out:
        with open(args.out, "w") as file:
            file.write(text + "\n")
    return report_broken(broken)


def report_broken(broken):
    """1, with every broken result and bound on standard error, when any broke; else 0."""
    if not broken:
        return 0
    print(f"\nmake bench: FAILED: {len(broken)} check(s) broken", file=sys.stderr)
    for message in broken:
        print("  " + message, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
