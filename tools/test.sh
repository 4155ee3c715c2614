#!/usr/bin/env bash
# Runs every test from a fresh machine: installs what is missing, builds the
# default and the sanitizer configuration from scratch and runs the suite in
# both, and the text tests (threads sharing the font search path) under
# ThreadSanitizer; checks the Python package installs offline; then sets up
# the Windows cross build (tools/windows/setup-deps.sh, which installs Wine)
# and runs the Windows DLLs under Wine (MORPHEL_SKIP_WINDOWS=1 leaves that
# out). Every part runs even when an earlier one failed; the last lines say
# what ran and end with "N passed, N failed". The exit code is non-zero on any
# failure.
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh || { echo "setup failed: tools/setup.sh"; echo "0 passed, 1 failed"; exit 1; }

jobs=$(nproc)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
summary=()
total_passed=0
total_failed=0

# count_line TEXT: adds an "N passed, N failed" line's counts to the totals.
count_line() {
  local p f
  read -r p f < <(sed -nE 's/^([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' <<<"$1" | tail -n 1)
  total_passed=$((total_passed + ${p:-0}))
  total_failed=$((total_failed + ${f:-1}))
}

# run_preset PRESET LABEL: fresh configure and build, then ctest.
run_preset() {
  local preset=$1 label=$2 out=$logs/ctest-$1.log line
  echo "=== ${preset}: configure and build"
  rm -rf "build/${preset}"
  if ! { cmake --preset "${preset}" > /dev/null && cmake --build --preset "${preset}" -j "${jobs}"; }; then
    summary+=("${label}: the build failed")
    total_failed=$((total_failed + 1))
    return
  fi
  echo "=== ${preset}: tests"
  ctest --preset "${preset}" -j "${jobs}" 2>&1 | tee "$out"
  # "100% tests passed, 0 tests failed out of 57"
  line=$(sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+)$/\1 \2/p' "$out")
  if [ -z "$line" ]; then
    summary+=("${label}: ctest gave no result")
    total_failed=$((total_failed + 1))
    return
  fi
  read -r failed all <<<"$line"
  summary+=("${label}: $((all - failed)) passed, ${failed} failed")
  count_line "$((all - failed)) passed, ${failed} failed"
}

# The Python package installed offline into a virtual environment.
run_python_install() {
  local out=$logs/python.log
  echo "=== python: offline install of the package"
  bash tools/python-install-check.sh 2>&1 | tee "$out"
  summary+=("Python package install: $(tail -n 1 "$out")")
  count_line "$(tail -n 1 "$out")"
}

# The Debian packages with lintian, two programs built against them outside the
# tree, and the wheel in a fresh virtual environment.
run_packages() {
  local out=$logs/packages.log
  echo "=== packages: Debian packages, consumers, wheel"
  bash tools/package-check.sh 2>&1 | tee "$out"
  summary+=("Packages (tools/package-check.sh): $(tail -n 1 "$out")")
  count_line "$(tail -n 1 "$out")"
}

run_windows() {
  local out=$logs/windows.log
  if [ "${MORPHEL_SKIP_WINDOWS:-0}" = "1" ]; then
    summary+=("Windows 64-bit: skipped (MORPHEL_SKIP_WINDOWS=1)" "Windows 32-bit: skipped (MORPHEL_SKIP_WINDOWS=1)")
    return
  fi
  echo "=== windows: set-up (cross compilers, Wine, static libraries)"
  if ! bash tools/windows/setup-deps.sh; then
    summary+=("Windows 64-bit: not run: tools/windows/setup-deps.sh failed" "Windows 32-bit: not run: tools/windows/setup-deps.sh failed")
    total_failed=$((total_failed + 1))
    return
  fi
  echo "=== windows: cross-build and tests under Wine"
  MORPHEL_WIN_SETUP_DONE=1 MORPHEL_LINUX_LIB="$PWD/build/default/libmorphel.so" \
    bash tools/windows/test.sh 2>&1 | tee "$out"
  if grep -q '^Windows 64-bit: ' "$out"; then
    mapfile -t -O "${#summary[@]}" summary < <(grep -E '^Windows (64|32)-bit: ' "$out")
  else
    summary+=("Windows: tools/windows/test.sh stopped early (see above)")
  fi
  count_line "$(tail -n 1 "$out")"
}

run_preset default "Linux suites (default)"
run_preset asan "Sanitizer suites (asan)"
run_preset tsan "Thread sanitizer, text tests (tsan)"
run_python_install
run_packages
run_windows

echo "=== what ran"
printf '%s\n' "${summary[@]}"
echo "${total_passed} passed, ${total_failed} failed"
[ "${total_failed}" -eq 0 ]
