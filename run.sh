#!/usr/bin/env bash
# Installs what is missing, builds Brenquil, makes a demo installation in
# ./demo (made afresh on every run) and transforms it, printing the report.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake libsqlite3-dev sqlite3 qt6-base-dev libgtest-dev
          libcli11-dev nlohmann-json3-dev pkg-config mdbtools-dev)

source scripts/install_missing.sh

install_missing "${packages[@]}"

cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DBRENQUIL_TESTS=OFF
cmake --build build/run -j"$(nproc)"

cli=build/run/cli/brenquil-cli
rm -rf demo
"$cli" demo demo
echo
"$cli" transform --home demo/home --data demo/datos --json demo/report.json
