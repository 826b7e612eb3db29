#!/usr/bin/env bash
# Installs the Debian packages the build needs (when missing), then configures
# and builds Tarnwick into build/. Extra package names may be given as
# arguments (the test command adds what the tests need).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make pkg-config libsoci-dev libboost-dev libsqlite3-dev sqlite3 unixodbc unixodbc-dev
          libre2-dev libgtest-dev libgmock-dev "$@")

bash tools/install-packages.sh "${packages[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
