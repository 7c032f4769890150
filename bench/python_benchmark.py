"""The Python package's figures, as one JSON object on standard output (run_benchmarks.py makes
the table and checks the bounds). Run by Debian's interpreter with the build's package tree on
PYTHONPATH:

    python_benchmark.py RECORDING CSV MANY_FOLDER RUNS

RECORDING: acceleration samples; CSV: the converter's CSV of it; MANY_FOLDER: small recordings.
Times are medians of RUNS, CPU seconds of this process for the reads (the machine is shared: the
CPU time is what the reader costs, whatever else runs) and wall seconds for the cluster.
"""
import glob
import json
import statistics
import sys
import time

import numpy
import pandas

import oscimo
import oscimo.dask


def median_times(runs, *reads, clock=time.process_time):
    """The median seconds of each read (CPU seconds unless clock says otherwise), the reads in
    turn so that whatever state the machine is in (its memory after the conversions before)
    weighs on all alike."""
    times = [[] for _ in reads]
    for _ in range(runs):
        for read, spent in zip(reads, times):
            start = clock()
            result = read()
            spent.append(clock() - start)
            del result
    return [statistics.median(spent) for spent in times]


def median_time(run, runs, clock=time.process_time):
    return median_times(runs, run, clock=clock)[0]


def fromfile(path):
    """The physical limit of the layout: the bytes as one big-endian record array, then in the
    machine's order."""
    with open(path, "rb") as file:
        header = file.read(8192).index(b"\n") + 1
    layout = numpy.dtype([("stamp", ">u8"), ("values", ">f4", (3,))])
    return numpy.fromfile(path, dtype=layout, offset=header).astype(layout.newbyteorder("="))


def stats_many_rates(paths, runs):
    """Files per second of stats_many on a local cluster of 1 and of 2 worker processes, and
    whether both reported the same."""
    import distributed

    rates, frames = {}, {}
    for workers in (1, 2):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                      host="127.0.0.1", dashboard_address=None) as cluster, \
                distributed.Client(cluster):
            frames[workers] = oscimo.dask.stats_many(paths, per_task=25)  # the workers warm up
            wall = median_time(lambda: oscimo.dask.stats_many(paths, per_task=25), runs,
                               time.perf_counter)
            rates[workers] = len(paths) / wall
    return rates, frames[1].equals(frames[2]) and len(frames[1]) == len(paths)


def main():
    recording, csv, many, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    samples = len(oscimo.read(recording))
    read_s, fromfile_s = median_times(runs, lambda: oscimo.read(recording),
                                      lambda: fromfile(recording))
    figures = {"samples": samples, "read_s": read_s, "fromfile_s": fromfile_s,
               # Seconds each: a few runs tell enough.
               "read_csv_s": median_time(lambda: pandas.read_csv(csv), min(runs, 3))}
    same = numpy.array_equal(oscimo.read(recording).values, fromfile(recording)["values"])
    paths = sorted(glob.glob(many + "/*.bin"))
    rates, equal = stats_many_rates(paths, runs)
    figures.update(same_values=bool(same), files=len(paths), files_per_s_1=rates[1],
                   files_per_s_2=rates[2], stats_equal=bool(equal))
    print(json.dumps(figures))


if __name__ == "__main__":
    main()
