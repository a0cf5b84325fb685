"""The library from this folder's parent and the program of the build (SKIMBO_PROGRAM)."""
import os
import pathlib
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "python"), str(ROOT / "examples")]


@pytest.fixture(scope="session")
def program():
    return os.environ.get("SKIMBO_PROGRAM", str(ROOT / "build" / "korvel-skimbo"))
