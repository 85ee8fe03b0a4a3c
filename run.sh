#!/usr/bin/env bash
# Installs what is missing, builds Brenquil, makes a demo installation in
# ./demo (made afresh on every run) and transforms it, printing the report.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake libsqlite3-dev sqlite3 qt6-base-dev libgtest-dev
          libcli11-dev nlohmann-json3-dev)

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

cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DBRENQUIL_TESTS=OFF
cmake --build build/run -j"$(nproc)"

cli=build/run/cli/brenquil-cli
rm -rf demo
"$cli" demo demo
echo
"$cli" transform --home demo/home --data demo/datos --json demo/report.json
