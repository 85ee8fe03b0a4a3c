#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test; fails when a test fails.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake libsqlite3-dev sqlite3 qt6-base-dev libgtest-dev
          libcli11-dev nlohmann-json3-dev pkg-config mdbtools-dev mdbtools xvfb fonts-dejavu-core)

source scripts/install_missing.sh

install_missing "${packages[@]}"

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DBRENQUIL_WERROR=ON
cmake --build build/test -j"$(nproc)"
cd build/test
ctest --output-on-failure -j"$(nproc)"
