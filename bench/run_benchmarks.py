#!/usr/bin/env python3
"""Runs every benchmark and prints the tables the README shows (medians of several runs, all
figures from this one run: these machines are noisy, so only ratios within a run mean much).

    run_benchmarks.py --native build/native [--win64 build/win64] [--win32 build/win32]
                      [--runs 5] [--out FILE]
"""
import argparse
import hashlib
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIB = 1024 * 1024

RECORDINGS = [  # name, sensor type, samples
    ("acceleration-1M", "acceleration", 1_000_000),
    ("acceleration-10M", "acceleration", 10_000_000),
    ("TLocation-1M", "TLocation", 1_000_000),
    ("speed-1M", "speed", 1_000_000),
]


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


def dialog_path_table(native, windows, paths, runs, out_dir):
    """Load plus export of the 1M acceleration recording through the dialog's code path."""
    path, _ = paths["acceleration-1M"]
    rows = []
    programs = [("native (Linux, g++)", [os.path.join(native, "bin", "load_benchmark")])]
    for label, build in windows:
        programs.append((label, [os.path.join(ROOT, "scripts", "wine-run"),
                                 "--prefix", os.path.join(build, "wineprefix"),
                                 os.path.join(build, "bin", "load_benchmark.exe")]))
    lines = ["| build | load ms (median) | export ms, one thread as before (median) | "
             "export ms (median) | export time against before |", "|---|---:|---:|---:|---:|"]
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
        export, one_thread = statistics.median(exports), statistics.median(before)
        lines.append(f"| {label} | {statistics.median(loads):.0f} | {one_thread:.0f} | "
                     f"{export:.0f} | {export / one_thread:.2f} |")
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--native", required=True)
    parser.add_argument("--win64")
    parser.add_argument("--win32")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--out")
    args = parser.parse_args()
    native = os.path.abspath(args.native)
    win64 = os.path.abspath(args.win64) if args.win64 else None
    paths = recordings(native, os.path.join(native, "bench-data"))
    with tempfile.TemporaryDirectory() as out_dir:
        conversion, ratios = conversion_table(native, paths, args.runs, out_dir)
        report = ["### Converting a recording to CSV", ""] + conversion + [""]
        report += ["### Loading into memory (the dialog's reader)", ""]
        report += load_table(native, win64, paths, args.runs) + [""]
        report += ["### Load plus export through the dialog's code path, 1M acceleration", ""]
        windows = [(label, os.path.abspath(build)) for label, build in
                   (("win64 under Wine", args.win64), ("win32, the release, under Wine", args.win32))
                   if build]
        report += dialog_path_table(native, windows, paths, args.runs, out_dir) + [""]
    report += ["### Cell formatter (per value)", ""] + formatter_table(native, args.runs) + [""]
    text = "\n".join(report)
    print(text)
    if args.out:
        with open(args.out, "w") as file:
            file.write(text + "\n")


if __name__ == "__main__":
    main()
