#!/usr/bin/env bash
# Makes the Windows download: build/windows/morphel-<version>-windows.zip with
#   x64/morphel.dll, x86/morphel.dll, register.cmd, unregister.cmd,
#   examples/*.vbs and README.txt (text files with Windows line ends).
# The DLLs come from build/win64 and build/win32, configured and built here
# when missing (the static dependencies from tools/windows/setup-deps.sh, in
# $MORPHEL_WIN_BUILD or build/windows). Prints the zip's path last.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SOURCE=$ROOT/tools/windows/package
VERSION=$(sed -nE 's/^project\(morphel VERSION ([0-9.]+).*/\1/p' "$ROOT/CMakeLists.txt")
OUT=$ROOT/build/windows
ZIP=$OUT/morphel-$VERSION-windows.zip

build_dll() { # ARCH DIR
  local dir=$ROOT/$2
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -G Ninja -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-$1.cmake" \
      -DCMAKE_BUILD_TYPE=Release >"$OUT/package-configure-$1.log" 2>&1 \
      || { tail -n 30 "$OUT/package-configure-$1.log" >&2; exit 1; }
  fi
  cmake --build "$dir" --target morphel >"$OUT/package-build-$1.log" 2>&1 \
    || { tail -n 30 "$OUT/package-build-$1.log" >&2; exit 1; }
}

crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }

main() {
  mkdir -p "$OUT"
  build_dll x86_64 build/win64
  build_dll i686 build/win32
  local stage=$OUT/package-stage
  rm -rf "$stage" "$ZIP"
  mkdir -p "$stage/x64" "$stage/x86" "$stage/examples"
  cp "$ROOT/build/win64/morphel.dll" "$stage/x64/"
  cp "$ROOT/build/win32/morphel.dll" "$stage/x86/"
  crlf "$SOURCE/register.cmd" "$stage/register.cmd"
  crlf "$SOURCE/unregister.cmd" "$stage/unregister.cmd"
  local example
  for example in "$SOURCE"/examples/*.vbs; do crlf "$example" "$stage/examples/${example##*/}"; done
  sed "s/@VERSION@/$VERSION/" "$SOURCE/README.txt" >"$stage/README.tmp"
  crlf "$stage/README.tmp" "$stage/README.txt"
  rm "$stage/README.tmp"
  # Fixed times and order: the same inputs give the same zip.
  find "$stage" -exec touch -d "@$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0)" {} +
  (cd "$stage" && find . -type f | sort | sed 's|^\./||' | zip -q -X -@ "$ZIP")
  rm -rf "$stage"
  echo "$ZIP"
}

main "$@"
