// The inside of a Connection: the SOCI session, its transaction state and
// the prepared statements kept for reuse. Record sets on the connection run
// their statements through it.
#pragma once

#include <soci/soci.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Database.h"
#include "DbOdbc.h"
#include "DbStatement.h"

namespace platform::db {

// The layer's own failure `number` (one of db::err) with ADO's text.
Error layerError(int32_t number);

struct Connection::Impl {
  std::string connectionString;
  soci::session session;
  std::string engine;  // "" while closed
  std::string dataSource;  // what it is open on, for the log
  bool inTransaction = false;

  // Opens the SQLite file at `path` (creating it with the schema when it
  // has no tables yet) or the ODBC data source `source`, its dialog off.
  void openSqlite(const std::string& path);
  void openOdbc(const OdbcDataSource& source);

  // Fails with Error 3709 unless the connection is open.
  void requireOpen() const;

  // Runs a statement that returns no rows and returns the rows affected.
  // With `keepPrepared` the prepared statement is kept and reused for the
  // next run of the same text with values of the same kinds.
  int64_t run(const std::string& sql, const std::vector<Value>& params, bool keepPrepared);

  // Starts a SELECT; its rows are read through the returned query.
  std::unique_ptr<RowQuery> query(const std::string& sql, const std::vector<Value>& params);

  // Takes back a query whose rows were all read, so the next query of the
  // same text and value kinds reuses its prepared statement.
  void recycle(const std::string& sql, const std::vector<Value>& params, std::unique_ptr<RowQuery> finished);

  void begin();
  void commit();
  void rollback();

  // Runs `write` so that all of it or nothing reaches the tables: in a
  // transaction of its own, or, inside the caller's, under a savepoint on
  // SQLite (on ODBC the caller's roll-back undoes a failed write).
  void writeAtomically(const std::function<void()>& write);

 private:
  void applySqlitePragmas();
  void createSchemaIfEmpty();
  bool hasTables();
  void runScript(const std::string& script);
  void requireTransaction() const;
  void transactionStep(const std::string& sqliteStatement, void (soci::session::*odbcStep)());
  void writeInOwnTransaction(const std::function<void()>& write);
  void writeUnderSavepoint(const std::function<void()>& write);
  bool sqliteTransactionActive();
  PreparedStatement& prepared(const std::string& key, const std::string& sql,
                              const std::vector<Value>& params);

  std::unordered_map<std::string, std::unique_ptr<PreparedStatement>> statements_;

  std::unordered_map<std::string, std::unique_ptr<RowQuery>> finishedQueries_;
};

}  // namespace platform::db
