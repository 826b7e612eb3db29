#!/usr/bin/env bash
# Builds the Debian package of a build folder (cpack -G DEB) and checks it:
# its files and the link in /usr, a program that runs through that link, a
# manual page that renders without a warning, and Depends naming the package of every library that the program
# and the reader library load directly. Fails loudly, saying what is wrong.
#
#   bash tools/deb-check.sh [BUILD-FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
bash tools/install-packages.sh man-db binutils

fail() {
  echo "deb-check: FAILED: $*" >&2
  exit 1
}

rm -f "$build"/tarnwick_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack -G DEB failed in $build"
debs=("$build"/tarnwick_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one tarnwick_*.deb in $build: ${debs[*]}"
deb=${debs[0]}

contents=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')
for entry in ./usr/lib/tarnwick/tarnwick ./usr/lib/tarnwick/libquillet.so ./usr/lib/tarnwick/README.HTM \
  "./usr/bin/tarnwick -> ../lib/tarnwick/tarnwick" ./usr/share/man/man1/tarnwick.1; do
  grep -qxF "$entry" <<<"$contents" || fail "the package lacks $entry; it holds:"$'\n'"$contents"
done

scratch=$(mktemp -d -t tarnwick-deb.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
version=$("$scratch/usr/bin/tarnwick" --version) || fail "the packaged program ended with status $?: $version"
[ "$version" = $'Tarnwick Version: 1.01.0001\r' ] || fail "the packaged program's --version printed: $version"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$scratch/usr/share/man/man1/tarnwick.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings:"$'\n'"$warnings"

# The package that holds each library a built file names as NEEDED, found
# where the dynamic linker finds it.
depends=$(dpkg-deb -f "$deb" Depends)
named=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')  # the names, without versions
for file in "$build/tarnwick" "$build/libquillet.so"; do
  for library in $(objdump -p "$file" | awk '$1 == "NEEDED" { print $2 }'); do
    # "lib => /path (addr)", or "/path (addr)" for the dynamic linker itself.
    path=$(ldd "$file" | awk -v lib="$library" '$1 == lib { print $3 } $1 ~ "/" lib "$" { print $1 }')
    [ -n "$path" ] || fail "$library of $file is not found on this system"
    package=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null) ||
      fail "no Debian package holds $path ($library of $file)"
    package=${package%%:*}
    grep -qxF "$package" <<<"$named" || fail "Depends lacks $package (for $library): $depends"
  done
done
echo "deb-check: $(basename "$deb") holds the program folder, the link and the manual page; Depends: $depends"
