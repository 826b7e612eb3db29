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

SERVER_TESTS_NAME=PostgreSQL
script=$(realpath "$0")
# shellcheck source=tools/server-suites.sh
source "$(dirname "$script")/server-suites.sh"

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

server_sql() {
  psql -q -v ON_ERROR_STOP=1 -c "$1"
}

# Inside the cluster: define the data source, create the tables, run the tests.
run_in_cluster() {
  touch "$SERVER_TESTS_STATE/cluster-started"
  export ODBCINI=$SERVER_TESTS_STATE/odbc.ini
  write_odbc_ini "$ODBCINI"
  psql -q -v ON_ERROR_STOP=1 -f schema/pelagor.sql || fail "could not create the tables from schema/pelagor.sql"
  echo "== Engine: $(psql -Atc 'SHOW server_version') PostgreSQL on $PGHOST:$PGPORT, data source Pelagor" \
       "through unixODBC ($PG_TESTS_DRIVER)"
  run_server_suites
}

if [ "${1:-}" = "--in-cluster" ]; then
  cd "$(dirname "$script")/.."
  run_in_cluster
  exit 0
fi

SERVER_TESTS_BUILD=$(realpath -m "${1:-build}")
cd "$(dirname "$script")/.."
require_built_suites
command -v pg_virtualenv >/dev/null || fail "pg_virtualenv not found: install postgresql (postgresql-common)"
ls /usr/lib/postgresql/*/bin/pg_ctl >/dev/null 2>&1 || fail "no PostgreSQL server installed: install postgresql"
driver=$(odbc_driver psqlodbcw.so "PostgreSQL Unicode") || fail "the PostgreSQL ODBC driver (psqlodbcw.so) is not installed: install odbc-postgresql"

state=$(mktemp -d -t tarnwick-pg.XXXXXX)
trap 'rm -rf "$state"' EXIT
# The tests also run the program as "nobody", who must read the odbc.ini.
chmod 0755 "$state"

echo "== Starting a throwaway PostgreSQL cluster (pg_virtualenv)"
# -t keeps the cluster in a temporary folder even for root, so runs do not
# meet in /etc/postgresql and nothing is left behind.
status=0
SERVER_TESTS_STATE=$state SERVER_TESTS_BUILD=$SERVER_TESTS_BUILD PG_TESTS_DRIVER=$driver \
  pg_virtualenv -t bash "$script" --in-cluster || status=$?
if [ ! -e "$state/cluster-started" ]; then
  fail "the throwaway PostgreSQL cluster could not be started (pg_virtualenv exit status $status; its messages are above)"
fi
exit "$status"
