"""Builds the Python package mva: its extension `mva._mva` is the CMake
target mva_python, compiled from the same libraries as the program, in a
build folder of its own (build-pip/), for the interpreter that runs this."""

import glob
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.join(ROOT, "build-pip", "cmake")
        jobs = os.environ.get("JOBS", str(os.cpu_count() or 1))
        subprocess.check_call(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                               f"-DMVA_PYTHON_EXECUTABLE={sys.executable}", "-DMVA_R=OFF"])
        subprocess.check_call(["cmake", "--build", build, "--target", "mva_python", "-j", jobs])
        built = glob.glob(os.path.join(build, "python", "mva", "_mva*.so"))
        if len(built) != 1:
            raise RuntimeError(f"the CMake build made {len(built)} extension files in {build}/python/mva")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


setup(
    name="mva",
    version="0.1.0",
    description="Missing value analysis of pandas data frames",
    package_dir={"": "python"},
    packages=["mva"],
    ext_modules=[Extension("mva._mva", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build-pip"}, "egg_info": {"egg_base": "build-pip"}},
    python_requires=">=3.9",
    install_requires=["numpy", "pandas"],
)
