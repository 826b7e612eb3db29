// Record sets of the record-set layer: rows of one SELECT on a Connection,
// read when first asked for, walked, found, changed and added to with
// optimistic locking, or a DELETE run at once. A record set must not
// outlive the connection it was opened on.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Value.h"
#include "platform/db/Connection.h"

namespace platform::db {

enum class CursorType { ForwardOnly = 0, Static = 3 };
enum class LockType { ReadOnly = 1, Optimistic = 3, BatchOptimistic = 4 };

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
  void setField(const std::string& name, Value value);
  // The field at `index` (0-based, in the statement's column order), valid
  // until the current row changes: how a walk over many rows reads them.
  const Value& fieldAt(int index);
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

  // Writes every pending row, all or none of them; the new ones with one
  // INSERT (several only past the values one statement can bind).
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
