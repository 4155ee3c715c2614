#!/usr/bin/env bash
# Runs every test from a fresh machine: installs what is missing, builds the
# default and the sanitizer configuration from scratch and runs the suite in
# both, and the text tests (threads sharing the font search path) under
# ThreadSanitizer; then the Windows build under Wine when its script is present
# (MORPHEL_SKIP_WINDOWS=1 leaves it out).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

jobs=$(nproc)
for preset in default asan tsan; do
  echo "=== ${preset}: configure and build"
  rm -rf "build/${preset}"
  cmake --preset "${preset}" > /dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  echo "=== ${preset}: tests"
  ctest --preset "${preset}" -j "${jobs}"
done

# The Python package installed offline into a virtual environment.
bash tools/python-install-check.sh

if [ "${MORPHEL_SKIP_WINDOWS:-0}" != "1" ] && [ -x tools/windows/test.sh ]; then
  echo "=== windows: cross-build and tests under Wine"
  MORPHEL_LINUX_LIB="$PWD/build/default/libmorphel.so" bash tools/windows/test.sh
fi
