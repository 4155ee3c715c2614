#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Safe to run again: it installs nothing that is already there.
set -euo pipefail

packages=(
  python3-pytest python3-venv python3-setuptools python3-wheel python3-mypy
  python3-dev python3-numpy python3-distributed
  build-essential cmake ninja-build pkg-config
  libgd-dev libpng-dev libjpeg-dev zlib1g-dev libfreetype-dev
  libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core sqlite3 python3 python3-pil imagemagick clang
  valgrind
  lintian dpkg-dev python3-pip zip unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  source "$(dirname "${BASH_SOURCE[0]}")/apt-lib.sh"
  dpkg_finish_interrupted
  update_log=$(mktemp)
  # A failed update keeps the lists apt already had: the install may still work.
  if ! apt_update_retry "$update_log"; then
    echo "setup: apt-get update failed; installing from the package lists apt has:" >&2
    grep -E '^(E|W): ' "$update_log" >&2 || true
  fi
  rm -f "$update_log"
  apt-get "${APT_OPTS[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "setup: all build packages present"
