// The record-set layer: the program's only way to its node database. A
// Connection opens the data source named in its connection string; Recordsets
// opened on it select, add, update and delete rows with optimistic locking.
// Every failure is an Error; a database failure carries err::kDatabase and
// the driver's message. Values reach the engine as bound parameters only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Value.h"

namespace platform::db {

enum class CursorType { ForwardOnly = 0, Static = 3 };
enum class LockType { ReadOnly = 1, Optimistic = 3, BatchOptimistic = 4 };

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
  // SQLite file <program folder>/<name>.db, created from the shipped schema
  // when missing (WAL journal, synchronous NORMAL, a busy timeout).
  void open();
  bool isOpen() const;

  // "sqlite3" or "odbc" once open.
  std::string engine() const;

  // Transactions on the connection; nesting is not supported.
  void beginTrans();
  void commitTrans();
  void rollbackTrans();
  bool inTransaction() const;

  // Runs a statement that returns no rows; values bind to "?" in order.
  // Returns the number of rows affected.
  int64_t execute(const std::string& sql, const std::vector<Value>& params = {});

  struct Impl;
  Impl& impl();

 private:
  std::unique_ptr<Impl> impl_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Opens `sql` on `conn`. A SELECT gives rows, read when first asked for
  // (a record set opened only to add rows never reads its table); a DELETE
  // runs at once ("DELETE * FROM" is read as "DELETE FROM") and gives none.
  // Values in `params` bind to "?" in order. Reopening closes first.
  void open(const std::string& sql, Connection& conn, CursorType cursor, LockType lock,
            const std::vector<Value>& params = {});
  bool isOpen() const;
  void close();

  // Exact number of rows (reads them all on a static cursor).
  int64_t recordCount();

  // No current row before the first (bof) or after the last (eof).
  bool bof();
  bool eof();
  void moveNext();
  void moveFirst();  // fails on a forward-only cursor

  // Moves to the first row at or after the current one matching
  // "Column = value" (value a number or a 'quoted' text); eof when none.
  void find(const std::string& criteria);

  // Fields of the current (or new) row, names compared without regard to
  // case. With no current row they fail with Error 3021 ("Either BOF or EOF
  // is True, or the current record has been deleted. Requested operation
  // requires a current record."); an unknown name fails with Error 3265
  // ("Item cannot be found in the collection corresponding to the requested
  // name or ordinal.").
  Value field(const std::string& name);
  void setField(const std::string& name, const Value& value);
  int fieldCount();
  std::string fieldName(int index);  // 0-based, as the engine spells it

  // Starts a new row; its fields are set with setField.
  void addNew();

  // Writes the current row: inserts a new one, or updates a changed one by
  // its original values (a row that changed underneath fails). Under batch
  // optimistic locking changes wait for updateBatch instead.
  void update();

  // Writes every pending row (batch optimistic locking).
  void updateBatch();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A statement with named parameters, kept only to be dumped to the log.
struct Command {
  std::string commandText;
  std::vector<std::pair<std::string, Value>> parameters;
};

// `text` with every single quote doubled, for a quoted SQL literal.
std::string quoteLiteral(const std::string& text);

}  // namespace platform::db
