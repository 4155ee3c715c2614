#!/usr/bin/env bash
# Proves the Windows tool chain end to end, headless, under Wine:
#   - libgd smoke program cross-built against the static deps, run, PNG checked
#     (x86_64; i686 too when 32-bit Wine is installed),
#   - the script host: cscript runs VBScript and JScript, WScript.Quit codes,
#   - widl turns an IDL with a dual interface and a coclass into a type library
#     (importing stdole2.tlb), windres embeds it as TYPELIB 1 in a DLL, and
#     oleaut32 loads it back from the DLL,
#   - a minimal in-process server with that type library registers with
#     regsvr32 and is created and called by name from VBScript and JScript.
# Needs tools/windows/setup-deps.sh to have run. Uses a fresh throw-away
# WINEPREFIX under build/windows/ and removes it afterwards
# (MORPHEL_KEEP_PREFIX=1 keeps it). Ends with "N passed, N failed".
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
OUT=${MORPHEL_WIN_BUILD:-$ROOT/build/windows}
WORK=$OUT/smoke
export WINEPREFIX=$OUT/wineprefix-smoke
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

START=$SECONDS
PASSED=0
FAILED=0
log() { printf '[smoke %4ds] %s\n' "$((SECONDS - START))" "$*"; }
pass() { PASSED=$((PASSED + 1)); log "PASS $*"; }
fail() { FAILED=$((FAILED + 1)); log "FAIL $*"; }
die() { printf '[smoke] ERROR: %s\n' "$*" >&2; exit 1; }

triplet() { [ "$1" = x86_64 ] && echo x86_64-w64-mingw32 || echo i686-w64-mingw32; }

cc_for() {
  local t
  t=$(triplet "$1")
  command -v "$t-gcc-posix" || command -v "$t-gcc" || die "no C cross compiler for $1"
}

# The loaders are named: Debian's "wine" and "wineboot" pick the 32-bit one
# whenever wine32 is installed, even where it cannot run.
WINE64=/usr/lib/wine/wine64
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || true)
[ -x "$WINE64" ] || die "wine64 not found (run tools/windows/setup-deps.sh)"
WINE32=/usr/lib/wine/wine
export WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
source "$ROOT/tools/windows/i386.sh"
HAVE_WINE32=0
[ -x "$WINE32" ] && i386_decide "$WINE32" --version && HAVE_WINE32=1
WIDL=$(command -v x86_64-w64-mingw32-widl || command -v widl || die "widl not found")
WINE_PE64=$(dirname "$(find /usr/lib/x86_64-linux-gnu/wine /usr/lib/wine -name stdole2.tlb \
  -path '*x86_64-windows*' 2>/dev/null | head -n 1)")
[ -e "$WINE_PE64/stdole2.tlb" ] || die "Wine's stdole2.tlb not found"
IDL_DIR=$OUT/idl
[ -e "$IDL_DIR/oaidl.idl" ] || die "$IDL_DIR/oaidl.idl missing (run tools/windows/setup-deps.sh)"

run_wine() { # ARCH PROGRAM ARGS...: runs with the loader of that bitness
  local arch=$1; shift
  if [ "$arch" = x86_64 ]; then "$WINE64" "$@"; else "$WINE32" "$@"; fi
}

# Only system DLLs may be imported: no libgcc, libstdc++, winpthread, zlib...
check_imports() { # ARCH FILE
  local bad
  bad=$("$(triplet "$1")-objdump" -p "$2" | awk '/DLL Name:/ {print $3}' \
    | grep -viE '^(kernel32|msvcrt|user32|gdi32|advapi32|ole32|oleaut32|shell32|shlwapi|uuid|ws2_32|bcrypt|ucrtbase|api-ms-win-.*)\.dll$' || true)
  if [ -z "$bad" ]; then pass "$1 $(basename "$2") imports system DLLs only"
  else fail "$1 $(basename "$2") imports $bad"; fi
}

# Signature, IHDR size, and (with python3) chunk CRCs and the inflated length.
check_png() { # FILE WIDTH HEIGHT
  local sig ihdr
  sig=$(od -An -tx1 -N8 "$1" | tr -d ' \n')
  ihdr=$(od -An -tx1 -j12 -N12 "$1" | tr -d ' \n')
  if [ "$sig" != 89504e470d0a1a0a ]; then fail "PNG signature of $1: $sig"; return; fi
  if [ "$ihdr" != "$(printf '49484452%08x%08x' "$2" "$3")" ]; then
    fail "PNG header of $1: $ihdr"; return
  fi
  if command -v python3 >/dev/null; then
    python3 - "$1" <<'EOF' || { fail "PNG structure of $1"; return; }
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, kinds = 8, b"", []
while pos < len(data):
    n, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    crc, = struct.unpack(">I", data[pos + 8 + n:pos + 12 + n])
    assert zlib.crc32(kind + body) == crc, kind
    kinds.append(kind)
    if kind == b"IDAT":
        idat += body
    pos += 12 + n
w, h, depth, ctype = struct.unpack(">IIBB", data[16:26])
channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ctype]
assert len(zlib.decompress(idat)) == h * (1 + w * channels * depth // 8)
assert kinds[0] == b"IHDR" and kinds[-1] == b"IEND"
EOF
  fi
  pass "$(basename "$1") is a valid ${2}x${3} PNG"
}

init_prefix() {
  log "fresh WINEPREFIX $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  local t0=$SECONDS
  "$WINE64" wineboot.exe -i >"$WORK/wineboot.log" 2>&1 || { cat "$WORK/wineboot.log" >&2; die "wineboot failed"; }
  "$WINESERVER" -w
  log "wineboot -i: $((SECONDS - t0))s (no display)"
}

can_run() { [ "$1" = x86_64 ] || [ "$HAVE_WINE32" = 1 ]; }

gd_smoke() { # ARCH
  local arch=$1 deps="$OUT/deps/$1" exe="$WORK/gd_smoke_$1.exe" png="gd_smoke_$1.png" out
  [ -e "$deps/.stamp" ] || die "$deps not built (run tools/windows/setup-deps.sh)"
  "$(cc_for "$arch")" -std=c11 -Wall -Wextra -Werror -O2 -DNONDLL -DBGDWIN32 \
    -I"$deps/include" "$ROOT/tests/windows/gd_smoke.c" -o "$exe" \
    -static -static-libgcc -L"$deps/lib" -lgd -lfreetype -lpng16 -ljpeg -lz
  check_imports "$arch" "$exe"
  can_run "$arch" || return 0
  local font=/usr/share/wine/fonts/tahoma.ttf font_arg=()
  [ -e "$font" ] && font_arg=("Z:${font//\//\\}")
  if out=$(cd "$WORK" && run_wine "$arch" "$exe" "$png" "${font_arg[@]}" 2>&1) \
     && grep -q GD_SMOKE_OK <<<"$out"; then
    pass "$arch gd_smoke under Wine${font_arg:+ (FreeType with ${font_arg[0]})}"
  else
    fail "$arch gd_smoke under Wine:"$'\n'"$out"
  fi
  if [ -e "$WORK/$png" ]; then check_png "$WORK/$png" 64 48
  else fail "$arch gd_smoke wrote no PNG"; fi
}

# cscript: WScript.Echo goes to stdout with CRLF; WScript.Quit N is the exit
# code; a run-time or syntax error ends the script silently with code 0.
cscript_checks() { # ARCH
  local arch=$1 host out rc
  if [ "$arch" = x86_64 ]; then host='C:\windows\system32\cscript.exe'
  else host='C:\windows\syswow64\cscript.exe'; fi
  printf 'WScript.Echo "VBS-MARKER " & (40 + 2)\r\nWScript.Quit 3\r\n' >"$WORK/quit.vbs"
  printf 'WScript.Echo("JS-MARKER " + (40 + 2));\r\nWScript.Quit(5);\r\n' >"$WORK/quit.js"
  printf 'WScript.Echo "before"\r\nx = 1 / 0\r\nWScript.Echo "after"\r\n' >"$WORK/error.vbs"
  for case in "quit.vbs:VBS-MARKER 42:3" "quit.js:JS-MARKER 42:5" "error.vbs:before:0"; do
    IFS=: read -r file marker code <<<"$case"
    rc=0
    out=$(cd "$WORK" && run_wine "$arch" "$host" //nologo "$file" 2>/dev/null) || rc=$?
    if [ "$out" = "$marker"$'\r' ] && [ "$rc" = "$code" ]; then
      pass "$arch cscript $file: printed '$marker', exit code $rc"
    else
      fail "$arch cscript $file: printed '$(printf '%q' "$out")', exit code $rc (expected '$marker', $code)"
    fi
  done
}

write_probe_idl() {
  cat >"$WORK/probe.idl" <<'EOF'
import "oaidl.idl";
import "ocidl.idl";

[
  object, uuid(6f1d3a52-8c1e-4b7a-9d55-0a3c9e2b7f11), dual, nonextensible,
  helpstring("IProbe Interface"), pointer_default(unique)
]
interface IProbe : IDispatch
{
  [id(1), helpstring("Adds two numbers")]
  HRESULT Add([in] long a, [in] long b, [out, retval] long *sum);
  [propget, id(2)] HRESULT Name([out, retval] BSTR *name);
  [propput, id(2)] HRESULT Name([in] BSTR name);
  [id(3)] HRESULT Echo([in] VARIANT v, [in, optional] VARIANT opt,
                       [out, retval] VARIANT *result);
};

[
  uuid(6f1d3a52-8c1e-4b7a-9d55-0a3c9e2b7f10), version(1.0),
  helpstring("Probe 1.0 Type Library")
]
library PROBELib
{
  importlib("stdole2.tlb");
  [uuid(6f1d3a52-8c1e-4b7a-9d55-0a3c9e2b7f12), helpstring("Probe Class")]
  coclass Probe
  {
    [default] interface IProbe;
  };
};
EOF
  printf '#include <windows.h>\nBOOL WINAPI DllMain(HINSTANCE i, DWORD r, LPVOID p)\n{ (void)i; (void)r; (void)p; return TRUE; }\n' \
    >"$WORK/probe_dll.c"
}

typelib_smoke() { # ARCH
  local arch=$1 t bits out
  t=$(triplet "$arch")
  [ "$arch" = x86_64 ] && bits=win64 || bits=win32
  "$WIDL" "--$bits" -t -o "$WORK/probe_$arch.tlb" -I "$IDL_DIR" -L "$WINE_PE64" "$WORK/probe.idl"
  "$WIDL" -h -o "$WORK/probe.h" -I "$IDL_DIR" "$WORK/probe.idl"
  printf '1 TYPELIB "probe_%s.tlb"\n' "$arch" >"$WORK/probe_$arch.rc"
  (cd "$WORK" && "$t-windres" -O coff -i "probe_$arch.rc" -o "probe_${arch}_res.o")
  "$(cc_for "$arch")" -shared -o "$WORK/probe_$arch.dll" "$WORK/probe_dll.c" \
    "$WORK/probe_${arch}_res.o" -static -static-libgcc
  "$(cc_for "$arch")" -std=c11 -Wall -Wextra -Werror -o "$WORK/typelib_smoke_$arch.exe" \
    "$ROOT/tests/windows/typelib_smoke.c" -static -static-libgcc -loleaut32 -lole32 -luuid
  check_imports "$arch" "$WORK/probe_$arch.dll"
  can_run "$arch" || return 0
  if out=$(cd "$WORK" && run_wine "$arch" "typelib_smoke_$arch.exe" "probe_$arch.dll" 2>&1) \
     && grep -q TYPELIB_SMOKE_OK <<<"$out"; then
    pass "$arch widl $bits type library embedded as TYPELIB 1, loaded by LoadTypeLibEx"
  else
    fail "$arch type library:"$'\n'"$out"
  fi
}

# An in-process server registered with regsvr32 and driven by name from
# both script languages, through the type information of its dual interface.
com_probe() { # ARCH
  local arch=$1 t dll out regsvr host expected
  t=$(triplet "$arch")
  dll="com_probe_$arch.dll"
  printf 'EXPORTS\n  DllGetClassObject PRIVATE\n  DllCanUnloadNow PRIVATE\n  DllRegisterServer PRIVATE\n  DllUnregisterServer PRIVATE\n' \
    >"$WORK/com_probe.def"
  "$(cc_for "$arch")" -std=c11 -Wall -Wextra -Werror -shared -o "$WORK/$dll" -I"$WORK" \
    "$ROOT/tests/windows/com_probe.c" "$WORK/com_probe.def" "$WORK/probe_${arch}_res.o" \
    -static -static-libgcc -Wl,--kill-at,--enable-stdcall-fixup \
    -loleaut32 -lole32 -luuid -ladvapi32
  check_imports "$arch" "$WORK/$dll"
  can_run "$arch" || return 0
  if [ "$arch" = x86_64 ]; then regsvr='C:\windows\system32\regsvr32.exe'; host='C:\windows\system32\cscript.exe'
  else regsvr='C:\windows\syswow64\regsvr32.exe'; host='C:\windows\syswow64\cscript.exe'; fi
  if (cd "$WORK" && run_wine "$arch" "$regsvr" /s "$dll") >/dev/null 2>&1; then
    pass "$arch regsvr32 $dll"
  else
    fail "$arch regsvr32 $dll"; return 0
  fi
  cp "$ROOT/tests/windows/com_probe.vbs" "$ROOT/tests/windows/com_probe.js" "$WORK/"
  expected='add=42
name=abc
echo=missing 3.5 Integer
case=2
err=5 desc=[Invalid procedure call or argument]
nomember=1B6
typemismatch=D
argcount=1C2
DONE'
  out=$(cd "$WORK" && run_wine "$arch" "$host" //nologo com_probe.vbs 2>/dev/null | tr -d '\r') || true
  if [ "$out" = "$expected" ]; then pass "$arch VBScript CreateObject and late-bound calls"
  else fail "$arch VBScript probe printed:"$'\n'"$out"; fi
  expected='add=42 name=js echo=missing
caught 80070057
DONE'
  out=$(cd "$WORK" && run_wine "$arch" "$host" //nologo com_probe.js 2>/dev/null | tr -d '\r') || true
  if [ "$out" = "$expected" ]; then pass "$arch JScript ActiveXObject and late-bound calls"
  else fail "$arch JScript probe printed:"$'\n'"$out"; fi
}

stop_wine() { "$WINESERVER" -k >/dev/null 2>&1 || true; i386_release; }

main() {
  trap stop_wine EXIT
  rm -rf "$WORK"
  mkdir -p "$WORK"
  [ "$HAVE_WINE32" = 1 ] || log "32-bit Wine not installed or cannot run here: i686 programs are built but not run"
  init_prefix
  write_probe_idl
  for arch in x86_64 i686; do
    gd_smoke "$arch"
    can_run "$arch" && cscript_checks "$arch"
    typelib_smoke "$arch"
    com_probe "$arch"
  done
  stop_wine
  [ "${MORPHEL_KEEP_PREFIX:-0}" = 1 ] || rm -rf "$WINEPREFIX"
  log "done in $((SECONDS - START))s"
  echo "windows-smoke: $PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}

main "$@"
