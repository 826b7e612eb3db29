#!/usr/bin/env bash
# Runs the end-to-end tests and the record-set tests once more, on a database
# server: a throwaway PostgreSQL cluster (pg_virtualenv, from
# postgresql-common) that the program reaches through unixODBC and the
# PostgreSQL ODBC driver as the data source "Pelagor". The cluster lives only
# as long as this script. When it cannot be started, or the program does not
# reach it, the run fails and says why: no test is left out silently.
#
#   bash tools/pg-tests.sh [build-folder]      (default: build)
#
# Needs the Debian packages postgresql, odbc-postgresql and unixodbc
# (bash tools/setup.sh postgresql odbc-postgresql installs them).
set -euo pipefail

fail() {
  echo "pg-tests: FAILED: $*" >&2
  exit 1
}

# The PostgreSQL Unicode ODBC driver: the library's path when it is where
# Debian puts it, otherwise the name unixODBC has it registered under.
odbc_driver() {
  local library
  for library in /usr/lib/*/odbc/psqlodbcw.so /usr/lib/odbc/psqlodbcw.so /usr/lib64/psqlodbcw.so; do
    if [ -f "$library" ]; then
      echo "$library"
      return
    fi
  done
  if odbcinst -q -d -n "PostgreSQL Unicode" >/dev/null 2>&1; then
    echo "PostgreSQL Unicode"
    return
  fi
  return 1
}

# The data source "Pelagor" on the cluster that pg_virtualenv describes in
# the PG* variables.
write_odbc_ini() {
  cat >"$1" <<EOF
[Pelagor]
Description = Tarnwick node database (throwaway test cluster)
Driver      = $PG_TESTS_DRIVER
Servername  = $PGHOST
Port        = $PGPORT
Database    = $PGDATABASE
Username    = $PGUSER
Password    = $PGPASSWORD
EOF
  chmod 0644 "$1"
}

# The program itself must find the server: a node stored with psql comes out
# of an export, and no embedded database file appears beside the program.
check_program_reaches_server() {
  local folder=$PG_TESTS_STATE/program
  mkdir -p "$folder"
  cp "$PG_TESTS_BUILD"/{tarnwick,libquillet.so,README.HTM} "$folder"/
  psql -q -v ON_ERROR_STOP=1 -c "INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('4711', 'probe', 2);
                                 INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('4711', 'd', 'p')"
  (cd "$folder" && ./tarnwick /e:probe.csv >probe.out) || fail "tarnwick /e on the server failed: $(cat "$folder/probe.out")"
  grep -q '"4711","probe"' "$folder/probe.csv" || fail "tarnwick did not export the node stored on the server"
  [ ! -e "$folder/Pelagor.db" ] || fail "tarnwick used its embedded database instead of the data source Pelagor"
  psql -q -v ON_ERROR_STOP=1 -c "DELETE FROM VPIMNode; DELETE FROM Node"
  echo "tarnwick reaches the server through the data source Pelagor."
}

# Inside the cluster: define the data source, create the tables, run the tests.
run_in_cluster() {
  touch "$PG_TESTS_STATE/cluster-started"
  export ODBCINI=$PG_TESTS_STATE/odbc.ini
  write_odbc_ini "$ODBCINI"
  psql -q -v ON_ERROR_STOP=1 -f schema/pelagor.sql || fail "could not create the tables from schema/pelagor.sql"
  echo "SELECT COUNT(*) FROM Node" | isql -b Pelagor >/dev/null ||
    fail "unixODBC cannot open the data source Pelagor (driver $PG_TESTS_DRIVER)"
  echo "== Engine: $(psql -Atc 'SHOW server_version') PostgreSQL on $PGHOST:$PGPORT, data source Pelagor" \
       "through unixODBC ($PG_TESTS_DRIVER)"
  check_program_reaches_server

  local failed=()
  echo "== End-to-end tests on PostgreSQL"
  "$PG_TESTS_BUILD/tests/e2e/tarnwick_e2e_tests" || failed+=("end-to-end tests")
  echo "== Record-set tests on PostgreSQL (TARNWICK_TEST_ODBC_DSN=Pelagor)"
  TARNWICK_TEST_ODBC_DSN=Pelagor "$PG_TESTS_BUILD/tests/platform_db/platform_db_tests" || failed+=("record-set tests")
  [ ${#failed[@]} -eq 0 ] || fail "on PostgreSQL: ${failed[*]}"
  echo "== PostgreSQL run passed"
}

script=$(realpath "$0")
if [ "${1:-}" = "--in-cluster" ]; then
  cd "$(dirname "$script")/.."
  run_in_cluster
  exit 0
fi

build=$(realpath -m "${1:-build}")
cd "$(dirname "$script")/.."
for binary in tarnwick tests/e2e/tarnwick_e2e_tests tests/platform_db/platform_db_tests; do
  [ -x "$build/$binary" ] || fail "$build/$binary is missing: build first (bash tools/setup.sh)"
done
command -v pg_virtualenv >/dev/null || fail "pg_virtualenv not found: install postgresql (postgresql-common)"
command -v isql >/dev/null || fail "isql not found: install unixodbc"
ls /usr/lib/postgresql/*/bin/pg_ctl >/dev/null 2>&1 || fail "no PostgreSQL server installed: install postgresql"
driver=$(odbc_driver) || fail "the PostgreSQL ODBC driver (psqlodbcw.so) is not installed: install odbc-postgresql"

state=$(mktemp -d -t tarnwick-pg.XXXXXX)
trap 'rm -rf "$state"' EXIT
# The tests also run the program as "nobody", who must read the odbc.ini.
chmod 0755 "$state"

echo "== Starting a throwaway PostgreSQL cluster (pg_virtualenv)"
# -t keeps the cluster in a temporary folder even for root, so runs do not
# meet in /etc/postgresql and nothing is left behind.
status=0
PG_TESTS_STATE=$state PG_TESTS_BUILD=$build PG_TESTS_DRIVER=$driver \
  pg_virtualenv -t bash "$script" --in-cluster || status=$?
if [ ! -e "$state/cluster-started" ]; then
  fail "the throwaway PostgreSQL cluster could not be started (pg_virtualenv exit status $status; its messages are above)"
fi
exit "$status"
