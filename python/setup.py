"""Builds the varnocketile package: CMake builds the extension (python/CMakeLists.txt) and the
plug-in module from this repository into build/python/, and the wheel takes both beside the
package's Python files. Debian's packages only: pip install --no-build-isolation ./python
(setuptools, pybind11-dev, python3-dev, cmake, ninja-build; see scripts/install-deps)."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        if not (ROOT / "CMakeLists.txt").exists():
            sys.exit("varnocketile is built from its repository: pip install ./python inside it")
        build = ROOT / "build" / "python"
        jobs = os.environ.get("JOBS", str(min(os.cpu_count() or 1, 2)))
        subprocess.check_call(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
                               "-DCMAKE_BUILD_TYPE=Release", "-DVARNO_TESTS=OFF", "-DVARNO_PYTHON=ON",
                               f"-DPython_EXECUTABLE={sys.executable}"])
        subprocess.check_call(["cmake", "--build", str(build), "--target", "varnocketile_python", "-j", jobs])
        built = build / "python" / "varnocketile"
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        extension = next(built.glob("_core.*.so"))
        shutil.copyfile(extension, target)
        shutil.copyfile(built / "libvarnocketile.so", target.parent / "libvarnocketile.so")


setup(
    name="varnocketile",
    version=re.search(r"project\(Varnocketile VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1),
    description="Edge selections of numpy arrays through the Varnocketile plug-in module",
    packages=["varnocketile"],
    package_data={"varnocketile": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("varnocketile._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    install_requires=["numpy"],
    zip_safe=False,
)
