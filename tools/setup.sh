#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Safe to run again: it installs nothing that is already there.
set -euo pipefail

packages=(
  python3-pytest python3-venv python3-setuptools python3-wheel python3-mypy
  build-essential cmake ninja-build pkg-config
  libgd-dev libpng-dev libjpeg-dev zlib1g-dev libfreetype-dev
  libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core sqlite3 python3 python3-pil imagemagick clang
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
  apt-get -o DPkg::Lock::Timeout=900 update -qq
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "setup: all build packages present"
