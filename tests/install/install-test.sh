#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the layout: the program
# folder <prefix>/lib/tarnwick with the program, the reader library and
# README.HTM, <prefix>/bin/tarnwick, a relative link to the program, and the
# manual page. Run through the link, the program finds its folder behind it
# (the export loads no component it would miss, but the log would name it)
# and keeps its logs, database and export in the data folder TARNWICK_HOME
# names, leaving the installed folder as it was.
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
for file in lib/tarnwick/tarnwick lib/tarnwick/libquillet.so lib/tarnwick/README.HTM share/man/man1/tarnwick.1; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
[ -x "$prefix/lib/tarnwick/tarnwick" ] || fail "lib/tarnwick/tarnwick is not executable"
[ "$(readlink "$prefix/bin/tarnwick")" = ../lib/tarnwick/tarnwick ] ||
  fail "bin/tarnwick is not the link ../lib/tarnwick/tarnwick: $(ls -l "$prefix/bin/tarnwick")"
installed=$(ls "$prefix/lib/tarnwick")

cd "$prefix"
version=$(bin/tarnwick --version) || fail "bin/tarnwick --version ended with status $?: $version"
[ "$version" = $'Tarnwick Version: 1.01.0001\r' ] || fail "bin/tarnwick --version printed: $version"

mkdir home
out=$(TARNWICK_HOME=home bin/tarnwick /e) || fail "bin/tarnwick /e ended with status $?: $out"
[[ $out == *"Export node data to: $prefix/home/NodeExport.csv"* ]] || fail "the export did not go to TARNWICK_HOME: $out"
for file in LOGS Pelagor.db NodeExport.csv; do
  [ -e "home/$file" ] || fail "no $file in TARNWICK_HOME"
done
! grep -q "Err.Number" home/LOGS/*.LOG || fail "the run logged a failure: $(grep Err.Number home/LOGS/*.LOG)"
[ "$(ls lib/tarnwick)" = "$installed" ] || fail "the run wrote into the program folder: $(ls lib/tarnwick)"
echo "install-test: layout, link, manual page and data folder under $prefix are right"
