#!/usr/bin/env bash
# Prints which folder includes which (the #include "..." lines of the C++
# sources in common/, quillet/, tarnwick/, tests/, bench/ and fuzz/), and
# fails on an include against the allowed direction, on a cycle between
# folders, and on a folder without a rule below.
#
#   bash tools/include-graph.sh [--strict]
#
# Temporary exceptions (an include against the direction that a coming
# change removes) are listed in tools/include-graph.allow; they are shown but
# do not fail the run. --strict ignores that file. A listed exception that no
# include needs any more fails the run, so the list only shrinks.
set -euo pipefail
cd "$(dirname "$0")/.."

strict=false
[ "${1:-}" = "--strict" ] && strict=true

# What each product folder may include besides itself: the program's layers
# run frontend -> nodes -> logging -> platform, the reader library (quillet,
# its public headers in quillet/include/quillet) uses only the platform core,
# and the record-set layer (common/platform/db) is above the platform core,
# which includes nothing of the rest.
declare -A may_include=(
  [tarnwick/frontend]="tarnwick/nodes tarnwick/logging quillet common/platform/db common/platform"
  [tarnwick/nodes]="tarnwick/logging quillet common/platform/db common/platform"
  [tarnwick/logging]="common/platform/db common/platform"
  [quillet]="common/platform"
  [common/platform/db]="common/platform"
  [common/platform]=""
)
product=(common quillet tarnwick)
# Tests, benchmarks and fuzz targets may include any product folder and any
# test folder; no product folder includes them.
support=(tests bench fuzz)

# Where a quoted include is looked for: beside the including file, then in
# the include folders the build files name.
include_roots=(common tarnwick quillet/include quillet tests tests/support)

# The folder a source file belongs to: quillet's public headers belong to
# quillet; tests/<suite>/ files to their suite's folder.
folder_of() {
  local dir
  dir=$(dirname "$1")
  case $dir in
    quillet | quillet/*) echo quillet ;;
    *) echo "$dir" ;;
  esac
}

resolve() {
  local from_dir=$1 name=$2 root
  if [ -f "$from_dir/$name" ]; then
    realpath -m --relative-to=. "$from_dir/$name"
    return
  fi
  for root in "${include_roots[@]}"; do
    if [ -f "$root/$name" ]; then
      echo "$root/$name"
      return
    fi
  done
  return 1
}

is_support() {
  local top=${1%%/*} s
  for s in "${support[@]}"; do [ "$top" = "$s" ] && return 0; done
  return 1
}

allowed() {
  local from=$1 to=$2
  if is_support "$from"; then
    return 0
  fi
  is_support "$to" && return 1
  [[ " ${may_include[$from]:-} " == *" $to "* ]]
}

declare -A count=() example=() excepted=()
unresolved=()
no_rule=()
while IFS= read -r file; do
  from=$(folder_of "$file")
  if ! is_support "$from" && [ -z "${may_include[$from]+set}" ]; then
    no_rule+=("$from")
  fi
  while IFS= read -r name; do
    if ! target=$(resolve "$(dirname "$file")" "$name"); then
      unresolved+=("$file: \"$name\"")
      continue
    fi
    to=$(folder_of "$target")
    [ "$to" = "$from" ] && continue
    edge="$from -> $to"
    count[$edge]=$((${count[$edge]:-0} + 1))
    [ -n "${example[$edge]:-}" ] || example[$edge]="$file includes \"$name\""
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "${product[@]}" "${support[@]}" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.cpp.in' \) | sort)

if ! $strict && [ -f tools/include-graph.allow ]; then
  while IFS= read -r line; do
    line=${line%%#*}
    read -r from arrow to rest <<<"$line" || true
    [ -n "${from:-}" ] || continue
    if [ "$arrow" != "->" ] || [ -z "$to" ] || [ -n "$rest" ]; then
      echo "include-graph: tools/include-graph.allow: not \"<folder> -> <folder>\": $line" >&2
      exit 1
    fi
    excepted["$from -> $to"]=1
  done <tools/include-graph.allow
fi

mapfile -t edges < <(printf '%s\n' "${!count[@]}" | sort)
failed=false

echo "Include graph (folder -> folder it includes: number of #include lines)"
for edge in "${edges[@]}"; do
  printf '  %-44s %3d\n' "$edge" "${count[$edge]}"
done

wrong=()
temporary=()
for edge in "${edges[@]}"; do
  read -r from _ to <<<"$edge"
  allowed "$from" "$to" && continue
  if [ -n "${excepted[$edge]:-}" ]; then
    temporary+=("$edge    (${example[$edge]})")
  else
    wrong+=("$edge    (${example[$edge]})")
  fi
done
for edge in "${!excepted[@]}"; do
  if [ -z "${count[$edge]:-}" ]; then
    echo "FAILED: tools/include-graph.allow lists \"$edge\", which no include needs any more: remove the line."
    failed=true
  elif allowed ${edge/ -> / }; then
    echo "FAILED: tools/include-graph.allow lists \"$edge\", which the rules allow anyway: remove the line."
    failed=true
  fi
done

if [ ${#temporary[@]} -gt 0 ]; then
  echo "Against the direction, TEMPORARILY allowed by tools/include-graph.allow:"
  printf '  %s\n' "${temporary[@]}"
fi
if [ ${#wrong[@]} -gt 0 ]; then
  echo "FAILED: includes against the direction:"
  printf '  %s\n' "${wrong[@]}"
  failed=true
fi
if [ ${#no_rule[@]} -gt 0 ]; then
  echo "FAILED: folders without a rule in tools/include-graph.sh: $(printf '%s\n' "${no_rule[@]}" | sort -u | tr '\n' ' ')"
  failed=true
fi
if [ ${#unresolved[@]} -gt 0 ]; then
  echo "FAILED: quoted includes that name no file in the tree:"
  printf '  %s\n' "${unresolved[@]}"
  failed=true
fi

# Cycles between folders, leaving out the temporary exceptions.
checked=()
for edge in "${edges[@]}"; do
  [ -n "${excepted[$edge]:-}" ] || checked+=("${edge/ -> / }")
done
if ! loop=$(printf '%s\n' "${checked[@]}" | tsort 2>&1 >/dev/null); then
  echo "FAILED: folders include each other in a cycle:"
  sed -n 's/^tsort: //p' <<<"$loop" | sed 's/^-: input contains a loop:$/  a loop of:/; t; s/^/    /'
  failed=true
fi

if $failed; then
  exit 1
fi
echo "No cycle, no include against the direction$([ ${#temporary[@]} -eq 0 ] || echo " (besides the temporary exceptions above)")."
