"""The compiled core: ded/'s reader, GIS frame and writer, and image/'s
placement of samples, built into elvarin._ded from the project's sources
(ELVARIN_SOURCE_DIR, by default the folder above this one). image/'s AVX2
kernel is a library of its own: that file alone is compiled for AVX2."""
import os
import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

here = Path(__file__).resolve().parent
root = Path(os.environ.get("ELVARIN_SOURCE_DIR", here.parent)).resolve()


def paths(files):
    return [str(path) for path in files]


sources = paths([root / "python" / "src" / name for name in ("module.cpp", "raster.cpp", "write.cpp")])
sources += paths(sorted((root / "ded").glob("*.cpp")))
sources += paths(root / "image" / name for name in ("place.cpp", "grey.cpp", "window_read.cpp"))
avx2 = ("elvarin_grey_avx2", {
    "sources": paths([root / "image" / "grey_avx2.cpp"]), "include_dirs": [str(root)],
    "cflags": ["-std=c++20", "-O3", "-g0", "-mavx2", "-mno-fma"]})

# The project's version, as CMake has it.
version = re.search(r"project\(elvarin VERSION ([0-9.]+)", (root / "CMakeLists.txt").read_text())[1]

ParallelCompile("ELVARIN_BUILD_JOBS", default=2).install()
setup(version=version, libraries=[avx2], ext_modules=[
    Pybind11Extension(
        "elvarin._ded", sources, include_dirs=[str(root)], cxx_std=20,
        extra_compile_args=["-O3", "-g0", "-Wall", "-Wextra", "-Werror"]),
])
