#!/usr/bin/env bash
# Proves the packages the build makes, from outside the source tree.
#
#   tools/package-check.sh
#     makes the Debian packages (cpack -G DEB in build/package: /usr prefix,
#     Debian's compiler flags from dpkg-buildflags, no tests) and checks them
#     with lintian; unpacks them into a staging root (dpkg-deb -x) and builds
#     and runs the two consumers of tests/consumers against it (a CMake project
#     with find_package(Morphel), a Makefile with pkg-config, each writing a
#     PNG) and the README's Python example with python3-morphel's files; builds
#     the wheel (target morphel_wheel), installs it offline into a fresh
#     virtual environment and runs the README's Python example with it.
#   tools/package-check.sh --clean-root TARBALL
#     (root) unpacks TARBALL, a bare Debian 12 root from debootstrap, puts the
#     packages of build/package in it and runs --install there: apt-get must
#     find everything they depend on.
#   tools/package-check.sh --install
#     (root) installs the packages of build/package with apt-get, then the
#     compiler, CMake and pkg-config, and builds and runs the consumers and the
#     Python example against the installed files.
#
# Ends with "N passed, N failed"; non-zero exit on any failure.
set -uo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
TREE=$PWD
BUILD=$TREE/build/package
WORK=$BUILD/check
MODE=${1:-}

PASSED=0
FAILED=0
pass() { PASSED=$((PASSED + 1)); echo "PASS $*"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL $*"; }
quiet() { # LOG COMMAND...: runs quietly, shows the log's end on failure
  local logfile=$1
  shift
  "$@" >"$logfile" 2>&1 && return 0
  tail -n 30 "$logfile"
  return 1
}

# Lintian remarks that stay, each with its reason:
#   no-copyright-file              the source tree holds no licence, so the
#                                  packages state none
#   initial-upload-closes-no-bugs  the packages are not uploaded to Debian: there
#                                  is no request-for-packaging bug to close
#   maintscript-calls-ldconfig     CPack writes postinst and postrm calling
#                                  ldconfig for a library under /usr/lib; the
#                                  package's ldconfig trigger does the same job
SUPPRESSED_TAGS=no-copyright-file,initial-upload-closes-no-bugs,maintscript-calls-ldconfig

build_debs() {
  rm -rf --one-file-system "$WORK" "$BUILD"/*.deb
  mkdir -p "$WORK"
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
      quiet "$WORK/configure.log" cmake -S "$TREE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=None \
        -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_DOCDIR=share/doc/libmorphel1 \
        -DBUILD_TESTING=OFF || return 1
  fi
  quiet "$WORK/build.log" cmake --build "$BUILD" -j 2 &&
    quiet "$WORK/cpack.log" cpack --config "$BUILD/CPackConfig.cmake" -B "$BUILD" || return 1
  DEBS=("$BUILD"/*.deb)
  echo "packages: ${DEBS[*]##*/}"
}

check_debs() {
  local deb depends
  for deb in "${DEBS[@]}"; do
    echo "--- $(dpkg-deb -f "$deb" Package): Depends: $(dpkg-deb -f "$deb" Depends)"
  done
  depends=$(dpkg-deb -f "$BUILD"/libmorphel1_*.deb Depends)
  if grep -q 'libgd3' <<<"$depends" && grep -q 'libc6' <<<"$depends"; then
    pass "libmorphel1 Depends computed by dpkg-shlibdeps: $depends"
  else
    fail "libmorphel1 Depends: '$depends'"
  fi
  if grep -q 'libmorphel.so.1 -> libmorphel.so.1.0$' <<<"$(dpkg-deb -c "$BUILD"/libmorphel1_*.deb)"; then
    pass "libmorphel1 holds libmorphel.so.1 -> libmorphel.so.1.0"
  else
    fail "libmorphel1 does not hold libmorphel.so.1"
  fi
  local rc=0
  lintian --fail-on error,warning --suppress-tags "$SUPPRESSED_TAGS" "${DEBS[@]}" \
    >"$WORK/lintian.raw" 2>&1 || rc=$?
  grep -v '^running with root privileges' "$WORK/lintian.raw" >"$WORK/lintian.log" || true
  if [ "$rc" = 0 ]; then
    pass "lintian: no error or warning beyond $SUPPRESSED_TAGS ($(wc -l <"$WORK/lintian.log") remarks)"
  else
    fail "lintian (exit code $rc)"
  fi
  sed 's/^/  lintian: /' "$WORK/lintian.log"
}

# Unpacked into $WORK/root.
unpack_debs() {
  ROOT=$WORK/root
  local deb
  for deb in "${DEBS[@]}"; do dpkg-deb -x "$deb" "$ROOT"; done
  export LD_LIBRARY_PATH=$ROOT/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
}

# Installed with apt-get, with what they depend on; then the consumers' tools.
install_debs() {
  ROOT=""
  export DEBIAN_FRONTEND=noninteractive
  local before
  before=$(dpkg-query -W -f '${Package}\n' | sort)
  if quiet "$WORK/apt.log" apt-get install -y -q --no-install-recommends "${DEBS[@]}"; then
    pass "apt-get installed the packages, pulling in: $(comm -13 <(echo "$before") \
      <(dpkg-query -W -f '${Package}\n' | sort) | grep -v morphel | tr '\n' ' ')"
  else
    fail "apt-get install of the packages"
  fi
  quiet "$WORK/apt-tools.log" apt-get install -y -q --no-install-recommends g++ cmake make \
    pkg-config || fail "apt-get install of the consumers' tools"
}

# A 64 x 32 PNG: signature and header.
expect_png() { # WHAT FILE
  local head
  head=$(od -An -tx1 -N24 "$2" 2>/dev/null | tr -d ' \n')
  if [ "$head" = "89504e470d0a1a0a0000000d494844520000004000000020" ]; then
    pass "$1 wrote a 64x32 PNG"
  else
    fail "$1: no 64x32 PNG in $2 (${head:-missing})"
  fi
}

consumers() {
  local out=$WORK/consumers
  mkdir -p "$out/make"
  if quiet "$out/cmake.log" cmake -S "$TREE/tests/consumers/cmake" -B "$out/cmake" \
       ${ROOT:+-DCMAKE_PREFIX_PATH="$ROOT/usr"} &&
     quiet "$out/cmake-build.log" cmake --build "$out/cmake" &&
     "$out/cmake/hello_cmake" "$out/cmake.png"; then
    expect_png "the find_package(Morphel) consumer" "$out/cmake.png"
  else
    fail "the find_package(Morphel) consumer"
  fi
  if quiet "$out/make.log" env ${ROOT:+PKG_CONFIG_SYSROOT_DIR="$ROOT"} \
       ${ROOT:+PKG_CONFIG_PATH="$LD_LIBRARY_PATH/pkgconfig"} \
       make -C "$out/make" -f "$TREE/tests/consumers/make/Makefile" &&
     "$out/make/hello_make" "$out/make.png"; then
    expect_png "the pkg-config Makefile consumer" "$out/make.png"
  else
    fail "the pkg-config Makefile consumer"
  fi
}

# The README's Python example, run in folder DIR by PYTHON; it writes hello.png.
python_example() { # WHAT DIR PYTHON [ENV...]
  local what=$1 dir=$2 python=$3
  shift 3
  mkdir -p "$dir"
  awk '/^```python$/ && !done {keep = 1; next} keep && /^```$/ {keep = 0; done = 1} keep' \
    "$TREE/README.md" >"$dir/hello.py"
  if (cd "$dir" && env -u MORPHEL_LIBRARY "$@" "$python" hello.py) >"$dir/run.log" 2>&1 &&
     grep -q '0x80004005 Morphel NO IMAGE!' "$dir/run.log" && [ -s "$dir/hello.png" ]; then
    pass "$what ran the README's Python example"
  else
    fail "$what: the README's Python example:"$'\n'"$(cat "$dir/run.log")"
  fi
}

debian_python() {
  if [ -z "$ROOT" ]; then
    python_example "python3-morphel (installed)" "$WORK/python-deb" /usr/bin/python3
  else
    python_example "python3-morphel (unpacked)" "$WORK/python-deb" /usr/bin/python3 \
      PYTHONPATH="$ROOT/usr/lib/python3/dist-packages"
  fi
}

wheel() {
  local wheel venv=$WORK/venv
  if ! quiet "$WORK/wheel.log" cmake --build "$BUILD" --target morphel_wheel; then
    fail "building the wheel"
    return
  fi
  wheel=$(ls "$BUILD"/dist/*.whl)
  if [[ "$wheel" == *-linux_*.whl ]] && grep -q 'morphel/libmorphel.so$' <<<"$(unzip -l "$wheel")"; then
    pass "wheel ${wheel##*/} is platform-tagged and carries libmorphel.so"
  else
    fail "wheel ${wheel##*/}: not platform-tagged or without the library"
  fi
  if quiet "$WORK/venv.log" /usr/bin/python3 -m venv --system-site-packages "$venv" &&
     quiet "$WORK/pip.log" "$venv/bin/pip" install --no-index "$wheel"; then
    python_example "the wheel in a fresh venv" "$WORK/python-wheel" "$venv/bin/python" \
      -u LD_LIBRARY_PATH
  else
    fail "installing the wheel into a fresh venv"
  fi
}

# --clean-root TARBALL: this script, the consumers, the README and the
# packages copied into a bare root unpacked from TARBALL (in /var/tmp, or
# $MORPHEL_CLEAN_ROOT), and run there; the root is removed afterwards.
clean_root() {
  local tarball=$1 rc=0
  CLEAN_ROOT=${MORPHEL_CLEAN_ROOT:-/var/tmp/morphel-packages-$$}
  local root=$CLEAN_ROOT
  [ "$(id -u)" = 0 ] || { fail "--clean-root needs root (chroot, mount)"; return; }
  DEBS=("$BUILD"/*.deb)
  [ -e "${DEBS[0]}" ] || { fail "no packages in $BUILD (run tools/package-check.sh first)"; return; }
  rm -rf --one-file-system "$root"
  mkdir -p "$root/root/morphel/build/package" "$root/root/morphel/tools" "$root/root/morphel/tests"
  tar --numeric-owner -C "$root" -xf "$tarball"
  cp /etc/resolv.conf "$root/etc/"
  cp "${DEBS[@]}" "$root/root/morphel/build/package/"
  cp "$TREE/tools/package-check.sh" "$root/root/morphel/tools/"
  cp -r "$TREE/tests/consumers" "$root/root/morphel/tests/"
  cp "$TREE/README.md" "$root/root/morphel/"
  trap unmount_clean_root EXIT
  mount -t proc proc "$root/proc" && mount --bind /dev "$root/dev" || { fail "mounts in $root"; return; }
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c 'apt-get update -q >/dev/null && bash /root/morphel/tools/package-check.sh --install' \
    >"$WORK/clean-root.log" 2>&1 || rc=$?
  unmount_clean_root
  grep -E '^(PASS|FAIL) ' "$WORK/clean-root.log" | sed 's/^/clean root: /'
  PASSED=$((PASSED + $(grep -c '^PASS ' "$WORK/clean-root.log")))
  FAILED=$((FAILED + $(grep -c '^FAIL ' "$WORK/clean-root.log")))
  [ "$rc" = 0 ] || fail "the check in the clean root (exit code $rc, log: $WORK/clean-root.log)"
  grep -q " $root/" /proc/self/mounts || rm -rf --one-file-system "$root"
}

unmount_clean_root() {
  local m
  for m in dev proc; do
    grep -q " $CLEAN_ROOT/$m " /proc/self/mounts && umount -l "$CLEAN_ROOT/$m"
  done
  return 0
}

main() {
  case $MODE in
    --clean-root) mkdir -p "$WORK"; clean_root "$2" ;;
    --install)
      DEBS=("$BUILD"/*.deb)
      mkdir -p "$WORK"
      install_debs
      consumers
      debian_python ;;
    *)
      if build_debs; then
        check_debs
        unpack_debs
        consumers
        debian_python
        wheel
      else
        fail "building the Debian packages (logs: $WORK)"
      fi ;;
  esac
  echo "packages: $PASSED passed, $FAILED failed"
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}

main "$@"
