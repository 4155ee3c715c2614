#!/usr/bin/env bash
# Runs every test from a fresh machine: installs what is missing, builds the
# default and the sanitizer configuration from scratch and runs the suite in
# both; then the Windows build under Wine when its script is present
# (MORPHEL_SKIP_WINDOWS=1 leaves it out).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

jobs=$(nproc)
for preset in default asan; do
  echo "=== ${preset}: configure and build"
  rm -rf "build/${preset}"
  cmake --preset "${preset}" > /dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  echo "=== ${preset}: tests"
  ctest --preset "${preset}" -j "${jobs}"
done

# The Python package installed offline into a virtual environment, with its stubs
# and library, running the README's Python example outside the source tree.
echo "=== python: pip install ./python into a virtual environment, the README's example"
python_check="build/default/python-check"
rm -rf "${python_check}"
/usr/bin/python3 -m venv --system-site-packages "${python_check}/venv"
"${python_check}/venv/bin/pip" install -q --no-index --no-build-isolation ./python
awk '/^```python$/ && !done {keep = 1; next} keep && /^```$/ {keep = 0; done = 1} keep' \
  README.md > "${python_check}/hello.py"
(cd "${python_check}" && env -u MORPHEL_LIBRARY venv/bin/python hello.py && test -s hello.png &&
  venv/bin/python -c 'import morphel, pathlib; assert (pathlib.Path(morphel.__file__).parent / "_operations.pyi").is_file()')

if [ "${MORPHEL_SKIP_WINDOWS:-0}" != "1" ] && [ -x tools/windows/test.sh ]; then
  echo "=== windows: cross-build and tests under Wine"
  MORPHEL_LINUX_LIB="$PWD/build/default/libmorphel.so" bash tools/windows/test.sh
fi
