#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ (the fuzz
# preset; installs clang and its runtime libraries when missing), replays each
# target's seeds (ctest --preset fuzz), then runs each target for a while on a
# copy of its seed corpus, so the corpus kept in fuzz/corpus/ does not grow.
# Prints one line per target and fails on any crash, leak, failed property or
# timeout, naming the file that holds the input.
#
#   tools/fuzz.sh [SECONDS]     seconds per target: the argument, else
#                               $FUZZ_SECONDS, else 60
#   FUZZ_JOBS=n                 targets run side by side (default: nproc)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-60}}
jobs=${FUZZ_JOBS:-$(nproc)}
build=build-fuzz
targets=(validation text_decoders)

# One target on a fresh copy of its seeds. Leaves <run>/summary (the lines to
# print) and <run>/status (libFuzzer's exit status).
run_target() {
  local target=$1 run=$build/runs/$1
  rm -rf "$run"
  mkdir -p "$run/artifacts"
  cp -r "fuzz/corpus/$target" "$run/corpus"
  local status=0
  "$build/fuzz/fuzz_$target" "$run/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$run/artifacts/" >"$run/log" 2>&1 || status=$?
  local executions elapsed
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log" | tail -n 1)
  elapsed=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$run/log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "fuzz $target: ${executions:-?} executions in ${elapsed:-$seconds} s, no crash" >"$run/summary"
  else
    {
      echo "fuzz $target: FAILED (status $status) after ${executions:-?} executions; log: $run/log"
      grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$run/log" | head -n 5 || true
      sed -n 's/.*Test unit written to \(.*\)/  input saved in \1/p' "$run/log"
    } >"$run/summary"
  fi
  echo "$status" >"$run/status"
}

bash tools/setup.sh --preset fuzz
ctest --preset fuzz -j"$(nproc)"

for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run_target "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
  cat "$build/runs/$target/summary"
  [ "$(cat "$build/runs/$target/status")" -eq 0 ] || failed=1
done
exit "$failed"
