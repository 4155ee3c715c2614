#!/usr/bin/env bash
# Prepares the Windows cross build on Debian 12:
#   1. installs the MinGW-w64 cross compilers, widl, Wine, nasm, CMake, Ninja
#      (and, where the host runs i386 programs natively or under qemu-i386
#      emulation, 32-bit Wine and qemu-user-static),
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
#   MORPHEL_WIN32_EMULATION  auto (default): i386 programs natively, else
#                       under qemu-i386; 0: natively only; force: emulated
#                       even where the kernel runs them (tools/windows/i386.sh)
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
source "$ROOT/tools/apt-lib.sh"
source "$ROOT/tools/windows/i386.sh"

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
# apt-get update, tried a few times. When only the i386 index fails and no
# i386 package is installed, the i386 architecture (left by an earlier run that
# stopped half-way) is removed again so that it cannot block the update.
apt_update() {
  [ "$APT_UPDATED" -eq 0 ] || return 0
  log "apt-get update"
  if ! apt_update_retry "$OUT/logs/apt-update.log"; then
    if apt_failed_on_i386_only "$OUT/logs/apt-update.log" && i386_unused; then
      drop_i386 "its package index could not be fetched"
    fi
    apt_update_retry "$OUT/logs/apt-update.log" \
      || { cat "$OUT/logs/apt-update.log" >&2; die "apt-get update failed"; }
  fi
  APT_UPDATED=1
}

drop_i386() { # WHY
  log "i386: removing the architecture again ($1)"
  dpkg --remove-architecture i386 || log "i386: dpkg --remove-architecture failed"
  ADDED_I386=0
  APT_UPDATED=0
}

apt_install() {
  log "apt-get install $*"
  apt-get install -y -q --no-install-recommends "${APT_OPTS[@]}" "$@" >>"$OUT/logs/apt-install.log" 2>&1 \
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

# 32-bit Wine runs the i686 builds (and the 32-bit script hosts) natively or
# under qemu-i386 emulation (tools/windows/i386.sh). It is installed only when
# the machine can run i386 programs one of these ways and kept only when its
# loader then runs; otherwise the machine is left as it was found (only the
# i386 packages this run added are removed, and the architecture if it added
# that) and the reason goes to $OUT/wine32-status for tools/windows/test.sh.
ADDED_I386=0
I386_BEFORE=""
install_wine32() {
  rm -f "$OUT/wine32-status"
  [ "$WINE32" = 0 ] && { wine32_missing "MORPHEL_WINE32=0"; return; }
  if is_installed wine32:i386; then
    log "wine32: present"
    is_root && install_qemu_if_needed /usr/lib/wine/wine --version
    return
  fi
  WHY=""
  if ! is_root; then
    WHY="not root"
  elif [ "$(dpkg --print-architecture)" != amd64 ]; then
    WHY="host architecture is $(dpkg --print-architecture), not amd64"
  elif i386_possible && try_install_wine32; then
    log "wine32: installed; its loader runs $I386_WAY"
    return
  fi
  [ "$WINE32" = 1 ] && die "wine32 requested but unavailable: $WHY"
  wine32_missing "$WHY"
}

# Whether i386 programs run here, natively or (after installing
# qemu-user-static) emulated; sets WHY when not.
i386_possible() {
  local probe=$OUT/i386-probe
  i386_probe_program "$probe"
  install_qemu_if_needed "$probe"
  i386_decide "$probe" && return 0
  WHY="i386 programs cannot run here: $I386_WHY"
  return 1
}

# qemu-user-static, when PROGRAM does not run natively and could run emulated.
install_qemu_if_needed() { # PROGRAM [ARGS]
  i386_native "$@" || [ -x "$QEMU_I386" ] || ! binfmt_ready && return 0
  (apt_update && apt_install qemu-user-static) || log "qemu-user-static could not be installed"
}

# A kernel may run the probe but not Wine's loader: then it is emulated too.
wine32_runs() {
  install_qemu_if_needed /usr/lib/wine/wine --version
  i386_decide /usr/lib/wine/wine --version
}

# i386 packages installed (or half-installed), one per line.
i386_packages() {
  dpkg-query -W -f='${Package}:${Architecture} ${db:Status-Status}\n' 2>/dev/null \
    | awk '$1 ~ /:i386$/ && $2 != "not-installed" && $2 != "config-files" { print $1 }' | sort
}

# Sets WHY when it fails. An i386 architecture with nothing installed from it
# is taken for one an interrupted run left, and removed again on failure.
try_install_wine32() {
  I386_BEFORE=$(i386_packages)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "wine32: dpkg --add-architecture i386"
    dpkg --add-architecture i386
    ADDED_I386=1
  elif i386_unused; then
    ADDED_I386=1
  fi
  if ! apt_update_retry "$OUT/logs/apt-update.log"; then
    WHY="the i386 package index could not be fetched: $(grep -m1 -E '^E: ' "$OUT/logs/apt-update.log")"
    undo_i386
    return 1
  fi
  if ! apt_install wine32:i386; then
    WHY="apt-get install wine32:i386 failed (see $OUT/logs/apt-install.log)"
  elif ! wine32_runs; then
    WHY="32-bit Wine's loader does not run: $I386_WHY"
  else
    return 0
  fi
  undo_i386
  return 1
}

# Takes back what try_install_wine32 did: the i386 packages this run added
# (apt removes protected ones, libgcc-s1:i386, only by force: those stay, with
# what they depend on and the architecture) and the architecture if this run
# added it.
undo_i386() {
  local new protected=() keep="" remove=() p
  new=$(comm -13 <(printf '%s\n' "$I386_BEFORE") <(i386_packages) | grep -v '^$' || true)
  for p in $new; do
    dpkg-query -W -f='${Essential}${Protected}' "$p" 2>/dev/null | grep -q yes && protected+=("$p")
  done
  if [ "${#protected[@]}" -gt 0 ]; then
    keep=$(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
      --no-breaks --no-replaces --no-enhances "${protected[@]}" 2>/dev/null | grep -v '^ ' | sort -u)
    log "i386: kept (protected, with what they need): $(tr '\n' ' ' <<<"$keep")"
  fi
  for p in $new; do
    grep -qxF "$p" <<<"$keep" || remove+=("$p")
  done
  if [ "${#remove[@]}" -gt 0 ]; then
    log "i386: removing the ${#remove[@]} packages this run installed"
    apt-get purge -y -q "${APT_OPTS[@]}" "${remove[@]}" >>"$OUT/logs/apt-install.log" 2>&1 \
      || log "i386: apt-get purge failed (see $OUT/logs/apt-install.log)"
  fi
  if [ "$ADDED_I386" = 1 ] && i386_unused; then
    drop_i386 "32-bit Wine could not be used"
    apt_update_retry "$OUT/logs/apt-update.log" || true
  fi
  ADDED_I386=0
  I386_BEFORE=$(i386_packages)
}

wine32_missing() { # WHY
  echo "$1" >"$OUT/wine32-status"
  log "wine32: not installed ($1); going on with 64-bit Wine only:" \
      "the 32-bit DLL is built but not run"
}

# An interrupted run must not leave the i386 architecture behind, nor its
# binfmt_misc registration.
on_exit() {
  [ "$ADDED_I386" = 1 ] && ! is_installed wine32:i386 && undo_i386
  i386_release
  return 0
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

# Downloads into a folder of its own first: an interrupted download must not
# leave a .dsc behind that later runs take for a complete source.
download_source() {
  local part="$OUT/cache/pkgs/.part"
  rm -rf "$part"
  mkdir -p "$part"
  chmod 0777 "$part" 2>/dev/null || true
  if (cd "$part" && apt-get source -q --download-only "$1") >>"$OUT/logs/apt-source.log" 2>&1; then
    mv -f "$part"/* "$OUT/cache/pkgs/"
    rm -rf "$part"
    return
  fi
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
  trap on_exit EXIT
  trap 'exit 130' INT TERM HUP
  is_root && dpkg_finish_interrupted
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
