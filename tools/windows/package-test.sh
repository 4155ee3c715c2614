#!/usr/bin/env bash
# Proves the Windows download as a user meets it: makes the zip
# (tools/windows/package.sh), unpacks it into C:\Morphel of a fresh Wine
# prefix, and from there runs register.cmd, the example scripts with the
# script host, and unregister.cmd, reading the registry back after each.
# A copy without x64\morphel.dll must fail with a clear message. Where 32-bit
# Windows programs run (MORPHEL_WIN32_WAY native or emulated, as the test
# command decided) both DLLs are registered and the examples also run under
# the 32-bit script host; otherwise the x64 half.
# Ends with "N passed, N failed"; non-zero exit on any failure.
set -uo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEPREFIX=$ROOT/build/windows/package-prefix-$$
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
C_DRIVE=$WINEPREFIX/drive_c

PASSED=0
FAILED=0
log() { printf '[package-test] %s\n' "$*"; }
pass() { PASSED=$((PASSED + 1)); log "PASS $*"; }
fail() { FAILED=$((FAILED + 1)); log "FAIL $*"; }

# Every call names the 64-bit loader and server: Debian's wineboot and
# wineserver launchers pick the 32-bit ones whenever 32-bit Wine is installed,
# which may be unable to run here or run only under emulation.
WINE64=/usr/lib/wine/wine64
[ -x "$WINE64" ] || WINE64=$(command -v wine64)
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
# The x86 half runs where the test command found a way to run 32-bit Windows
# programs (MORPHEL_WIN32_WAY: native or emulated; none or unset: x64 only).
BOTH=0
case "${MORPHEL_WIN32_WAY:-none}" in native | emulated) BOTH=1 ;; esac
[ -x /usr/lib/wine/wine ] || BOTH=0

# cmd.exe COMMAND LINE...: runs it in C:\work, stdout and stderr together,
# CRs removed; sets RC to the exit code.
cmd() {
  RC=0
  OUT=$(cd "$C_DRIVE/work" && "$WINE64" cmd /c "$@" 2>&1 | tr -d '\r') || RC=$?
}

# The registered server of the class for a registry view (64 or 32).
server_of() { # BITS
  "$WINE64" reg query 'HKCR\CLSID\{9A77BC89-042C-40AB-B0B9-60819F5CDABF}\InprocServer32' /ve \
    "/reg:$1" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}

expect() { # WHAT CONDITION-RESULT(0/1) DETAIL
  if [ "$2" = 0 ]; then pass "$1"; else fail "$1: $3"; fi
}

register() {
  local arg=() bits
  [ "$BOTH" = 1 ] || arg=(x64)
  cmd 'C:\Morphel\register.cmd' "${arg[@]}"
  expect "register.cmd ${arg[*]}: exit code 0" "$RC" "exit code $RC: $OUT"
  log "register.cmd said: $OUT"
  for bits in 64 $([ "$BOTH" = 1 ] && echo 32); do
    local dll='C:\Morphel\x64\morphel.dll'
    [ "$bits" = 32 ] && dll='C:\Morphel\x86\morphel.dll'
    [ "$(server_of "$bits")" = "$dll" ]
    expect "$bits-bit registry: the class's server is $dll" "$?" "found '$(server_of "$bits")'"
  done
}

run_examples() { # BITS
  local host='C:\windows\system32\cscript.exe' png
  [ "$1" = 32 ] && host='C:\windows\syswow64\cscript.exe'
  rm -f "$C_DRIVE/work/hello.png" "$C_DRIVE/work/thumbnail.jpg"
  cmd "$host" //nologo 'C:\Morphel\examples\hello.vbs'
  png=$(od -An -tx1 -N24 "$C_DRIVE/work/hello.png" 2>/dev/null | tr -d ' \n')
  [ "$RC" = 0 ] && grep -q '^80004005 Morphel: NO IMAGE!$' <<<"$OUT" &&
    [ "$png" = 89504e470d0a1a0a0000000d49484452000000c800000064 ]
  expect "$1-bit cscript examples\\hello.vbs wrote a 200x100 PNG and reported NO IMAGE!" "$?" \
    "exit code $RC: $OUT"
  cmd "$host" //nologo 'C:\Morphel\examples\thumbnail.vbs' hello.png thumbnail.jpg
  [ "$RC" = 0 ] && grep -q '(50x25)$' <<<"$OUT" &&
    [ "$(od -An -tx1 -N3 "$C_DRIVE/work/thumbnail.jpg" 2>/dev/null | tr -d ' \n')" = ffd8ff ]
  expect "$1-bit cscript examples\\thumbnail.vbs wrote a 50x25 JPEG" "$?" "exit code $RC: $OUT"
}

unregister() {
  local arg=()
  [ "$BOTH" = 1 ] || arg=(x64)
  cmd 'C:\Morphel\unregister.cmd' "${arg[@]}"
  expect "unregister.cmd ${arg[*]}: exit code 0" "$RC" "exit code $RC: $OUT"
  [ -z "$(server_of 64)" ] && [ -z "$(server_of 32)" ]
  expect "the class is gone from both registry views" "$?" "still there"
}

# Copies of the package with x64\morphel.dll missing, then not a DLL: register.cmd
# must fail and say why; an unknown argument is refused.
broken_packages() {
  mkdir -p "$C_DRIVE/Broken"
  cp -r "$C_DRIVE/Morphel/." "$C_DRIVE/Broken/"
  rm "$C_DRIVE/Broken/x64/morphel.dll"
  cmd 'C:\Broken\register.cmd' x64
  [ "$RC" = 1 ] && grep -q 'x64.morphel.dll was not registered: the file is missing' <<<"$OUT"
  expect "register.cmd without x64\\morphel.dll: exit code 1, says it is missing" "$?" \
    "exit code $RC: $OUT"
  echo "not a DLL" >"$C_DRIVE/Broken/x64/morphel.dll"
  cmd 'C:\Broken\register.cmd' x64
  [ "$RC" = 1 ] && grep -q 'could not be loaded (regsvr32 exit code 3)' <<<"$OUT"
  expect "register.cmd with a damaged x64\\morphel.dll: exit code 1, says regsvr32 could not load it" \
    "$?" "exit code $RC: $OUT"
  cmd 'C:\Broken\register.cmd' x65
  [ "$RC" = 2 ]
  expect "register.cmd x65: exit code 2 (unknown argument)" "$?" "exit code $RC: $OUT"
}

main() {
  local zip
  zip=$(bash "$ROOT/tools/windows/package.sh" | tail -n 1)
  log "zip: $zip ($(stat -c %s "$zip") bytes)"
  trap '"$WINESERVER" -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
  (unset WINEARCH; "$WINE64" wineboot -i >/dev/null 2>&1) && "$WINESERVER" -w
  mkdir -p "$C_DRIVE/Morphel" "$C_DRIVE/work"
  unzip -q "$zip" -d "$C_DRIVE/Morphel"
  register
  run_examples 64
  [ "$BOTH" = 1 ] && run_examples 32
  broken_packages
  unregister
  [ "$BOTH" = 1 ] || log "32-bit Wine not used: x86\\morphel.dll is packaged but not registered here"
  echo "Windows zip: $PASSED passed, $FAILED failed"
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}

main "$@"
