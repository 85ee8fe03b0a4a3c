#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test; fails when a test fails.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake libsqlite3-dev sqlite3 qt6-base-dev libgtest-dev
          libcli11-dev nlohmann-json3-dev xvfb fonts-dejavu-core)

# apt-get runs only for packages that are not installed, and its list is
# refreshed only then.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
  fi
  echo "installing: ${missing[*]}"
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

install_missing "${packages[@]}"

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DBRENQUIL_WERROR=ON
cmake --build build/test -j"$(nproc)"
cd build/test
ctest --output-on-failure -j"$(nproc)"
