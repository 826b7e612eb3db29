#!/usr/bin/env bash
# The whole check, as CI runs it (.ci/run): installs what is missing, checks
# the include graph and the format, builds with every warning an error (the
# ci preset, into build-ci/), runs the whole suite, builds and checks the
# Debian package, runs clang-tidy over the product sources, runs the
# end-to-end and record-set suites again on a throwaway PostgreSQL server and
# on a throwaway MariaDB server, the whole suite once more built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets
# (FUZZ_SECONDS each, 60 unless set).
set -euo pipefail
cd "$(dirname "$0")/.."

step() { echo "== $* ($((SECONDS / 60)) min $((SECONDS % 60)) s so far)"; }

step "Include graph"
bash tools/include-graph.sh
step "Format"
bash tools/format-check.sh
step "Build (ci preset: warnings are errors)"
bash tools/setup.sh --preset ci postgresql odbc-postgresql mariadb-server odbc-mariadb
step "Test suite"
ctest --preset ci -j"$(nproc)"
step "Debian package"
bash tools/deb-check.sh build-ci
step "clang-tidy"
bash tools/tidy.sh build-ci
step "PostgreSQL"
bash tools/pg-tests.sh build-ci
step "MariaDB"
bash tools/mariadb-tests.sh build-ci
step "Sanitizers"
bash tools/sanitize.sh
step "Fuzzing"
bash tools/fuzz.sh "${FUZZ_SECONDS:-60}"
step "All checks passed"
