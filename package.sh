#!/usr/bin/env bash
# Makes the Debian package of Brenquil: installs what is missing, builds the
# programs (Release, without the tests) in build/package and makes
# build/package/brenquil_VERSION_ARCH.deb there with CPack.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake libsqlite3-dev qt6-base-dev libcli11-dev nlohmann-json3-dev
          pkg-config mdbtools-dev dpkg-dev file)

source scripts/install_missing.sh

install_missing "${packages[@]}"

cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DBRENQUIL_TESTS=OFF
cmake --build build/package -j"$(nproc)"
rm -f build/package/brenquil_*.deb
(cd build/package && cpack -G DEB)
