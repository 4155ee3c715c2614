#!/usr/bin/env bash
# Builds morphel.dll for 64-bit and 32-bit Windows and proves it under Wine:
#   - registration with regsvr32 and removal with regsvr32 /u, the registry
#     read back with reg query,
#   - the in-process server test program (entry points, unload rule, class
#     factory, aggregation, interfaces, dispatch),
#   - the VBScript and JScript suites through the script host, by ProgID,
#   - a fixed drawing (TrueType text included, with DejaVu Sans copied into
#     the prefix's Fonts folder) written by a script under Wine and by the
#     Linux library: the files must be the same bytes,
# for the 64-bit DLL with Wine's 64-bit programs and, when 32-bit Wine is
# installed and i386 programs run here (natively, or under qemu-i386 emulation
# registered in binfmt_misc for the run: tools/windows/i386.sh), for the 32-bit
# DLL with its 32-bit programs. Every 64-bit call names the 64-bit loader and
# wineserver, so a 32-bit loader that cannot run, or runs emulated, never
# touches the 64-bit run; the registry is read with one export per key by the
# reg.exe of the bitness, and one persistent wineserver serves every call.
#
# Build folders: build/win64, build/win32 (configured when missing, else
# reused), build/windows/linux (the Linux library for the comparison, unless
# MORPHEL_LINUX_LIB names a libmorphel.so). Every run starts a fresh Wine
# prefix build/windows/prefix-<process id> with its logs and files in
# build/windows/test-<process id>, and removes those of earlier runs.
# MORPHEL_WIN32_EMULATION (auto, 0, force) as for setup-deps.sh.
# Ends with "N passed, N failed"; the exit code is non-zero on any failure.
set -euo pipefail
export LC_ALL=C
# The emulated 32-bit loader fails in a prefix booted with WINEARCH set.
unset WINEARCH

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tools/windows/i386.sh"
OUT=$ROOT/build/windows
WORK=$OUT/test-$$
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

START=$SECONDS
PASSED=0
FAILED=0
log() { printf '[windows %4ds] %s\n' "$((SECONDS - START))" "$*"; }
pass() { PASSED=$((PASSED + 1)); log "PASS $*"; }
fail() { FAILED=$((FAILED + 1)); log "FAIL $*"; }
die() { printf '[windows] ERROR: %s\n' "$*" >&2; exit 1; }

# Looked for after the set-up, which installs Wine. Debian's "wine" and
# "wineboot" launchers pick the 32-bit loader whenever wine32 is installed:
# the loaders are named here instead.
find_wine() {
  WINE64=/usr/lib/wine/wine64
  [ -x "$WINE64" ] || WINE64=$(command -v wine64 || true)
  [ -x "$WINE64" ] || die "wine64 not found (run tools/windows/setup-deps.sh)"
  WINE32=/usr/lib/wine/wine
  WINESERVER=/usr/lib/wine/wineserver64
  [ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
  export WINESERVER
}

# How the 32-bit DLL runs: WAY32 is native, emulated or none (WHY32 says why).
decide_wine32() {
  WAY32=none
  if [ ! -x "$WINE32" ]; then
    WHY32="32-bit Wine is not installed ($(wine32_reason))"
  elif i386_decide "$WINE32" --version; then
    WAY32=$I386_WAY
  else
    WHY32="32-bit Wine is installed but its loader cannot run: $I386_WHY"
  fi
  log "32-bit DLL: ${WHY32:-will be $(way_text "$WAY32")}"
}

way_text() { [ "$1" = native ] && echo "run natively" || echo "run under qemu-i386 emulation (binfmt_misc)"; }

# Runs on any exit: the prefix's processes stopped, then the registration taken back.
finish() {
  if [ -n "${C_DRIVE:-}" ]; then "$WINESERVER" -k 2>/dev/null || true; fi
  i386_release
}

guid() { sed -n "s/^#define $1 \"\(.*\)\"/{\1}/p" "$ROOT/include/morphel/morphel.h"; }
CLSID=$(guid MORPHEL_CLSID_IMAGES_TEXT)
IID=$(guid MORPHEL_IID_IIMAGES_TEXT)
LIBID=$(guid MORPHEL_LIBID_TEXT)
[ -n "$CLSID" ] && [ -n "$IID" ] && [ -n "$LIBID" ] || die "identifiers not found in morphel.h"

# ---- builds ---------------------------------------------------------------------

timed() { # WHAT LOGFILE COMMAND...: runs quietly, shows the log on failure
  local what=$1 logfile=$2 t0=$SECONDS
  shift 2
  if "$@" >"$logfile" 2>&1; then
    log "$what: $((SECONDS - t0))s"
  else
    tail -n 40 "$logfile" >&2
    die "$what failed (log: $logfile)"
  fi
}

build_dll() { # ARCH DIR
  local toolchain=$ROOT/cmake/toolchain-mingw-$1.cmake dir=$ROOT/$2
  if [ ! -f "$dir/build.ninja" ]; then
    timed "configure $2" "$WORK/configure-$1.log" cmake -G Ninja -S "$ROOT" -B "$dir" \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  fi
  timed "build $2" "$WORK/build-$1.log" cmake --build "$dir"
}

# The DLL exports the four entry points and nothing else, and imports system
# DLLs only (the C and C++ runtimes and libgd are linked in).
check_binary() { # ARCH DLL
  local triplet exports imports bad
  [ "$1" = x86_64 ] && triplet=x86_64-w64-mingw32 || triplet=i686-w64-mingw32
  exports=$("$triplet-objdump" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
    | awk '/\[/ && !/Table/ {print $NF}' | sort | tr '\n' ' ')
  if [ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ]; then
    pass "$1 morphel.dll exports the four entry points only"
  else
    fail "$1 morphel.dll exports: $exports"
  fi
  imports=$("$triplet-objdump" -p "$2" | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')
  bad=$(tr ' ' '\n' <<<"$imports" | grep -viE '^(kernel32|msvcrt|user32|advapi32|ole32|oleaut32)\.dll$' \
    | grep -v '^$' || true)
  if [ -z "$bad" ]; then pass "$1 morphel.dll imports system DLLs only: $imports"
  else fail "$1 morphel.dll imports $bad"; fi
}

# The Linux library that the drawings are compared with.
linux_library() {
  if [ -n "${MORPHEL_LINUX_LIB:-}" ]; then
    LINUX_LIB_DIR=$(dirname "$MORPHEL_LINUX_LIB")
    return
  fi
  LINUX_LIB_DIR=$OUT/linux
  if [ ! -f "$LINUX_LIB_DIR/build.ninja" ]; then
    timed "configure the Linux library" "$WORK/configure-linux.log" cmake -G Ninja -S "$ROOT" \
      -B "$LINUX_LIB_DIR" -DCMAKE_BUILD_TYPE=Release -DMORPHEL_BUILD_TESTS=OFF \
      -DMORPHEL_BUILD_BENCH=OFF
  fi
  timed "build the Linux library" "$WORK/build-linux.log" cmake --build "$LINUX_LIB_DIR" \
    --target morphel
}

build_same_drawing() {
  timed "build same_drawing" "$WORK/build-same-drawing.log" \
    c++ -std=c++20 -Wall -Wextra -Werror -O1 -I"$ROOT/include" \
    "$ROOT/tests/windows/same_drawing.cpp" -o "$WORK/same_drawing" \
    -L"$LINUX_LIB_DIR" -lmorphel -Wl,-rpath,"$LINUX_LIB_DIR"
  rm -rf "$WORK/linux-drawing"
  mkdir -p "$WORK/linux-drawing"
  if "$WORK/same_drawing" "$WORK/linux-drawing" >"$WORK/same-drawing.log" 2>&1; then
    pass "the Linux library drew the reference files"
  else
    fail "the Linux library's drawing: $(cat "$WORK/same-drawing.log")"
  fi
}

# ---- Wine prefix -----------------------------------------------------------------

# wineboot runs in the background while the builds go on.
# Removes the prefixes and work folders of earlier runs, but not those of a
# run still going (their names end in its process id).
remove_earlier_runs() {
  local old pid
  for old in "$OUT"/prefix-* "$OUT"/test-*; do
    [ -e "$old" ] || continue
    pid=${old##*-}
    [ "$pid" != $$ ] && [[ "$pid" =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null && continue
    [ "$old" = "$WORK" ] || rm -rf "$old"
  done
}

start_prefix() {
  export WINEPREFIX=$OUT/prefix-$$
  C_DRIVE=$WINEPREFIX/drive_c
  PREFIX_START=$SECONDS
  ("$WINE64" wineboot.exe -i && "$WINESERVER" -w) >"$WORK/wineboot.log" 2>&1 &
  WINEBOOT_PID=$!
}

wait_prefix() {
  wait "$WINEBOOT_PID" || { cat "$WORK/wineboot.log" >&2; die "wineboot failed"; }
  log "fresh prefix $WINEPREFIX ready $((SECONDS - PREFIX_START))s after its start"
  # One server for every call that follows, instead of one per call.
  "$WINESERVER" -p
}

# The TrueType tests find DejaVu Sans in the prefix's Fonts folder through
# SetFontPathTTFAuto: the very file the Linux library draws the compared
# drawing with.
install_fonts() {
  local dejavu=/usr/share/fonts/truetype/dejavu
  [ -r "$dejavu/DejaVuSans.ttf" ] || die "$dejavu/DejaVuSans.ttf missing (fonts-dejavu-core)"
  mkdir -p "$C_DRIVE/windows/Fonts"
  cp "$dejavu/DejaVuSans.ttf" "$C_DRIVE/windows/Fonts/"
}

# ---- one bitness -----------------------------------------------------------------

# Runs a Windows program with the loader of BITS (64 or 32); a program that
# hangs is stopped after 40 minutes and fails.
win() { # BITS PROGRAM ARGS...
  local bits=$1
  shift
  timeout 2400 "$(loader "$bits")" "$@"
}
loader() { [ "$1" = 64 ] && echo "$WINE64" || echo "$WINE32"; }
system_dir() { [ "$1" = 64 ] && echo 'C:\windows\system32' || echo 'C:\windows\syswow64'; }

# Keys as BITS sees them, as "key|name|value" lines, exported by the reg.exe of
# that bitness, one export per key. (The 64-bit reg.exe's /reg:32 is no
# stand-in for a 32-bit program's view: it looks for ProgIDs under
# HKCR\Wow6432Node, where a 32-bit regsvr32 does not write them.) The default
# value is named "(Default)", a key gives "key||"; keys are in lower case (Wine
# spells "Typelib" its own way).
registry_view() { # BITS KEY...
  local bits=$1 key
  shift
  for key in "$@"; do registry_export "$bits" "$key"; done
}

registry_export() { # BITS KEY
  local file="registry$1.reg"
  rm -f "$C_DRIVE/$file"
  win "$1" "$(system_dir "$1")\\reg.exe" export "$2" "C:\\$file" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$C_DRIVE/$file" 2>/dev/null | tr -d '\r' | awk '
    function unescape(s) { gsub(/\\\\/, "\001", s); gsub(/\\"/, "\"", s); gsub(/\001/, "\\", s); return s }
    /^\[HKEY_CLASSES_ROOT/ { key = substr($0, 2, length($0) - 2); sub(/^HKEY_CLASSES_ROOT/, "HKCR", key)
                              key = tolower(key); print key "||"; next }
    /^@=/ { name = "(Default)"; rest = substr($0, 3) }
    /^"/ { match($0, /^"([^"\\]|\\.)*"=/); name = unescape(substr($0, 2, RLENGTH - 3))
           rest = substr($0, RLENGTH + 1) }
    /^[@"]/ { if (rest ~ /^".*"$/) rest = unescape(substr(rest, 2, length(rest) - 2))
              print key "|" name "|" rest }'
}

expect_entry() { # VIEW KEY NAME VALUE
  if grep -qxF "${2,,}|$3|$4" <<<"$1"; then
    pass "registry $2 ${3:-(key)} = ${4:-(present)}"
  else
    fail "registry $2 ${3:-(key)}: expected '${4:-(present)}', found: $(grep -F "${2,,}|$3|" <<<"$1" | head -n 1)"
  fi
}

key_exists() { # BITS KEY
  win "$1" "$(system_dir "$1")\\reg.exe" query "$2" >/dev/null 2>&1
}

check_registration() { # BITS DLLPATH
  local bits=$1 dll=$2 dump c="HKCR\\CLSID\\$CLSID"
  dump=$(registry_view "$bits" 'HKCR\Morphel.Images.1' 'HKCR\Morphel.Images' "$c" \
         "HKCR\\TypeLib\\$LIBID" "HKCR\\Interface\\$IID")
  expect_entry "$dump" 'HKCR\Morphel.Images.1' '(Default)' 'Images Class'
  expect_entry "$dump" 'HKCR\Morphel.Images.1\CLSID' '(Default)' "$CLSID"
  expect_entry "$dump" 'HKCR\Morphel.Images' '(Default)' 'Images Class'
  expect_entry "$dump" 'HKCR\Morphel.Images\CLSID' '(Default)' "$CLSID"
  expect_entry "$dump" 'HKCR\Morphel.Images\CurVer' '(Default)' 'Morphel.Images.1'
  expect_entry "$dump" "$c" '(Default)' 'Images Class'
  expect_entry "$dump" "$c\\ProgID" '(Default)' 'Morphel.Images.1'
  expect_entry "$dump" "$c\\VersionIndependentProgID" '(Default)' 'Morphel.Images'
  expect_entry "$dump" "$c\\Programmable" '' ''
  expect_entry "$dump" "$c\\InprocServer32" '(Default)' "$dll"
  expect_entry "$dump" "$c\\InprocServer32" 'ThreadingModel' 'Apartment'
  expect_entry "$dump" "$c\\TypeLib" '(Default)' "$LIBID"
  expect_entry "$dump" "HKCR\\TypeLib\\$LIBID\\1.0" '(Default)' 'Morphel 1.0 Type Library'
  expect_entry "$dump" "HKCR\\TypeLib\\$LIBID\\1.0\\0\\win$bits" '(Default)' "$dll"
  expect_entry "$dump" "HKCR\\Interface\\$IID" '(Default)' 'IImages'
  expect_entry "$dump" "HKCR\\Interface\\$IID\\TypeLib" '(Default)' "$LIBID"
}

check_unregistration() { # BITS
  local key
  for key in 'HKCR\Morphel.Images' 'HKCR\Morphel.Images.1' "HKCR\\CLSID\\$CLSID" \
             "HKCR\\TypeLib\\$LIBID\\1.0\\0\\win$1"; do
    if key_exists "$1" "$key"; then fail "$key still there after regsvr32 /u"
    else pass "$key gone after regsvr32 /u"; fi
  done
  if key_exists "$1" 'HKCR\CLSID'; then pass "HKCR\\CLSID kept after regsvr32 /u"
  else fail "HKCR\\CLSID gone after regsvr32 /u"; fi
}

regsvr32() { # BITS LABEL ARGS...
  local bits=$1 label=$2 rc=0
  shift 2
  win "$bits" "$(system_dir "$bits")\\regsvr32.exe" "$@" >/dev/null 2>&1 || rc=$?
  if [ "$rc" = 0 ]; then pass "$bits-bit $label: exit code 0"
  else fail "$bits-bit $label: exit code $rc"; fi
}

# A suite prints its marker and quits with 0; the script host says nothing
# and exits with 0 on a script error, so both are required.
run_script() { # BITS MARKER SCRIPT ARGS...
  local bits=$1 marker=$2 script=$3 out rc=0 t0=$SECONDS
  shift 3
  sed 's/$/\r/' "$ROOT/tests/windows/$script" >"$C_DRIVE/morphel-tests/$script"
  out=$(cd "$C_DRIVE" && win "$bits" "$(system_dir "$bits")\\cscript.exe" //nologo \
        "C:\\morphel-tests\\$script" "$@" 2>/dev/null | tr -d '\r') || rc=$?
  local line
  line=$(grep -E "^$marker" <<<"$out" | tail -n 1 || true)
  if [ "$rc" = 0 ] && [ -n "$line" ]; then
    pass "$bits-bit $script: $line, exit code 0 ($((SECONDS - t0))s)"
  else
    fail "$bits-bit $script: exit code $rc, output:"$'\n'"${out:-(nothing: a script error?)}"
  fi
}

run_server_test() { # BITS EXE DLLPATH [unregistered]
  local out rc=0
  cp "$2" "$C_DRIVE/morphel-tests/"
  out=$(cd "$C_DRIVE" && win "$1" "C:\\morphel-tests\\$(basename "$2")" "${@:3}" 2>&1 \
        | tr -d '\r') || rc=$?
  local summary
  summary=$(tail -n 1 <<<"$out")
  if [ "$rc" = 0 ] && [[ "$summary" =~ ^[0-9]+\ passed,\ 0\ failed$ ]]; then
    pass "$1-bit server test${4:+ ($4)}: $summary"
  else
    fail "$1-bit server test${4:+ ($4)}: exit code $rc"$'\n'"$(grep -v '^ok ' <<<"$out")"
  fi
}

compare_drawing() { # BITS
  local bits=$1 dir="drawing$1" file same=0 differ=()
  mkdir -p "$C_DRIVE/$dir"
  run_script "$bits" DRAWING-OK drawing.vbs "C:\\$dir\\"
  for file in "$WORK"/linux-drawing/*; do
    if cmp -s "$file" "$C_DRIVE/$dir/$(basename "$file")"; then same=$((same + 1))
    else differ+=("$(basename "$file")"); fi
  done
  if [ "${#differ[@]}" -eq 0 ] && [ "$same" -eq 18 ]; then
    pass "$bits-bit drawing: all $same files the same bytes as the Linux library's"
  else
    fail "$bits-bit drawing: $same files the same, different: ${differ[*]:-none}"
  fi
}

reg_add() { # BITS KEY ARGS...: into the view of BITS, by the 64-bit reg.exe
  "$WINE64" reg.exe add "$2" "${@:3}" "/reg:$1" /f
}

# The test-only server "Morphel.TestField" (an in-memory database field for the
# scripts), registered in the prefix with reg add for the bitness.
register_test_field() { # BITS BUILDDIR
  local bits=$1 key clsid dll='C:\morphel-tests\morphel_test_field.dll' rc=0
  clsid=$(sed -n 's|^// \({[0-9A-F-]*}\)$|\1|p' "$ROOT/tests/windows/test_field.cpp")
  key="HKCR\\CLSID\\$clsid"
  cp "$2/tests/windows/morphel_test_field.dll" "$C_DRIVE/morphel-tests/"
  { reg_add "$bits" "$key\\InprocServer32" /ve /d "$dll" &&
    reg_add "$bits" "$key\\InprocServer32" /v ThreadingModel /d Apartment &&
    reg_add "$bits" 'HKCR\Morphel.TestField\CLSID' /ve /d "$clsid"; } >/dev/null 2>&1 || rc=$?
  if [ "$rc" = 0 ]; then pass "$bits-bit test field $clsid registered"
  else fail "$bits-bit test field: reg add exit code $rc"; fi
}

# Checks run for each bitness while its DLL is registered, after the suites:
# "BITS SCRIPT" entries (BITS 64, 32 or "any"). A script runs from the source
# tree with WINEPREFIX, MORPHEL_WINE (the loader for that bitness: run Windows
# programs only through it), MORPHEL_WIN_BITS and MORPHEL_WIN_WORK (a folder of
# its own) set, and ends with "N passed, N failed".
BITNESS_STEPS=(
)

run_bitness_steps() { # BITS
  local entry bits script name out rc
  for entry in "${BITNESS_STEPS[@]}"; do
    read -r bits script <<<"$entry"
    [ "$bits" = any ] || [ "$bits" = "$1" ] || continue
    name=$(basename "$script" .sh)
    mkdir -p "$WORK/$name-$1"
    rc=0
    out=$(cd "$ROOT" && MORPHEL_WINE=$(loader "$1") MORPHEL_WIN_BITS=$1 MORPHEL_WIN_WORK="$WORK/$name-$1" \
          bash "$script" 2>&1) || rc=$?
    printf '%s\n' "$out" >"$WORK/$name-$1.log"
    if [ "$rc" = 0 ] && [[ "$(tail -n 1 <<<"$out")" =~ ^[0-9]+\ passed,\ 0\ failed$ ]]; then
      pass "$1-bit $name: $(tail -n 1 <<<"$out")"
    else
      fail "$1-bit $name: exit code $rc (log: $WORK/$name-$1.log)"$'\n'"$(tail -n 20 <<<"$out")"
    fi
  done
}

test_bitness() { # BITS BUILDDIR
  local bits=$1 build=$ROOT/$2 folder dll t0=$SECONDS
  folder="morphel$bits"
  dll="C:\\$folder\\morphel.dll"
  mkdir -p "$C_DRIVE/$folder" "$C_DRIVE/morphel-tests"
  cp "$build/morphel.dll" "$C_DRIVE/$folder/"
  regsvr32 "$bits" "regsvr32 /s" /s "$dll"
  check_registration "$bits" "$dll"
  run_server_test "$bits" "$build/tests/windows/morphel_server_test.exe" "$dll"
  register_test_field "$bits" "$build"
  run_script "$bits" SUITE-OK suite.vbs "C:\\morphel-tests\\"
  run_script "$bits" SUITE-OK suite.js "C:\\morphel-tests\\"
  compare_drawing "$bits"
  [ "$bits" != 64 ] || { docs_out=$(WINE=$WINE64 bash "$ROOT/tools/windows/docs-examples.sh" "$build/morphel.dll" "$WINEPREFIX" 2>&1) && pass "64-bit reference examples: ${docs_out##*$'\n'}" || fail "64-bit reference examples:"$'\n'"$docs_out"; }
  run_bitness_steps "$bits"
  regsvr32 "$bits" "regsvr32 /u /s" /u /s "$dll"
  check_unregistration "$bits"
  run_server_test "$bits" "$build/tests/windows/morphel_server_test.exe" "$dll" unregistered
  check_unregistration "$bits"
  log "$bits-bit tests: $((SECONDS - t0))s"
}

# counted COMMAND...: runs it, then sets COUNTED to the checks it added.
counted() {
  local p0=$PASSED f0=$FAILED
  "$@"
  COUNTED="$((PASSED - p0)) passed, $((FAILED - f0)) failed"
}

wine32_reason() {
  cat "$OUT/wine32-status" 2>/dev/null || echo "see tools/windows/setup-deps.sh"
}

main() {
  remove_earlier_runs
  mkdir -p "$WORK"
  # tools/test.sh runs the set-up itself just before (MORPHEL_WIN_SETUP_DONE=1).
  if [ "${MORPHEL_WIN_SETUP_DONE:-0}" != 1 ]; then
    timed "setup-deps" "$WORK/setup-deps.log" bash "$ROOT/tools/windows/setup-deps.sh"
  fi
  find_wine
  trap finish EXIT
  trap 'exit 130' INT TERM HUP
  # Before the boot: with a 32-bit loader that runs, the boot sets up the
  # prefix's 32-bit side too.
  decide_wine32
  start_prefix
  build_dll x86_64 build/win64
  build_dll i686 build/win32
  check_binary x86_64 "$ROOT/build/win64/morphel.dll"
  check_binary i686 "$ROOT/build/win32/morphel.dll"
  linux_library
  build_same_drawing
  wait_prefix
  install_fonts
  local summary64 summary32
  counted test_bitness 64 build/win64
  summary64="run: $COUNTED"
  if [ "$WAY32" != none ]; then
    counted test_bitness 32 build/win32
    summary32="$(way_text "$WAY32"): $COUNTED"
  else
    summary32="built, not run: $WHY32"
    log "the 32-bit DLL is built but not run: $WHY32"
  fi
  "$WINESERVER" -k 2>/dev/null || true
  if MORPHEL_WIN32_WAY=$WAY32 bash "$ROOT/tools/windows/package-test.sh"; then
    pass "the Windows zip (package-test.sh)"
  else
    fail "the Windows zip (package-test.sh)"
  fi
  log "done in $((SECONDS - START))s"
  echo "Windows 64-bit: $summary64"
  echo "Windows 32-bit: $summary32"
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}

main "$@"
