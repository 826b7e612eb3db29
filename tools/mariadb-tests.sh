#!/usr/bin/env bash
# Runs the end-to-end tests and the record-set tests once more, on a MariaDB
# server: a throwaway server (mariadb-install-db, then mariadbd on a socket in
# a temporary folder, no network port) that the program reaches through
# unixODBC and MariaDB's ODBC driver as the data source "Pelagor". The server
# lives only as long as this script and is stopped on every way out. When it
# cannot be started, or the program does not reach it, the run fails and says
# why: no test is left out silently.
#
#   bash tools/mariadb-tests.sh [build-folder]      (default: build)
#
# Needs the Debian packages mariadb-server, odbc-mariadb and unixodbc
# (bash tools/setup.sh mariadb-server odbc-mariadb installs them).
set -euo pipefail

SERVER_TESTS_NAME=MariaDB
script_dir=$(dirname "$(realpath "$0")")
# shellcheck source=tools/server-suites.sh
source "$script_dir/server-suites.sh"

server_sql() {
  mariadb --no-defaults --socket="$socket" --user=root --database=nodes --batch --execute="$1"
}

# A server of our own: its data folder, socket, log and process id all in
# $state. Root may only run it as root when it says so (--user).
start_server() {
  local account
  account=$(id -un)
  mariadb-install-db --no-defaults --datadir="$state/data" --user="$account" --auth-root-authentication-method=normal \
    --skip-test-db >"$state/install.log" 2>&1 ||
    fail "mariadb-install-db could not create the server's data folder: $(tail -n 5 "$state/install.log")"
  # utf8mb4 and its usual collation, as Debian's own configuration sets them;
  # no durability, the server is thrown away.
  mariadbd --no-defaults --datadir="$state/data" --socket="$socket" --skip-networking --user="$account" \
    --pid-file="$state/mariadbd.pid" --log-error="$state/mariadbd.log" --skip-log-bin \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci --innodb-flush-log-at-trx-commit=0 \
    --innodb-buffer-pool-size=128M >>"$state/mariadbd.log" 2>&1 &
  server_pid=$!
  local tries
  for tries in $(seq 600); do
    if ! kill -0 "$server_pid" 2>/dev/null; then
      server_pid=
      fail "mariadbd stopped before it took connections: $(tail -n 5 "$state/mariadbd.log")"
    fi
    mariadb-admin --no-defaults --socket="$socket" --user=root ping >/dev/null 2>&1 && return
    sleep 0.1
  done
  fail "mariadbd took no connection within 60 seconds: $(tail -n 5 "$state/mariadbd.log")"
}

# SIGTERM makes mariadbd shut down cleanly; it gets 30 seconds for it.
stop_server() {
  [ -n "${server_pid:-}" ] || return 0
  kill "$server_pid" 2>/dev/null || true
  local tries
  for tries in $(seq 300); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}

# The database "nodes" with the tables of schema/pelagor.sql, an account of
# its own, and the data source Pelagor reaching it as that account.
create_data_source() {
  mariadb --no-defaults --socket="$socket" --user=root --batch --execute="
      CREATE DATABASE nodes;
      CREATE USER 'tarnwick'@'localhost' IDENTIFIED BY 'tarnwick-tests';
      GRANT ALL ON nodes.* TO 'tarnwick'@'localhost';" || fail "could not create the database and its account"
  mariadb --no-defaults --socket="$socket" --user=root --database=nodes <schema/pelagor.sql ||
    fail "could not create the tables from schema/pelagor.sql"
  export ODBCINI=$state/odbc.ini
  cat >"$ODBCINI" <<EOF
[Pelagor]
Description = Tarnwick node database (throwaway test server)
Driver      = $driver
Socket      = $socket
Database    = nodes
User        = tarnwick
Password    = tarnwick-tests
EOF
  chmod 0644 "$ODBCINI"
}

SERVER_TESTS_BUILD=$(realpath -m "${1:-build}")
cd "$script_dir/.."
require_built_suites
command -v mariadb-install-db >/dev/null && command -v mariadbd >/dev/null ||
  fail "mariadb-install-db or mariadbd not found: install mariadb-server"
driver=$(odbc_driver libmaodbc.so "MariaDB Unicode") || fail "MariaDB's ODBC driver (libmaodbc.so) is not installed: install odbc-mariadb"

state=$(mktemp -d -t tarnwick-mariadb.XXXXXX)
SERVER_TESTS_STATE=$state
socket=$state/mariadbd.sock
server_pid=
trap 'stop_server; rm -rf "$state"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# The tests also run the program as "nobody", who must read the odbc.ini and
# reach the socket.
chmod 0755 "$state"

echo "== Starting a throwaway MariaDB server (mariadbd on $socket)"
start_server
create_data_source
echo "== Engine: MariaDB $(server_sql 'SELECT VERSION()' | tail -n 1), data source Pelagor through unixODBC ($driver)"
run_server_suites
