#!/usr/bin/env bash
# Installs the Debian packages the build needs (when missing), then configures
# and builds one preset of CMakePresets.json: dev unless named, whose program
# folder is build/. Extra package names may follow (the test command adds
# what its passes need).
#
#   bash tools/setup.sh [--preset dev|ci|asan|fuzz] [PACKAGE...]
set -euo pipefail
cd "$(dirname "$0")/.."

preset=dev
if [ "${1:-}" = "--preset" ]; then
  preset=${2:?--preset needs a name}
  shift 2
fi

packages=(g++ cmake make pkg-config libsoci-dev libboost-dev libsqlite3-dev sqlite3 unixodbc unixodbc-dev
          libre2-dev libgtest-dev libgmock-dev "$@")
[ "$preset" != fuzz ] || packages+=(clang libclang-rt-14-dev)

bash tools/install-packages.sh "${packages[@]}"

cmake --preset "$preset"
cmake --build --preset "$preset" -j"$(nproc)"
