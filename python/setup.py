"""Builds the vexa package with the project's CMake build: the native module _vexa is the
CMake target of that name, built in Release beside the C++ libraries it links."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent


def cmake_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"set\(VEXA_VERSION ([0-9.]+)\)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            "-DVEXA_TESTS=OFF", "-DVEXA_PYTHON=ON", f"-DPython_EXECUTABLE={sys.executable}",
        ]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("VEXA_JOBS", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "_vexa", "-j", jobs], check=True)
        built = next((build / "python" / "vexa").glob("_vexa*.so"), None)
        if built is None:
            sys.exit("the CMake build made no _vexa module (is pybind11-dev installed?)")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    name="vexa",
    version=cmake_version(),
    description="Assembler, disassembler and simulator of the Vexa sequencer processor",
    packages=["vexa"],
    package_dir={"vexa": "vexa"},
    ext_modules=[Extension("vexa._vexa", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    install_requires=["numpy"],
    extras_require={"plot": ["matplotlib"]},
    zip_safe=False,
)
