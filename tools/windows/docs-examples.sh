#!/usr/bin/env bash
# Runs every VBScript example of the operation reference (docs/operations) and
# the first-steps program under Wine with the 64-bit script host, each in a
# folder of its own, and checks that each ran without a script error and that
# every picture one writes is, byte for byte, the committed picture the
# documentation shows (docs/reference/pictures/<name>.png, docs/first-steps.png).
#
#   tools/windows/docs-examples.sh MORPHEL_DLL [WINEPREFIX]
#
# With WINEPREFIX: a prefix in which MORPHEL_DLL is registered and DejaVu Sans is
# in the Fonts folder (tools/windows/test.sh hands over its own). Without: a fresh
# prefix under /tmp is made, the DLL registered there, and the prefix removed at
# the end. WINE names the 64-bit Wine loader (default: /usr/lib/wine/wine64, else
# wine64 on the path). MORPHEL_DOCS_PARTIAL=1 takes the families written so far
# (drafts only). Ends with "N examples ran, N pictures the same bytes" or
# the failures; the exit code is non-zero on any failure.
set -euo pipefail
export LC_ALL=C WINEDEBUG=-all

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
DLL=${1:?usage: docs-examples.sh MORPHEL_DLL [WINEPREFIX]}
WINE=${WINE:-/usr/lib/wine/wine64}
[ -x "$WINE" ] || WINE=$(command -v wine64 || true)
[ -x "$WINE" ] || { echo "docs-examples: wine64 not found" >&2; exit 1; }
WORK=$(mktemp -d /tmp/morphel-docs-examples.XXXXXX)
OWN_PREFIX=0

cleanup() {
  if [ "$OWN_PREFIX" = 1 ]; then
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# A fresh prefix with the DLL registered and the font the text examples draw with.
make_prefix() {
  export WINEPREFIX=$WORK/prefix
  OWN_PREFIX=1
  "$WINE" wineboot -i >/dev/null 2>&1 && wineserver -w
  mkdir -p "$WINEPREFIX/drive_c/morphel64" "$WINEPREFIX/drive_c/windows/Fonts"
  cp "$DLL" "$WINEPREFIX/drive_c/morphel64/"
  cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  "$WINE" 'C:\windows\system32\regsvr32.exe' /s 'C:\morphel64\morphel.dll' >/dev/null 2>&1
}

if [ -n "${2:-}" ]; then export WINEPREFIX=$2; else make_prefix; fi
C_DRIVE=$WINEPREFIX/drive_c
RUN=$C_DRIVE/morphel-docs
rm -rf "$RUN"
mkdir -p "$RUN/run"

# MORPHEL_DOCS_PARTIAL=1 while drafting: the families written so far.
partial=()
[ "${MORPHEL_DOCS_PARTIAL:-0}" = 1 ] && partial=(--partial)
python3 "$ROOT/tools/gen_reference.py" "${partial[@]}" --examples "$WORK/examples"
cp -r "$WORK/examples/all.vbs" "$WORK/examples/vbscript" "$RUN/"
cscript() { # SCRIPT (under C:\morphel-docs)
  (cd "$C_DRIVE" && "$WINE" 'C:\windows\system32\cscript.exe' //nologo \
     "C:\\morphel-docs\\$1" 'C:\morphel-docs\run' 2>&1 | tr -d '\r') || true
}

failures=()
out=$(cscript all.vbs)
if ! grep -q '^EXAMPLES-DONE ' <<<"$out"; then
  # The script host ran nothing (a syntax error in some example stops the whole
  # script): one script per example finds which.
  out=""
  for script in "$WORK"/examples/vbscript/*.vbs; do
    one=$(cscript "vbscript\\$(basename "$script")")
    grep -q '^EXAMPLES-DONE ' <<<"$one" ||
      failures+=("$(basename "$script" .vbs): the script host did not run it (a syntax error?)")
    out+=$one$'\n'
  done
fi
ran=$(grep -c '^EXAMPLE .* ok$' <<<"$out" || true)
while read -r line; do failures+=("$line"); done < <(grep '^EXAMPLE .* FAILED' <<<"$out" || true)
same=0
while read -r name picture reference; do
  drawn=$RUN/run/$name/$picture
  if cmp -s "$drawn" "$ROOT/$reference"; then
    same=$((same + 1))
  elif [ -f "$drawn" ]; then
    failures+=("$name: $picture differs from $reference")
  else
    failures+=("$name: wrote no $picture")
  fi
done <"$WORK/examples/pictures.txt"

for failure in "${failures[@]}"; do echo "FAILED $failure"; done
# The script host's own words about what failed (a script error stops it).
[ "${#failures[@]}" -eq 0 ] || grep -v '^EXAMPLE .* \(start\|ok\)$' <<<"$out" | tail -n 20
echo "$ran examples ran, $same pictures the same bytes"
[ "${#failures[@]}" -eq 0 ]
