"""The operation reference: its source is complete and checked, the generated pages
are committed as generated, every Python example runs and draws exactly the picture the
reference shows, and help() shows the same text."""
import os
import shutil
import subprocess
import sys

import pytest

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))

import gen_reference as gen  # noqa: E402

import morphel  # noqa: E402

# What is written: its examples run even while a family is missing, which the first
# test reports.
FAMILIES = gen.read_sources(partial=True)
ENTRIES = [e for f in FAMILIES for e in f.entries]


def test_every_operation_documented_once_and_pages_current():
    complete = gen.read_sources()  # raises on anything missing, doubled or malformed
    assert sorted(e.name for f in complete for e in f.entries) == sorted(gen.read_table())
    assert gen.stale_reference(complete) == [], "run /usr/bin/python3 tools/gen_reference.py"


@pytest.mark.parametrize("entry", ENTRIES, ids=[e.name for e in ENTRIES])
def test_python_example_runs_and_draws_the_reference_picture(entry, tmp_path):
    code, output = gen.run_python_example(entry, str(tmp_path))
    assert code == 0, output
    if entry.picture:
        with open(tmp_path / entry.picture, "rb") as drawn, \
                open(os.path.join(gen.PICTURE_DIR, entry.picture), "rb") as shown:
            assert drawn.read() == shown.read(), \
                f"{entry.picture} differs: /usr/bin/python3 tools/gen_reference.py --pictures"


def test_first_steps_in_python_and_cpp_draw_the_picture_shown(tmp_path):
    with open(os.path.join(ROOT, "docs", gen.FIRST_STEPS_PICTURE), "rb") as f:
        shown = f.read()
    code, output = gen.run_python_example(gen.first_steps(), str(tmp_path))
    assert code == 0, output
    assert (tmp_path / gen.FIRST_STEPS_PICTURE).read_bytes() == shown
    compiler = shutil.which("c++")
    if compiler is None or not os.environ.get("MORPHEL_LIBRARY"):
        pytest.skip("no C++ compiler, or no MORPHEL_LIBRARY to link with")
    (tmp_path / gen.FIRST_STEPS_PICTURE).unlink()
    (tmp_path / "hello.cpp").write_text(gen.first_steps_program("cpp"), encoding="utf-8")
    library = os.path.dirname(os.path.abspath(os.environ["MORPHEL_LIBRARY"]))
    build = subprocess.run([compiler, "-std=c++20", "-Wall", "-Wextra", "-Werror",
                            "-I" + os.path.join(ROOT, "include"), "hello.cpp", "-L" + library,
                            "-lmorphel", "-Wl,-rpath," + library, "-o", "hello"],
                           cwd=tmp_path, capture_output=True, text=True)
    assert build.returncode == 0, build.stderr
    run = subprocess.run(["./hello"], cwd=tmp_path, capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (0, "200 x 100\n"), run.stderr
    assert (tmp_path / gen.FIRST_STEPS_PICTURE).read_bytes() == shown


def test_help_and_stubs_show_the_documentation():
    with morphel.Images() as img:
        for name in ("SetImage", "setcolor"):
            entry = next(e for e in ENTRIES if e.name.lower() == name.lower())
            assert getattr(img, name).__doc__ == gen.docstring(entry)
    with open(os.path.join(os.path.dirname(morphel.__file__), "_operations.pyi"), encoding="utf-8") as f:
        stubs = f.read()
    assert stubs.count("        Reference: docs/reference/") == len(ENTRIES)


GOOD = """# Family
Intro.

## SetImage
Summary: Selects the slot.
Parameters:
- `newVal` (INT): the slot
Result: none
Errors:
- `E_INVALIDARG`: out of range
Text.

```python
pass
```

```vbscript
x = 1
```
"""


@pytest.mark.parametrize("change, message", [
    (("`newVal` (INT)", "`slot` (INT)"), "differ from the table"),
    (("`newVal` (INT)", "`newVal` (BSTR)"), "differ from the table"),
    (("Result: none", "Result: the slot"), "without an out-value"),
    (("- `E_INVALIDARG`: out", '- `E_FAIL`: out'), "quoted message"),
    (("- `E_INVALIDARG`: out", '- `E_BOGUS`: out'), "unknown status"),
    (("## SetImage", "## SetImages"), "no operation"),
    (("Summary: Selects the slot.\n", ""), "'Summary:' expected"),
    (("```vbscript\nx = 1\n```\n", ""), "no vbscript example"),
    (("```\n", "```\nmore\n", 1), "nothing may follow"),
    (("x = 1\n```\n", "x = 1\n```\n\n## SetImage\n"), "documented already"),
])
def test_malformed_sources_are_refused(tmp_path, change, message):
    text = GOOD.replace(*change)
    (tmp_path / "slots.md").write_text(text, encoding="utf-8")
    with pytest.raises(gen.SourceError) as error:
        gen.read_sources(partial=True, source_dir=str(tmp_path))
    if message:
        assert message in str(error.value)
    (tmp_path / "slots.md").write_text(GOOD, encoding="utf-8")
    assert [e.name for f in gen.read_sources(True, str(tmp_path)) for e in f.entries] == \
        ["SetImage"]
    with pytest.raises(gen.SourceError, match="family files missing"):
        gen.read_sources(partial=False, source_dir=str(tmp_path))
