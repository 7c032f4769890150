"""Recordings from the generator and the converter's view of them, for the package's tests.
OSCIMO_BIN names the folder of oscimo-gen and oscimo2csv (ctest sets it)."""
import os
import subprocess

import pytest

BIN = os.environ.get("OSCIMO_BIN", os.path.join(os.path.dirname(__file__), "../../build/native/bin"))


def generate(path, *options):
    subprocess.run([os.path.join(BIN, "oscimo-gen"), *options, str(path)], check=True)
    return str(path)


def converter(*arguments):
    """oscimo2csv's standard output, or its reason for failing: the text after "NAME: "."""
    run = subprocess.run([os.path.join(BIN, "oscimo2csv"), *arguments], capture_output=True)
    if run.returncode != 0:
        return None, run.stderr.decode().split(": ", 2)[2].rstrip("\n")
    return run.stdout, None


@pytest.fixture(scope="session")
def archive(tmp_path_factory):
    """40 recordings of every sensor type, some with gaps and stamps going backward."""
    folder = tmp_path_factory.mktemp("archive")
    types = ["acceleration", "gravity", "gyroscope", "linear_acceleration", "TLocation", "speed",
             "light"]
    return [generate(folder / f"{i:02}.bin", "--type", types[i % len(types)], "--seed", str(i),
                     "--samples", str(50 + 37 * i), "--gap-every", str(3 + i % 5),
                     "--back-every", str(7 + i))
            for i in range(40)]
