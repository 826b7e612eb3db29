#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the product sources
# (common/, quillet/, tarnwick/), using the compiler command lines of a
# configured build folder (its compile_commands.json), one file per core at
# a time. Prints the findings and fails on any; installs clang-tidy when
# missing.
#
#   bash tools/tidy.sh [BUILD-FOLDER]    (default: build; configure it first,
#                                         e.g. with bash tools/setup.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=$(realpath -m "${1:-build}")
database=$build/compile_commands.json
if [ ! -f "$database" ]; then
  echo "tidy: $database is missing: configure the build folder first (bash tools/setup.sh)" >&2
  exit 1
fi
bash tools/install-packages.sh clang-tidy
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)

# The product's translation units, as the build folder compiles them.
mapfile -t files < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$database" |
                     grep -E "^$root/(common|quillet|tarnwick)/" | sort -u)
if [ ${#files[@]} -eq 0 ]; then
  echo "tidy: $database names no file under $root/common, quillet or tarnwick" >&2
  exit 1
fi

# One file: silent when clean, its findings otherwise (status 1).
tidy_one() {
  local output
  if output=$("$tidy" -p "$build" --quiet --header-filter="^$root/(common|quillet|tarnwick)/" "$1" 2>&1); then
    return 0
  fi
  grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' <<<"$output"
  return 1
}
export -f tidy_one
export tidy build root

status=0
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -I{} bash -c 'tidy_one "$1"' _ {} || status=$?
if [ "$status" -ne 0 ]; then
  echo "tidy: FAILED: clang-tidy has findings (above) in the product sources" >&2
  exit 1
fi
echo "tidy: ${#files[@]} files, no findings"
