#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the layout: the program
# folder <prefix>/lib/tarnwick with the program, the reader library and
# README.HTM, and <prefix>/bin/tarnwick, a relative link to the program. An
# export run through the link must find its program folder behind the link.
#
#   install-test.sh BUILD-FOLDER
set -euo pipefail

build=$1
prefix=$(realpath "$(mktemp -d -t tarnwick-install.XXXXXX)")
trap 'rm -rf "$prefix"' EXIT
fail() {
  echo "install-test: FAILED: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in lib/tarnwick/tarnwick lib/tarnwick/libquillet.so lib/tarnwick/README.HTM; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
[ -x "$prefix/lib/tarnwick/tarnwick" ] || fail "lib/tarnwick/tarnwick is not executable"
[ "$(readlink "$prefix/bin/tarnwick")" = ../lib/tarnwick/tarnwick ] ||
  fail "bin/tarnwick is not the link ../lib/tarnwick/tarnwick: $(ls -l "$prefix/bin/tarnwick")"

cd "$prefix"
out=$(bin/tarnwick /e) || fail "bin/tarnwick /e ended with status $?: $out"
[[ $out == *"Export node data to: $prefix/lib/tarnwick/NodeExport.csv"* ]] ||
  fail "the export did not go to the program folder: $out"
[ -f lib/tarnwick/NodeExport.csv ] || fail "no NodeExport.csv in the program folder"
echo "install-test: layout and link under $prefix are right"
