"""The README's offline install: a virtual environment over Debian's packages, then pip with no
index to reach. The module comes from the build tree the tests run in (OSCIMO_BUILD_DIR), so
that the test costs seconds, not a second build of the core."""
import os
import re
import subprocess
import sys

from conftest import BIN, generate

PACKAGE = os.path.join(os.path.dirname(__file__), "..")


def test_pip_installs_into_a_venv_offline(tmp_path):
    env = tmp_path / "env"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", env], check=True)
    environment = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    environment.update(PIP_NO_INDEX="1", OSCIMO_BUILD_DIR=os.path.dirname(os.path.abspath(BIN)))
    subprocess.run([env / "bin" / "pip", "install", "-q", "--no-build-isolation", PACKAGE],
                   check=True, env=environment, cwd=tmp_path)
    shown = subprocess.run(
        [env / "bin" / "python", "-c", "import sys, oscimo; "
         "print(oscimo.__version__, oscimo.__file__, len(oscimo.read(sys.argv[1])))",
         generate(tmp_path / "r.bin", "--samples", "7")],
        check=True, env=environment, cwd=tmp_path, capture_output=True, text=True).stdout.split()
    with open(os.path.join(PACKAGE, "..", "res", "Version.h")) as header:
        version = re.search(r'VERSION_STRING "(.*)"', header.read()).group(1)
    assert shown == [version, str(env / "lib" / f"python{sys.version_info.major}."
                                  f"{sys.version_info.minor}" / "site-packages" / "oscimo" /
                                  "__init__.py"), "7"]
