#!/usr/bin/env python3
"""The script a data person would write: numpy with a structured big-endian dtype, then pandas
to_csv with "%g" cells and CR LF line ends. Exponents are widened to three digits afterwards so
that its bytes can be compared with the product's.

    baseline_numpy.py RECORDING OUT
"""
import re
import sys

import numpy as np
import pandas as pd

LAYOUTS = {  # sensor type: (value dtype, columns, ticks per second)
    "acceleration": (">f4", 3, 1e9), "gravity": (">f4", 3, 1e9), "gyroscope": (">f4", 3, 1e9),
    "linear_acceleration": (">f4", 3, 1e9), "TLocation": (">f8", 3, 1e3), "speed": (">f4", 1, 1e3),
}


def main(recording, out):
    data = open(recording, "rb").read()
    tokens, position = [], 0
    for _ in range(6):  # six tokens, each ended by one space, line feed or NUL
        end = min(i for i in (data.find(b" ", position), data.find(b"\n", position),
                              data.find(b"\0", position), len(data)) if i >= 0)
        tokens.append(data[position:end])
        position = end + 1
    kind, columns, ticks = LAYOUTS.get(tokens[4].decode("latin-1"), (">f4", 1, 1e9))
    names = ["X", "Y", "Z"][:columns]
    dtype = np.dtype([("t", ">u8")] + [(name, kind) for name in names])
    count = (len(data) - position) // dtype.itemsize
    samples = np.frombuffer(data, dtype=dtype, count=count, offset=position)
    frame = pd.DataFrame({"Time(s)": (samples["t"] - samples["t"][0]).view(np.int64) / ticks})
    for name in names:
        frame[name] = samples[name].astype(np.float64)
    text = frame.to_csv(index=False, float_format="%g", lineterminator="\r\n", na_rep="nan")
    text = re.sub(r"e([+-])(\d\d)(?=[,\r])", r"e\g<1>0\2", text)
    with open(out, "w", newline="") as file:
        file.write(text)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
