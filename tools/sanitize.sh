#!/usr/bin/env bash
# Builds Tarnwick and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++, TARNWICK_SANITIZE=ON) into build-asan/ and
# runs the whole test suite there. Any sanitizer report fails the test that
# caused it, and so this script. The packages are those of tools/setup.sh.
#
#   tools/sanitize.sh            configure, build, run every test
#   SANITIZE_BUILD_DIR=dir ...   use another build folder
set -euo pipefail
cd "$(dirname "$0")/.."

build=${SANITIZE_BUILD_DIR:-build-asan}
jobs=$(nproc)

CXX=g++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_SANITIZE=ON
cmake --build "$build" -j"$jobs"

# Leaks count as failures; every report stops the process that made it, so
# the test that ran it fails. The tests' own child processes inherit these.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=report_objects=1

cd "$build"
ctest --output-on-failure -j"$jobs"
