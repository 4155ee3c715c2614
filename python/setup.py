"""The package's build: the pure-Python package (metadata in pyproject.toml)
and, where a C compiler and Python's headers are at hand, the compiled calls
(morphel._fast). Without them the package installs as before and calls
through ctypes."""
import os

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def include_dir():
    """The library's public headers: staged beside the package by the build,
    or the source tree's own."""
    for candidate in (os.path.join(HERE, "include"), os.path.join(HERE, "..", "include")):
        if os.path.exists(os.path.join(candidate, "morphel", "automation.h")):
            return os.path.normpath(candidate)
    return None


class OptionalBuildExt(build_ext):
    """Builds the extension when it can; a failure only leaves it out."""

    def run(self):
        try:
            super().run()
        except Exception as error:  # no compiler at all
            self._left_out(error)

    def build_extension(self, ext):
        try:
            super().build_extension(ext)
        except Exception as error:  # no Python.h, a compile or link error
            self._left_out(error)

    def _left_out(self, error):
        self.warn(f"morphel: compiled calls left out ({error}); the ctypes calls are used")


def extensions():
    include = include_dir()
    if include is None:
        return []  # no headers, no compiled calls
    return [Extension("morphel._fast", ["morphel/_fast.c"], include_dirs=[include],
                      extra_compile_args=["-std=c11", "-O2"], optional=True)]


setup(ext_modules=extensions(), cmdclass={"build_ext": OptionalBuildExt},
      exclude_package_data={"morphel": ["*.c"]})
