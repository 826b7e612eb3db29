#!/usr/bin/env bash
# Builds Tarnwick (installing what is missing) and runs every test: the whole
# suite on the embedded database, the end-to-end and record-set suites again
# on a throwaway PostgreSQL server, the whole suite once more built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh postgresql odbc-postgresql
(cd build && ctest --output-on-failure -j"$(nproc)")
bash tools/pg-tests.sh build
bash tools/sanitize.sh
bash tools/fuzz.sh "${FUZZ_SECONDS:-60}"
