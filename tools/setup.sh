#!/usr/bin/env bash
# Installs the Debian packages the build needs (when missing), then configures
# and builds Tarnwick into build/. Extra package names may be given as
# arguments (the test command adds what the tests need).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make pkg-config libsoci-dev libboost-dev libsqlite3-dev sqlite3 unixodbc unixodbc-dev
          libre2-dev libgtest-dev libgmock-dev "$@")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
