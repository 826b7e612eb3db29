#!/usr/bin/env bash
# Tarnwick beside its floor (bench/floor.cpp: the same work done with SQLite
# alone), for the import and the export on the embedded database.
#
#   bench/run-floor.sh [--scaling] [build-folder]      (default: build/)
#
# Import: a generated file of 20,000 add lines (80% Octel, 20% Veltro) into a
# fresh database each run. Export: 100,000 nodes, seeded once by the floor's
# import of such a file. Each program runs each job three times with its
# console to a file and three times with it to a pipe, the two programs in
# turn; the table shows the medians of wall seconds, CPU seconds, lines
# (nodes) a second and peak memory, and tarnwick's wall and CPU time over the
# floor's. It checks that both leave byte-identical result and export files,
# console output (but for the folder names) and database rows, and logs that
# differ only in times, folders and the retention report; it says so, and
# stops when they differ. --scaling then imports 100,000 and 1,000,000 lines
# three times per program, console to a file (about six minutes), and shows
# the ratio of the two median wall times.
#
# Needs sqlite3 and GNU time (/usr/bin/time). The machine's load is printed
# before and after: other work on the machine shows in the figures.
set -euo pipefail
shopt -s inherit_errexit

scaling=0
if [[ ${1:-} == --scaling ]]; then
  scaling=1
  shift
fi
build=$(realpath "${1:-$(dirname "$0")/../build}")
floor=$build/bench/floor
for program in "$build/tarnwick" "$floor" /usr/bin/time /usr/bin/sqlite3; do
  [[ -x $program ]] || { echo "run-floor.sh: $program is missing (build first; apt-get install time sqlite3)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-floor.XXXXXX")
trap 'rm -rf "$work"' EXIT
# One folder per program; the consoles name them, and are compared with the
# tarnwick folder's name changed to the floor's.
mkdir "$work/t" "$work/f"
cp "$build"/{tarnwick,libquillet.so,README.HTM} "$work/t/"

# generate <lines>: add lines, every fifth a Veltro node, with window cells
# that are converted (08:30), kept (5:00 pm) or empty.
generate() {
  awk -v lines="$1" 'BEGIN {
    printf "NodeType,Action,SerialNo,Name,VeltroServerName,VeltroSMTPSuffix,Codec,PhoneNo,Extension,DialSequence,"
    printf "NormalBeginTime,NormalEndTime,NormalInterval,UrgentBeginTime,UrgentEndTime,UrgentInterval,"
    printf "AdministrationBeginTime,AdministrationEndTime,AdministrationInterval\r\n"
    split("G711,G729,", codecs, ",")
    for (i = 0; i < lines; i++) {
      serial = 1000000 + i
      if (i % 5 == 4) {
        printf "V,A,%d,Veltro %d,vmsrv%d,mail%d.example.com,%s,,,,,,,,,,,,\r\n", serial, i, i % 7, i % 3, codecs[i % 3 + 1]
      } else {
        printf "O,A,%d,Octel %d,,,,555%04d,%d,%s,08:30,5:00 pm,15,7:00AM,23:00,%s,,,%s\r\n", serial, i, i % 10000,
               i % 100, i % 2 ? "9P" : "", i % 3 ? "5" : "", i % 4 ? "" : "240"
      }
    }
  }'
}

# The empty database every import starts from, made by the program.
(cd "$work/t" && ./tarnwick /e:empty.csv >/dev/null && rm -rf LOGS empty.csv)
mv "$work/t/Pelagor.db" "$work/empty.db"

fresh_database() {
  rm -f "$1"/Pelagor.db*
  cp "$work/empty.db" "$1/Pelagor.db"
}

failed() {
  echo "run-floor.sh: '$*' failed: $(head -n 1 "$work/time")" >&2
  exit 1
}

# measure <folder> <file|pipe> <command ...>: runs the command in the folder
# with its console to console.txt or through a pipe; prints its wall seconds,
# CPU seconds (user + system) and peak kB.
measure() {
  local folder=$1 console=$2
  shift 2
  rm -rf "$folder/LOGS"
  local start=$EPOCHREALTIME
  if [[ $console == file ]]; then
    (cd "$folder" && /usr/bin/time -o "$work/time" -f '%U %S %M' "$@" >console.txt) || failed "$@"
  else
    (cd "$folder" && /usr/bin/time -o "$work/time" -f '%U %S %M' "$@" | cat >/dev/null) || failed "$@"
  fi
  local end=$EPOCHREALTIME
  tail -n 1 "$work/time" | awk -v s="$start" -v e="$end" '{ printf "%.3f %.2f %d\n", e - s, $1 + $2, $3 }'
}

# runs <label> <file|pipe> <tarnwick args> <floor args>: three runs of each
# program, alternating (an import starts from an empty database each time);
# prints the medians of tarnwick's and of the floor's "wall cpu kB", split
# by "|".
runs() {
  local label=$1 console=$2 tarnwick_args=$3 floor_args=$4
  local t=() f=()
  for _ in 1 2 3; do
    [[ $label == import ]] && fresh_database "$work/t"
    t+=("$(measure "$work/t" "$console" ./tarnwick "$tarnwick_args")")
    [[ $label == import ]] && fresh_database "$work/f"
    f+=("$(measure "$work/f" "$console" "$floor" $floor_args)")
  done
  echo "$(medians "${t[@]}")|$(medians "${f[@]}")"
}

# series <label> <lines> <file|pipe> <tarnwick args> <floor args>: one row of
# the table from runs.
series() {
  local result
  result=$(runs "$1" "$3" "$4" "$5")
  row "$1, console to $3" "$2" "${result%|*}" "${result#*|}"
}

# medians <"wall cpu kB" ...>: the median of each of the three columns.
medians() {
  for column in 1 2 3; do printf '%s\n' "$@" | cut -d' ' -f"$column" | sort -g | sed -n 2p; done | paste -sd' '
}

# row <label> <lines> <"wall cpu kB" of tarnwick> <"wall cpu kB" of the floor>
row() {
  awk -v label="$1" -v lines="$2" -v t="$3" -v f="$4" 'BEGIN {
    split(t, tm, " "); split(f, fm, " ")
    printf "%-26s %6.2f %6.2f %7.0f %6.1f   %6.2f %6.2f %7.0f %6.1f   %5.2fx %5.2fx\n", label,
           tm[1], tm[2], lines / tm[1], tm[3] / 1024, fm[1], fm[2], lines / fm[1], fm[3] / 1024,
           tm[1] / fm[1], tm[2] / fm[2] }'
}

header() {
  printf '%-26s %-29s   %-29s   %s\n' "$1" "tarnwick" "floor" "tarnwick/floor"
  printf '%-26s %6s %6s %7s %6s   %6s %6s %7s %6s   %6s %6s\n' "" wall-s cpu-s lines/s peakMB wall-s cpu-s lines/s peakMB wall cpu
}

# same <what> <file> <file>: stops unless the two files hold the same bytes.
same() {
  cmp -s "$2" "$3" || { echo "run-floor.sh: the $1 of tarnwick and the floor differ" >&2; exit 1; }
}

# log_text <folder>: the run's log without its times, its folder and the
# retention report, which differ from run to run.
log_text() {
  sed -E -e 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}//' -e 's/( Start:| Started:| Removing logs older than).*//' \
    -e "s|$work/[tf]/||g" "$1"/LOGS/*.LOG
}

# same_logs: stops unless the two logs match but for what log_text leaves
# out; prints their sizes.
same_logs() {
  same "logs" <(log_text "$work/t") <(log_text "$work/f")
  echo "logs the same but for times, folders and retention report, $(cat "$work"/t/LOGS/*.LOG | wc -c) and" \
    "$(cat "$work"/f/LOGS/*.LOG | wc -c) bytes"
}

echo "load before: $(uptime)"
echo

generate 20000 >"$work/t/in.csv"
cp "$work/t/in.csv" "$work/f/in.csv"
header "import of 20,000 lines"
series import 20000 file /i:in.csv "import in.csv"
same "result files" "$work/t/in.out.csv" "$work/f/in.out.csv"
same "consoles" <(sed "s|$work/t/|$work/f/|" "$work/t/console.txt") "$work/f/console.txt"
same "database rows" <(/usr/bin/sqlite3 "$work/t/Pelagor.db" .dump) <(/usr/bin/sqlite3 "$work/f/Pelagor.db" .dump)
import_checks="result files, consoles (but for their folder) and database rows identical; $(same_logs)"
series import 20000 pipe /i:in.csv "import in.csv"
echo "  checked: $import_checks"
echo

generate 100000 >"$work/f/seed.csv"
fresh_database "$work/f"
(cd "$work/f" && "$floor" import seed.csv >/dev/null && rm seed.csv seed.out.csv)
cp "$work/f/Pelagor.db" "$work/t/Pelagor.db"
header "export of 100,000 nodes"
series export 100000 file /e:out.csv "export out.csv"
same "export files" "$work/t/out.csv" "$work/f/out.csv"
[[ $(wc -l <"$work/f/out.csv") == 100001 ]] || { echo "run-floor.sh: the export misses nodes" >&2; exit 1; }
same "consoles" <(sed "s|$work/t/|$work/f/|" "$work/t/console.txt") "$work/f/console.txt"
export_checks="export files and consoles (but for their folder) identical; $(same_logs)"
series export 100000 pipe /e:out.csv "export out.csv"
echo "  checked: $export_checks"

if ((scaling)); then
  echo
  header "scaling, console to a file"
  declare -A wall
  for lines in 100000 1000000; do
    generate "$lines" >"$work/t/in.csv"
    cp "$work/t/in.csv" "$work/f/in.csv"
    result=$(runs import file /i:in.csv "import in.csv")
    tarnwick_medians=${result%|*} floor_medians=${result#*|}
    wall[t$lines]=${tarnwick_medians%% *} wall[f$lines]=${floor_medians%% *}
    row "import, $lines lines" "$lines" "$tarnwick_medians" "$floor_medians"
  done
  awk -v t1="${wall[t100000]}" -v t10="${wall[t1000000]}" -v f1="${wall[f100000]}" -v f10="${wall[f1000000]}" \
    'BEGIN { printf "%-26s %6.2fx %28s %6.2fx  (wall time, 1,000,000 lines over 100,000)\n", "", t10 / t1, "", f10 / f1 }'
fi

echo
echo "load after: $(uptime)"
