# The module linecmp._linecmp, built from the engine's sources in src/engine, the same
# files the programs are built from, and the binding in python/module.cpp. The version is
# the CMake project's.
import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

here = Path(__file__).parent
version = re.search(r"project\(linecmp VERSION (\S+)", (here / "CMakeLists.txt").read_text()).group(1)
engine = sorted(path.relative_to(here).as_posix() for path in (here / "src/engine").glob("*/*.cpp"))

ParallelCompile().install()
setup(
    version=version,
    ext_modules=[
        Pybind11Extension(
            "linecmp._linecmp",
            ["python/module.cpp", *engine],
            include_dirs=["include", "src/engine"],
            cxx_std=17,
            # As the CMake build's Release; the AVX2 and AVX-512 kernels set their own target.
            extra_compile_args=["-O3"],
        )
    ],
    cmdclass={"build_ext": build_ext},
    # Not build/, which is the CMake build's.
    options={"build": {"build_base": "build-python"}},
)
