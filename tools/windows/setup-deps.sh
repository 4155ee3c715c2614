#!/usr/bin/env bash
# Prepares the Windows cross build on Debian 12:
#   1. installs the MinGW-w64 cross compilers, widl, Wine, nasm, CMake, Ninja
#      (and, where the host allows, 32-bit Wine),
#   2. fetches Debian's sources of libgd, libpng, libjpeg-turbo, FreeType and
#      mingw-w64 (a deb-src entry is added when apt has none),
#   3. cross-builds static libpng, libjpeg, FreeType and libgd for
#      x86_64-w64-mingw32 and i686-w64-mingw32 into build/windows/deps/<arch>/,
#   4. copies the system IDL files from mingw-w64 into build/windows/idl/.
#
# Idempotent: each finished step leaves a stamp and is skipped next time.
# Package installation needs root; with everything installed it does not.
#
# Environment:
#   MORPHEL_WIN_BUILD   output folder (default: <repo>/build/windows)
#   MORPHEL_WIN_ARCHES  architectures to build (default: "x86_64 i686")
#   MORPHEL_WINE32      auto (default): install 32-bit Wine when possible
#                       1: install it or fail; 0: leave it out
#   MORPHEL_JPEG_SIMD   1 (default): libjpeg-turbo with its nasm SIMD code; 0: without
#   MORPHEL_WIN_SERIAL  1: build the architectures one after the other
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
export LC_ALL=C

# Bump when the build recipe changes: stale stamps then rebuild.
readonly RECIPE=3

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
OUT=${MORPHEL_WIN_BUILD:-$ROOT/build/windows}
ARCHES=${MORPHEL_WIN_ARCHES:-x86_64 i686}
WINE32=${MORPHEL_WINE32:-auto}
JPEG_SIMD=${MORPHEL_JPEG_SIMD:-1}
SRC_PACKAGES=(libgd2 libpng1.6 libjpeg-turbo freetype)
JOBS=$(nproc)

PACKAGES=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  libz-mingw-w64-dev wine wine64 nasm cmake ninja-build dpkg-dev
  fonts-wine fonts-dejavu-core xz-utils bzip2 file
)

START=$SECONDS
log() { printf '[setup-deps %4ds] %s\n' "$((SECONDS - START))" "$*"; }
die() { printf '[setup-deps] ERROR: %s\n' "$*" >&2; exit 1; }

is_root() { [ "$(id -u)" -eq 0 ]; }

is_installed() {
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

APT_UPDATED=0
apt_update() {
  if [ "$APT_UPDATED" -eq 0 ]; then
    log "apt-get update"
    apt-get update -q -o DPkg::Lock::Timeout=300 >"$OUT/logs/apt-update.log" 2>&1 \
      || { cat "$OUT/logs/apt-update.log" >&2; die "apt-get update failed"; }
    APT_UPDATED=1
  fi
}

apt_install() {
  log "apt-get install $*"
  apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "$@" >>"$OUT/logs/apt-install.log" 2>&1 \
    || { tail -n 30 "$OUT/logs/apt-install.log" >&2; return 1; }
}

install_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    is_installed "$p" || missing+=("$p")
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    log "packages: all present"
    return
  fi
  is_root || die "missing packages (run as root to install): ${missing[*]}"
  apt_update
  apt_install "${missing[@]}" || die "package installation failed"
}

# 32-bit Wine runs the i686 builds (and the 32-bit script hosts).
install_wine32() {
  [ "$WINE32" = 0 ] && { log "wine32: skipped (MORPHEL_WINE32=0)"; return; }
  if is_installed wine32:i386; then
    log "wine32: present"
    return
  fi
  local why=""
  if ! is_root; then
    why="not root"
  elif [ "$(dpkg --print-architecture)" != amd64 ]; then
    why="host architecture is $(dpkg --print-architecture), not amd64"
  else
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      log "wine32: dpkg --add-architecture i386"
      dpkg --add-architecture i386
      APT_UPDATED=0
    fi
    apt_update
    apt_install wine32:i386 && { log "wine32: installed"; return; }
    why="apt-get install wine32:i386 failed (see $OUT/logs/apt-install.log)"
  fi
  [ "$WINE32" = 1 ] && die "wine32 requested but unavailable: $why"
  log "wine32: not installed ($why); i686 programs cannot be run under Wine"
}

have_deb_src() {
  local out
  out=$(apt-cache showsrc libgd2 2>/dev/null) || return 1
  grep -q '^Package: libgd2' <<<"$out"
}

# Writes deb-src twins of the Debian archive's deb entries into a file of our own.
add_deb_src() {
  local list=/etc/apt/sources.list.d/morphel-deb-src.sources
  is_root || die "apt has no deb-src entry; run once as root to add $list"
  log "adding deb-src entries: $list"
  {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] && [ "$f" != "$list" ] || continue
      # deb822 stanzas of the Debian archive, retyped as deb-src.
      awk '
        function flush() {
          if (types ~ /(^| )deb( |$)/ && uris ~ /debian/ && enabled !~ /^[Nn]o/)
            printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n%s\n",
                   uris, suites, comps, (signed != "" ? "Signed-By: " signed "\n" : "")
          types = uris = suites = comps = signed = enabled = ""
        }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        { key = $1; sub(/^[^:]*:[ \t]*/, ""); val = $0 }
        key == "Types:" { types = val }
        key == "URIs:" { uris = val }
        key == "Suites:" { suites = val }
        key == "Components:" { comps = val }
        key == "Signed-By:" { signed = val }
        key == "Enabled:" { enabled = val }
        END { flush() }
      ' "$f"
    done
  } >"$list.tmp"
  # One-line "deb ..." entries go to a .list twin.
  local oneline=/etc/apt/sources.list.d/morphel-deb-src.list
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
    | grep -E '^[[:space:]]*deb[[:space:]]' | grep debian \
    | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >"$oneline.tmp" || true
  [ -s "$list.tmp" ] && mv "$list.tmp" "$list" || rm -f "$list.tmp"
  [ -s "$oneline.tmp" ] && mv "$oneline.tmp" "$oneline" || rm -f "$oneline.tmp"
  [ -e "$list" ] || [ -e "$oneline" ] || die "found no Debian deb entry to mirror as deb-src"
  APT_UPDATED=0
  apt_update
  have_deb_src || die "deb-src entries added but apt still knows no source of libgd2"
}

# Downloads the .dsc/.orig/.debian files of $@ into $OUT/cache/pkgs (once).
fetch_sources() {
  local pkgs=() p
  mkdir -p "$OUT/cache/pkgs"
  for p in "$@"; do
    compgen -G "$OUT/cache/pkgs/${p}_*.dsc" >/dev/null || pkgs+=("$p")
  done
  [ "${#pkgs[@]}" -eq 0 ] && { log "sources: cached"; return; }
  have_deb_src || add_deb_src
  # apt's sandbox user must be able to write there.
  chmod 0777 "$OUT/cache/pkgs" 2>/dev/null || true
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  for p in "${pkgs[@]}"; do
    log "apt-get source --download-only $p"
    # A security mirror may list a version it does not serve yet: fall back
    # to the release's own version.
    download_source "$p" || download_source "$p/$codename" \
      || { tail -n 20 "$OUT/logs/apt-source.log" >&2; die "apt-get source $p failed"; }
  done
}

download_source() {
  (cd "$OUT/cache/pkgs" && apt-get source -q --download-only "$1") \
    >>"$OUT/logs/apt-source.log" 2>&1 && return
  log "apt-get source $1 failed (log: $OUT/logs/apt-source.log)"
  return 1
}

# Unpacks source package $1 (Debian patches applied) and prints its folder.
unpack_source() {
  local pkg=$1 dsc dir
  dsc=$(compgen -G "$OUT/cache/pkgs/${pkg}_*.dsc" | sort -V | tail -n 1)
  [ -n "$dsc" ] || die "no source of $pkg in $OUT/cache/pkgs"
  dir="$OUT/cache/src/$(basename "$dsc" .dsc)"
  if [ ! -e "$dir/.unpacked" ]; then
    rm -rf "$dir"
    mkdir -p "$OUT/cache/src"
    dpkg-source --no-check -q -x "$dsc" "$dir" >>"$OUT/logs/unpack.log" 2>&1 \
      || { tail -n 20 "$OUT/logs/unpack.log" >&2; die "dpkg-source -x $dsc failed"; }
    touch "$dir/.unpacked"
  fi
  printf '%s\n' "$dir"
}

# cmake_build NAME ARCH SRC_DIR [cmake args...]: configure, build, install.
cmake_build() {
  local name=$1 arch=$2 src=$3; shift 3
  local bdir="$OUT/deps-build/$arch/$name" prefix="$OUT/deps/$arch"
  local logf="$OUT/logs/$arch-$name.log"
  log "[$arch] building $name"
  rm -rf "$bdir"
  mkdir -p "$bdir"
  {
    cmake -S "$src" -B "$bdir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-$arch.cmake" \
      -DMORPHEL_WIN_DEPS_DIR="$prefix" \
      -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DCMAKE_INSTALL_LIBDIR=lib \
      -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CROSSCOMPILING_EMULATOR= \
      -DBUILD_SHARED_LIBS=OFF \
      "$@" \
    && cmake --build "$bdir" -j "$JOBS" \
    && cmake --install "$bdir"
  } >"$logf" 2>&1 || { tail -n 40 "$logf" >&2; die "[$arch] $name failed (log: $logf)"; }
}

build_arch() {
  local arch=$1 prefix="$OUT/deps/$arch" simd=ON
  [ "$JPEG_SIMD" = 1 ] || simd=OFF
  rm -rf "$prefix" "$OUT/deps-build/$arch"
  mkdir -p "$prefix"

  cmake_build libpng "$arch" "$SRC_LIBPNG" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -Dld-version-script=OFF

  # libjpeg-turbo resolves a relative CMAKE_INSTALL_LIBDIR against the
  # current folder, not the prefix.
  cmake_build libjpeg-turbo "$arch" "$SRC_LIBJPEG" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD="$simd" -DWITH_CRT_DLL=ON \
    -DCMAKE_INSTALL_LIBDIR="$prefix/lib"

  cmake_build freetype "$arch" "$SRC_FREETYPE" \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_PNG=ON -DFT_DISABLE_ZLIB=OFF -DFT_REQUIRE_ZLIB=ON

  # NONDLL: plain (not dllexport) declarations inside the static archive.
  cmake_build libgd "$arch" "$SRC_LIBGD" \
    -DBUILD_STATIC_LIBS=ON -DCMAKE_C_FLAGS=-DNONDLL \
    -DENABLE_PNG=ON -DENABLE_JPEG=ON -DENABLE_FREETYPE=ON \
    -DENABLE_TIFF=OFF -DENABLE_WEBP=OFF -DENABLE_XPM=OFF -DENABLE_FONTCONFIG=OFF \
    -DENABLE_RAQM=OFF -DENABLE_AVIF=OFF -DENABLE_HEIF=OFF -DENABLE_LIQ=OFF \
    -DENABLE_ICONV=OFF -DENABLE_GD_FORMATS=OFF

  # The static zlib this all links against sits with the rest.
  cp "/usr/$(triplet "$arch")/lib/libz.a" "$prefix/lib/"
  cp "/usr/$(triplet "$arch")/include/zlib.h" "/usr/$(triplet "$arch")/include/zconf.h" \
    "$prefix/include/"
  # Programs, manuals and docs of the libraries are not needed.
  rm -rf "$OUT/deps-build/$arch" "$prefix/bin" "$prefix/share"
  stamp_text >"$prefix/.stamp"
  log "[$arch] done: $prefix ($(du -sh "$prefix" | cut -f1))"
}

triplet() {
  case $1 in
    x86_64) echo x86_64-w64-mingw32 ;;
    i686) echo i686-w64-mingw32 ;;
    *) die "unknown architecture $1 (expected x86_64 or i686)" ;;
  esac
}

stamp_text() { echo "recipe=$RECIPE jpeg_simd=$JPEG_SIMD"; }

arch_done() { [ "$(cat "$OUT/deps/$1/.stamp" 2>/dev/null)" = "$(stamp_text)" ]; }

idl_done() { [ -e "$OUT/idl/.stamp" ]; }

# Debian's mingw packages ship headers generated from IDL but not the IDL:
# take oaidl.idl, ocidl.idl, unknwn.idl ... from the mingw-w64 sources.
extract_idl() {
  local tarball tmp
  tarball=$(compgen -G "$OUT/cache/pkgs/mingw-w64_*.orig.tar.*" | grep -v '\.asc$' | sort -V | tail -n 1)
  [ -n "$tarball" ] || die "no mingw-w64 source tarball in $OUT/cache/pkgs"
  log "extracting IDL files from $(basename "$tarball")"
  tmp="$OUT/cache/idl-tmp"
  rm -rf "$tmp" "$OUT/idl"
  mkdir -p "$tmp" "$OUT/idl"
  tar -xf "$tarball" -C "$tmp" --wildcards '*/mingw-w64-headers/include/*.idl'
  find "$tmp" -path '*/mingw-w64-headers/include/*.idl' -exec cp {} "$OUT/idl/" \;
  rm -rf "$tmp"
  [ -e "$OUT/idl/oaidl.idl" ] || die "oaidl.idl missing after extraction"
  touch "$OUT/idl/.stamp"
  log "IDL files: $(find "$OUT/idl" -name '*.idl' | wc -l) in $OUT/idl"
}

# Both architectures side by side: their single-threaded configure steps
# overlap the other's compiling (MORPHEL_WIN_SERIAL=1: one after the other).
build_arches() {
  local arch pids=() failed=0 i
  if [ "$#" -lt 2 ] || [ "${MORPHEL_WIN_SERIAL:-0}" = 1 ]; then
    for arch in "$@"; do build_arch "$arch"; done
    return
  fi
  for arch in "$@"; do
    build_arch "$arch" &
    pids+=("$!")
  done
  for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || failed=1
  done
  [ "$failed" -eq 0 ] || die "building the dependencies failed (logs: $OUT/logs)"
}

main() {
  local arch todo=()
  mkdir -p "$OUT/logs"
  log "output: $OUT"
  install_packages
  install_wine32

  for arch in $ARCHES; do
    triplet "$arch" >/dev/null
    if arch_done "$arch"; then
      log "[$arch] up to date ($OUT/deps/$arch)"
    else
      todo+=("$arch")
    fi
  done

  local srcs=()
  [ "${#todo[@]}" -gt 0 ] && srcs+=("${SRC_PACKAGES[@]}")
  idl_done || srcs+=(mingw-w64)
  [ "${#srcs[@]}" -gt 0 ] && fetch_sources "${srcs[@]}"
  idl_done || extract_idl

  if [ "${#todo[@]}" -gt 0 ]; then
    SRC_LIBGD=$(unpack_source libgd2)
    SRC_LIBPNG=$(unpack_source libpng1.6)
    SRC_LIBJPEG=$(unpack_source libjpeg-turbo)
    SRC_FREETYPE=$(unpack_source freetype)
    build_arches "${todo[@]}"
  fi
  log "all done"
}

main "$@"
