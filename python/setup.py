"""Builds oscimo._core with the project's CMake, which knows the core's libraries; setuptools
only packs the result. OSCIMO_BUILD_DIR names a configured build tree to build it in (make's
build/native, say); without it a tree of the core and the module alone is made in build/."""
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def version():
    """res/Version.h is the one source of the version."""
    with open(os.path.join(ROOT, "res", "Version.h")) as header:
        return re.search(r'#define OSCIMO_VERSION_STRING "([0-9.]+)"', header.read()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        tree = os.environ.get("OSCIMO_BUILD_DIR")
        if not tree:
            tree = os.path.join(os.path.abspath(self.build_temp), "cmake")
            subprocess.run(["cmake", "-S", ROOT, "-B", tree, "-G", "Ninja",
                            "-DCMAKE_BUILD_TYPE=Release", "-DOSCIMO_PYTHON_ONLY=ON",
                            f"-DPython_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", tree, "--target", "oscimo_python"], check=True)
        built = os.path.join(tree, "python", "oscimo", os.path.basename(self.get_ext_filename(ext.name)))
        os.makedirs(os.path.dirname(self.get_ext_fullpath(ext.name)), exist_ok=True)
        shutil.copyfile(built, self.get_ext_fullpath(ext.name))


setup(version=version(), ext_modules=[Extension("oscimo._core", sources=[])],
      cmdclass={"build_ext": CMakeBuild})
