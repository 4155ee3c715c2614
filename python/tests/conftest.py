"""Shared fixtures: the package (as the build made it when $MORPHEL_PYTHON_PATH
names where, else from this source tree), a fresh Images object."""
import os
import sys

import pytest

# The package as the build staged it, with its generated stubs (ctest sets
# MORPHEL_PYTHON_PATH to <build>/python), else the one of this source tree.
sys.path.insert(0, os.environ.get("MORPHEL_PYTHON_PATH") or os.path.join(os.path.dirname(__file__), ".."))

import morphel  # noqa: E402


@pytest.fixture
def images():
    with morphel.Images() as im:
        yield im


@pytest.fixture
def canvas(images):
    """A 20x10 true-colour canvas, white, pen set to red."""
    images.CreateImage(20, 10)
    images.SetColor(255, 255, 255)
    images.DrawFilledRectangle(0, 0, 19, 9)
    images.SetColor(255, 0, 0)
    return images


def pixel(im, x, y):
    return im.GetPixelRed(x, y), im.GetPixelGreen(x, y), im.GetPixelBlue(x, y)

