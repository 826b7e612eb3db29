# The part of tools/pg-tests.sh and tools/mariadb-tests.sh that does not
# depend on the server: sourced by both once their throwaway server holds the
# tables and ODBCINI defines the data source "Pelagor" on it.
#
# The caller sets SERVER_TESTS_NAME (for messages), SERVER_TESTS_BUILD (the
# build folder) and SERVER_TESTS_STATE (a scratch folder that lives as long as
# the server), and defines server_sql, which runs the SQL given as its one
# argument on the server and fails when any of it fails.

fail() {
  echo "$(basename "$0" .sh): FAILED: $*" >&2
  exit 1
}

# An ODBC driver: the path of library $1 when it is where Debian puts it,
# otherwise the name $2 if unixODBC has a driver registered under it.
odbc_driver() {
  local library
  for library in /usr/lib/*/odbc/"$1" /usr/lib/odbc/"$1" /usr/lib64/"$1"; do
    if [ -f "$library" ]; then
      echo "$library"
      return
    fi
  done
  if odbcinst -q -d -n "$2" >/dev/null 2>&1; then
    echo "$2"
    return
  fi
  return 1
}

# The program itself must find the server: a node stored with the server's
# own client comes out of an export, and no embedded database file appears
# beside the program.
check_program_reaches_server() {
  local folder=$SERVER_TESTS_STATE/program
  mkdir -p "$folder"
  cp "$SERVER_TESTS_BUILD"/{tarnwick,libquillet.so,README.HTM} "$folder"/
  server_sql "INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('4711', 'probe', 2);
              INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('4711', 'd', 'p')" ||
    fail "could not store a node with the server's client"
  (cd "$folder" && ./tarnwick /e:probe.csv >probe.out) || fail "tarnwick /e on the server failed: $(cat "$folder/probe.out")"
  grep -q '"4711","probe"' "$folder/probe.csv" || fail "tarnwick did not export the node stored on the server"
  [ ! -e "$folder/Pelagor.db" ] || fail "tarnwick used its embedded database instead of the data source Pelagor"
  server_sql "DELETE FROM VPIMNode; DELETE FROM Node" || fail "could not empty the tables"
  echo "tarnwick reaches the server through the data source Pelagor."
}

# The end-to-end suite (with the parallel-run test) and the record-set suite,
# the same test definitions the embedded database runs.
run_server_suites() {
  echo "SELECT COUNT(*) FROM Node" | isql -b Pelagor >/dev/null ||
    fail "unixODBC cannot open the data source Pelagor"
  check_program_reaches_server
  local failed=()
  echo "== End-to-end tests on $SERVER_TESTS_NAME"
  "$SERVER_TESTS_BUILD/tests/e2e/tarnwick_e2e_tests" || failed+=("end-to-end tests")
  echo "== Record-set tests on $SERVER_TESTS_NAME (TARNWICK_TEST_ODBC_DSN=Pelagor)"
  TARNWICK_TEST_ODBC_DSN=Pelagor "$SERVER_TESTS_BUILD/tests/platform_db/platform_db_tests" ||
    failed+=("record-set tests")
  [ ${#failed[@]} -eq 0 ] || fail "on $SERVER_TESTS_NAME: ${failed[*]}"
  echo "== $SERVER_TESTS_NAME run passed"
}

# Fails unless the build folder holds what the suites run.
require_built_suites() {
  local binary
  for binary in tarnwick tests/e2e/tarnwick_e2e_tests tests/platform_db/platform_db_tests; do
    [ -x "$SERVER_TESTS_BUILD/$binary" ] || fail "$SERVER_TESTS_BUILD/$binary is missing: build first (bash tools/setup.sh)"
  done
  command -v isql >/dev/null || fail "isql not found: install unixodbc"
}
