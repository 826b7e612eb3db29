#!/usr/bin/env bash
# Builds Tarnwick and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (the asan preset: g++, TARNWICK_SANITIZE=ON) into
# build-asan/ and runs the whole test suite there. Any sanitizer report
# (leaks included) fails the test that caused it, and so this script; the
# sanitizer options are those of the asan test preset, and the tests' own
# child processes inherit them.
#
#   tools/sanitize.sh            configure, build, run every test
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh --preset asan
ctest --preset asan -j"$(nproc)"
