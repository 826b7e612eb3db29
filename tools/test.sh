#!/usr/bin/env bash
# Builds Tarnwick (installing what is missing) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cd build
ctest --output-on-failure -j"$(nproc)"
