"""The recipes page: every Python program on it runs, and the pictures the page shows
are the ones its programs draw (the verification code is random and only has to run)."""
import os
import re
import subprocess
import sys

import pytest

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))

import gen_reference as gen  # noqa: E402

with open(os.path.join(ROOT, "docs", "recipes.md"), encoding="utf-8") as f:
    PAGE = f.read()
PROGRAMS = re.findall(r"^```python\n(.*?)^```$", PAGE, re.MULTILINE | re.DOTALL)
SHOWN = set(re.findall(r"\]\(recipes/(\w+\.png)\)", PAGE))
DETERMINISTIC = {"chart.png", "watermark.png"}


@pytest.mark.parametrize("program", PROGRAMS, ids=[f"recipe{i}" for i in range(len(PROGRAMS))])
def test_recipe_runs_and_draws_what_the_page_shows(program, tmp_path):
    (tmp_path / "recipe.py").write_text(program, encoding="utf-8")
    run = subprocess.run([sys.executable, "recipe.py"], cwd=tmp_path, env=gen.python_environment(),
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=120)
    assert run.returncode == 0, run.stdout
    for picture in SHOWN & DETERMINISTIC & set(os.listdir(tmp_path)):
        with open(os.path.join(ROOT, "docs", "recipes", picture), "rb") as shown:
            assert (tmp_path / picture).read_bytes() == shown.read(), f"docs/recipes/{picture}"


def test_the_page_has_its_five_recipes_and_pictures():
    assert len(PROGRAMS) == 5
    assert DETERMINISTIC <= SHOWN
    assert all(os.path.exists(os.path.join(ROOT, "docs", "recipes", p)) for p in SHOWN)
