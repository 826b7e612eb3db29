// The record-set layer: the program's only way to its node database. A
// Connection opens the data source named in its connection string; Recordsets
// opened on it select, add, update and delete rows with optimistic locking.
// Every failure is an Error; a database failure carries platform::err::
// kDatabase and the driver's message, the layer's own ones the numbers below.
// Values reach the engine as bound parameters only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Value.h"

namespace platform::db {

// Numbers of the record-set layer's own failures; the texts are ADO's.
namespace err {
constexpr int32_t kBadArguments = 3001;         // a find criterion that cannot be read
constexpr int32_t kNoCurrentRecord = 3021;      // BOF or EOF, no current row
constexpr int32_t kNotUpdatable = 3251;         // read-only lock or cursor, or not one table
constexpr int32_t kItemNotFound = 3265;         // no field of that name or index
constexpr int32_t kObjectClosed = 3704;         // the record set is closed
constexpr int32_t kObjectOpen = 3705;           // the connection is already open
constexpr int32_t kConnectionUnusable = 3709;   // the connection is not open
}  // namespace err

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
  // SQLite file <program folder>/<name>.db, given the shipped schema when it
  // is missing or holds no tables (WAL journal, synchronous NORMAL, a busy
  // timeout of 10 s). An ODBC configuration file that exists and cannot be
  // read, or a DSN whose driver cannot be loaded or whose server does not
  // answer within the login timeout, fails: it never falls back to the file.
  // ODBC connections never prompt and give each statement a query timeout.
  void open();

  // Opens the SQLite file at `path` without a data-source lookup, creating
  // it from the schema when it holds no tables yet; for tests and tools.
  void openSqliteFile(const std::string& path);
  bool isOpen() const;

  // "sqlite3" or "odbc" once open.
  std::string engine() const;

  // What the connection is open on, for the log: "embedded database
  // /srv/tarnwick/Pelagor.db" or "ODBC data source Pelagor, driver
  // psqlodbcw.so (psqlodbcw.so 13.02.0000)"; "" while closed.
  const std::string& dataSourceDescription() const;

  // Transactions on the connection; nesting is not supported. A write of
  // several rows (a batch update, an update of a row read before) is atomic
  // on its own: outside a transaction it runs in one of its own; inside one
  // it runs under a savepoint on the embedded engine, while on an ODBC data
  // source the caller's roll-back is what undoes a failed write.
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

  // Every other operation on a closed record set fails with Error 3704.
  // close() drops changes not yet written; closing twice is harmless.
  bool isOpen() const;
  void close();

  // Exact number of rows (reads them all on a static cursor); -1 on a
  // forward-only cursor, which cannot count without reading.
  int64_t recordCount();

  // No current row before the first (bof) or after the last (eof).
  bool bof();
  bool eof();
  void moveNext();
  void moveFirst();  // fails on a forward-only cursor

  // Moves to the first row at or after the current one matching
  // "Column = value" (value a number or a 'quoted' text, '' for a quote);
  // eof when none. Unreadable criteria fail with Error 3001.
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

  // Writing needs a static cursor, a lock other than read-only and a
  // statement of the form "SELECT * FROM Table [WHERE ...]"; otherwise
  // setField, addNew and update fail with Error 3251.

  // Starts a new row; its fields are set with setField. Fields never set
  // are left to the table's defaults. On a record set that has not read its
  // rows, field names are checked by the engine when the row is inserted.
  void addNew();

  // Writes the current row: inserts a new one, or updates a changed one
  // located by all of its original values; a row that was changed or
  // removed underneath makes the update fail and change nothing. Under
  // batch optimistic locking changes wait for updateBatch instead. A row
  // inserted here cannot be changed again until the record set is reopened.
  void update();

  // Writes every pending row, all or none of them.
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

}  // namespace platform::db
