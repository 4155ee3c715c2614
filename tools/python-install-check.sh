#!/usr/bin/env bash
# Installs the Python package offline into a fresh virtual environment (Debian's
# python3-venv) from build/default/python, where the default build staged it
# with its generated stubs and the library, and runs the README's Python
# example with it, outside the source tree; with Python's headers installed
# the compiled calls must have been built.
# Ends with "1 passed, 0 failed" or "0 passed, 1 failed".
set -euo pipefail
cd "$(dirname "$0")/.."

check="build/default/python-install-check"
rm -rf "${check}"
mkdir -p "${check}"
if /usr/bin/python3 -m venv --system-site-packages "${check}/venv" &&
   "${check}/venv/bin/pip" install -q --no-index --no-build-isolation build/default/python &&
   awk '/^```python$/ && !done {keep = 1; next} keep && /^```$/ {keep = 0; done = 1} keep' \
     README.md > "${check}/hello.py" &&
   (cd "${check}" && env -u MORPHEL_LIBRARY venv/bin/python hello.py && test -s hello.png) &&
   "${check}/venv/bin/python" -c 'import morphel, pathlib, sysconfig
assert (pathlib.Path(morphel.__file__).parent / "_operations.pyi").is_file()
headers = pathlib.Path(sysconfig.get_paths()["include"], "Python.h").is_file()
assert morphel.compiled or not headers, "the compiled calls were not built"'; then
  echo "python install: the package installed offline and ran the README's example"
  echo "1 passed, 0 failed"
else
  echo "python install: FAILED (see above)"
  echo "0 passed, 1 failed"
  exit 1
fi
