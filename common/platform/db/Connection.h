// The record-set layer's connection: the program's only way to its node
// database. A Connection opens the data source named in its connection
// string; record sets (Recordset.h) opened on it read and write its rows.
// Every failure is an Error: a database failure carries platform::err::
// kDatabase and the driver's message, the layer's own ones the numbers of
// ADO (3001 bad arguments, 3021 no current row, 3251 not updatable, 3265 no
// such field, 3704 closed, 3705 already open, 3709 connection not open).
// Values reach the engine as bound parameters only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace platform::db {

class Session;

// The embedded SQLite file that serves data source `name` when no DSN of
// that name is defined: <data folder>/<name>.db.
std::string embeddedDatabaseFile(const std::string& name);

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void setConnectionString(const std::string& text);  // "Data Source=Pelagor"
  const std::string& connectionString() const;

  // Opens the named data source: the unixODBC DSN of that name when one is
  // defined ($ODBCINI, ~/.odbc.ini, /etc/odbc.ini), otherwise the embedded
  // SQLite file <data folder>/<name>.db, created with the DDL script
  // `newDatabaseSchema` (statements separated by ";") when it is missing or
  // holds no tables (WAL journal, synchronous NORMAL, a busy timeout of
  // 10 s). An ODBC configuration file that exists and cannot be read, or a
  // DSN whose driver cannot be loaded or whose server does not answer
  // within the login timeout, fails: it never falls back to the file. ODBC
  // connections never prompt and give each statement a query timeout.
  // `forOuterTransaction` readies the connection for beginOuterTrans(): a
  // driver that would roll the whole transaction back on a failed statement,
  // or wrap each statement in a savepoint whose release drops the program's
  // (psqlODBC), is told to leave a failed statement to the program, which
  // rolls back to its own savepoint and keeps the outer transaction's work.
  void open(const std::string& newDatabaseSchema, bool forOuterTransaction = false);

  // Opens the SQLite file at `path` without a data-source lookup, creating
  // it from the schema when it holds no tables yet; for tests and tools.
  void openSqliteFile(const std::string& path, const std::string& newDatabaseSchema);
  bool isOpen() const;

  // "sqlite3" or "odbc" once open.
  std::string engine() const;

  // What the connection is open on, for the log: "embedded database
  // /srv/tarnwick/Pelagor.db" or "ODBC data source Pelagor, driver
  // psqlodbcw.so (psqlodbcw.so 13.02.0000)"; "" while closed.
  const std::string& dataSourceDescription() const;

  // `name` quoted for the engine so that it stands for what the name
  // written unquoted stands for, also where it is a reserved word
  // (Interval): between the quotes the driver reports (double quotes on the
  // embedded engine), in the case the engine gives unquoted names.
  std::string quotedName(const std::string& name) const;

  // Transactions on the connection; nesting is not supported. A write of
  // several rows (a batch update, an update of a row read before) is atomic
  // on its own: new rows go in with one statement where they can; a write
  // of more statements runs, outside a transaction, in one of its own, and
  // inside one under a savepoint on the embedded engine, while on an ODBC
  // data source the caller's roll-back is what undoes a failed write (on
  // PostgreSQL a failed statement has ended the transaction by then).
  void beginTrans();
  void commitTrans();
  void rollbackTrans();
  bool inTransaction() const;

  // A transaction around the others, for work that must store nothing: it
  // is only ever rolled back (or dropped with the connection); see open()
  // for the connection it needs. While it is
  // open, beginTrans, commitTrans and rollbackTrans set, release and roll
  // back to a savepoint in it, so each keeps its meaning for what follows.
  // Should the embedded engine end a transaction on its own (a full disk),
  // every later statement in it fails instead of running outside it.
  void beginOuterTrans();
  void rollbackOuterTrans();

  // Runs a statement that returns no rows; values bind to "?" in order.
  // Returns the number of rows affected.
  int64_t execute(const std::string& sql, const std::vector<Value>& params = {});

 private:
  // Record sets run their statements through the session.
  friend class Recordset;
  Session& session();

  std::string connectionString_;
  std::unique_ptr<Session> session_;
};

}  // namespace platform::db
