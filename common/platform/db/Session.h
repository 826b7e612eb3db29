// The session behind a Connection: the SOCI session, its transaction state
// and the prepared statements kept for reuse. Private to the record-set
// layer: the Connection owns it, and record sets opened on the connection
// run their statements through it.
#pragma once

#include <soci/soci.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Engines.h"
#include "Sql.h"
#include "Statement.h"
#include "platform/Value.h"

namespace platform::db {

// The form of one INSERT of one or more rows: its table, its columns and,
// row after row, one flag per column telling whether the row gives that
// column a value; where not, the column takes its default.
struct InsertShape {
  std::string table;
  std::vector<const sql::ColumnName*> columns;  // the callers', alive while it runs
  std::vector<bool> given;
};

class Session {
 public:
  // Opens the SQLite file at `path` (creating its tables with the DDL
  // script `newDatabaseSchema` when it has none yet) or the ODBC data
  // source `source`, its dialog off (and, `forOuterTransaction`, its own
  // per-statement savepoints).
  void openSqlite(const std::string& path, const std::string& newDatabaseSchema);
  void openOdbc(const OdbcDataSource& source, bool forOuterTransaction);

  bool isOpen() const { return !engine_.empty(); }
  const std::string& engine() const { return engine_; }          // "" while closed
  const std::string& dataSource() const { return dataSource_; }  // what it is open on, for the log
  bool inTransaction() const { return inTransaction_; }
  // How the engine quotes and folds names: double quotes on SQLite, what
  // the driver reports over ODBC.
  const sql::NameRules& nameRules() const { return nameRules_; }

  // Fails with Error 3709 unless the session is open.
  void requireOpen() const;

  // Runs a statement that returns no rows and returns the rows affected.
  // With `keepPrepared` the prepared statement is kept and reused for the
  // next run of the same text with values of the same kinds.
  int64_t run(const std::string& sql, const std::vector<Value>& params, bool keepPrepared);

  // Inserts the rows of `shape` in one statement, atomic on its own; `values`
  // are the values given, row after row. The statement is prepared once per
  // shape and kinds of values. Returns the number of rows inserted.
  int64_t insert(const InsertShape& shape, const std::vector<Value>& values);

  // Starts a SELECT; its rows are read through the returned query, which
  // runs at its first next(). Rows `walked` one by one are fetched in blocks
  // where the driver can (psqlODBC's cursor); others come all at once.
  std::unique_ptr<RowQuery> query(const std::string& sql, const std::vector<Value>& params, bool walked);

  // Takes back a query whose rows were all read, so the next query of the
  // same text and value kinds reuses its prepared statement.
  void recycle(const std::string& sql, const std::vector<Value>& params, std::unique_ptr<RowQuery> finished);

  // How a record set takes the statement text `sql`; worked out once per
  // text, as record sets open the same few statements line after line.
  const sql::StatementForm& statementForm(const std::string& sql);

  void begin();
  void commit();
  void rollback();

  // The transaction around the others (Connection::beginOuterTrans).
  void beginOuter();
  void rollbackOuter();

  // Runs `write` so that all of it or nothing reaches the tables: in a
  // transaction of its own, or, inside the caller's, under a savepoint on
  // SQLite (on ODBC the caller's roll-back undoes a failed write).
  void writeAtomically(const std::function<void()>& write);

 private:
  void applySqlitePragmas();
  void createSchemaIfEmpty(const std::string& schema);
  bool hasTables();
  void runScript(const std::string& script);
  void requireTransaction() const;
  void requireTransactionStillOpen();
  void transactionStep(const std::string& sqliteStatement, void (soci::session::*odbcStep)());
  void writeInOwnTransaction(const std::function<void()>& write);
  void writeUnderSavepoint(const std::function<void()>& write);
  std::string defaultOf(const std::string& table, const sql::ColumnName& column);
  using KeptStatements = std::unordered_map<std::string, std::unique_ptr<PreparedStatement>>;
  int64_t runKept(KeptStatements& kept, const std::string& key, const std::vector<Value>& params,
                  const std::function<std::string()>& sql);
  const std::string& statementKey(const std::string& sql, const std::vector<Value>& params);
  const std::string& insertKey(const InsertShape& shape, const std::vector<Value>& values);
  std::string insertStatement(const InsertShape& shape);

  soci::session session_;
  std::string engine_;
  std::string dataSource_;
  sql::NameRules nameRules_;
  bool inTransaction_ = false;
  bool inOuterTransaction_ = false;
  // On psqlODBC: whether the data source fetches in blocks, and whether the
  // connection does so now.
  std::optional<bool> blocksConfigured_;
  bool inBlocks_ = false;
  // Kept for reuse: statements by statementKey() and INSERTs by insertKey(),
  // both built in keyBuffer_.
  KeptStatements statements_;
  KeptStatements inserts_;
  std::string keyBuffer_;
  std::unordered_map<std::string, std::unique_ptr<RowQuery>> finishedQueries_;
  std::unordered_map<std::string, sql::StatementForm> statementForms_;
};

}  // namespace platform::db
