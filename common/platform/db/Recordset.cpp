#include "platform/db/Recordset.h"

#include <algorithm>
#include <optional>
#include <span>

#include "Session.h"
#include "Sql.h"
#include "platform/Error.h"

namespace platform::db {

namespace {

enum class RowState : uint8_t {
  Stored,    // as read from the table
  Modified,  // read, then fields set; not written yet
  Added,     // new, not inserted yet
  Inserted,  // new and inserted; its fields are the values it was given
};

struct NamedValue {
  sql::ColumnName column;  // as the engine spells it, or as given before the table was read
  Value value;
};

struct Row {
  std::vector<Value> stored;      // one per column, as read; empty for new rows
  std::vector<NamedValue> edits;  // fields set since (for a new row: all it has)
  RowState state = RowState::Stored;
};

bool isPending(const Row& row) { return row.state == RowState::Modified || row.state == RowState::Added; }

// Room for the fields of a new row, reserved at once.
constexpr size_t kTypicalFieldsSet = 8;

// Values one INSERT binds at most: SQLite's oldest limit, so that any engine
// takes them.
constexpr size_t kMaxInsertValues = 999;

// New rows to insert with one statement: its shape and the values given.
struct PlannedInsert {
  InsertShape shape;
  std::vector<Value> values;
  size_t rows = 0;
};

// The edit of `column` in `row`; rows set alike hold it at `position`.
const NamedValue* editOf(const Row& row, const sql::ColumnName& column, size_t position) {
  if (position < row.edits.size() && row.edits[position].column == column) return &row.edits[position];
  for (const auto& edit : row.edits) {
    if (sql::equalsIgnoreCase(edit.column.name, column.name)) return &edit;
  }
  return nullptr;
}

// The INSERTs of new rows of `table`: the columns any of them was given,
// each row with the values it was given (the others take their defaults),
// as many rows to a statement as kMaxInsertValues allows. The column names
// are the rows' own.
std::vector<PlannedInsert> plannedInserts(const std::string& table, const std::vector<const Row*>& added) {
  std::vector<const sql::ColumnName*> columns;
  if (!added.empty()) columns.reserve(added.front()->edits.size());
  for (const Row* row : added) {
    for (size_t i = 0; i < row->edits.size(); ++i) {
      const sql::ColumnName& column = row->edits[i].column;
      if (i < columns.size() && *columns[i] == column) continue;
      bool known = false;
      for (const auto* seen : columns) known = known || sql::equalsIgnoreCase(seen->name, column.name);
      if (!known) columns.push_back(&column);
    }
  }
  const size_t rowsEach = columns.empty() ? 1 : std::max<size_t>(1, kMaxInsertValues / columns.size());
  std::vector<PlannedInsert> inserts;
  for (size_t i = 0; i < added.size(); ++i) {
    if (i % rowsEach == 0) {
      inserts.push_back(PlannedInsert{InsertShape{table, columns, {}}, {}, 0});
      const size_t cells = std::min(rowsEach, added.size() - i) * columns.size();
      inserts.back().values.reserve(cells);
      inserts.back().shape.given.reserve(cells);
    }
    PlannedInsert& insert = inserts.back();
    for (size_t c = 0; c < columns.size(); ++c) {
      const NamedValue* edit = editOf(*added[i], *columns[c], c);
      insert.shape.given.push_back(edit != nullptr);
      if (edit != nullptr) insert.values.push_back(edit->value);
    }
    ++insert.rows;
  }
  return inserts;
}

}  // namespace

struct Recordset::Impl {
  Session* session = nullptr;
  std::string sql;
  std::vector<Value> params;
  CursorType cursor = CursorType::ForwardOnly;
  LockType lock = LockType::ReadOnly;
  std::optional<std::string> table;  // set when rows can be written back

  bool read = false;                 // the SELECT has run
  std::unique_ptr<RowQuery> stream;  // forward-only: the running SELECT
  bool streamHadRows = false;
  std::vector<std::string> columns;  // shared by all rows
  std::vector<Row> rows;             // static: every row; forward-only: the current one
  size_t position = 0;               // rows.size() is EOF

  bool isOpen() const { return session != nullptr; }

  void requireOpen() const {
    if (!isOpen()) raise(err::kObjectClosed);
  }

  void requireUpdatable() const {
    requireOpen();
    if (lock == LockType::ReadOnly || cursor == CursorType::ForwardOnly || !table) {
      raise(err::kNotUpdatable);
    }
  }

  // ------------------------------------------------------------ reading rows

  // Runs the SELECT the first time rows are asked for; a SELECT that fails
  // fails again on the next request.
  void ensureRead() {
    if (read) return;
    if (cursor == CursorType::Static) {
      readAllRows();
    } else {
      startStream();
    }
    read = true;
  }

  // Reads every row of the SELECT. Rows added here and not yet inserted
  // stay, after the ones read; the current one stays current.
  void readAllRows() {
    auto query = session->query(sql, params, false);
    std::vector<Row> fetched;
    std::vector<Value> values;
    while (query->next(values)) fetched.push_back(Row{std::move(values), {}, RowState::Stored});
    columns = query->columns();
    session->recycle(sql, params, std::move(query));
    size_t newPosition = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].state != RowState::Added) continue;
      if (i == position) newPosition = fetched.size();
      fetched.push_back(std::move(rows[i]));
    }
    rows = std::move(fetched);
    position = newPosition;
  }

  void startStream() {
    stream = session->query(sql, params, true);
    fetchFromStream();
    streamHadRows = !rows.empty();
    columns = stream->columns();
  }

  void fetchFromStream() {
    std::vector<Value> values;
    rows.clear();
    position = 0;
    if (stream->next(values)) {
      rows.push_back(Row{std::move(values), {}, RowState::Stored});
    }
  }

  // A row added here is current without reading the table.
  bool hasCurrent() {
    if (!read && position >= rows.size()) ensureRead();
    return position < rows.size();
  }

  Row& currentRow() {
    requireOpen();
    if (!hasCurrent()) raise(err::kNoCurrentRecord);
    return rows[position];
  }

  void advance() {
    if (cursor == CursorType::Static) {
      ++position;
    } else {
      fetchFromStream();
    }
  }

  // ------------------------------------------------------------------ fields

  std::optional<size_t> columnIndex(const std::string& name) const {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (sql::equalsIgnoreCase(columns[i], name)) return i;
    }
    return std::nullopt;
  }

  // The value a row shows for `name`: what was set, else what was read. A
  // new row on a record set that never read its table knows no other column
  // names: whatever it was not given shows as null.
  Value valueOf(const Row& row, const std::string& name) const {
    if (const Value* edited = editedValue(row, name)) return *edited;
    if (auto index = columnIndex(name)) return valueAt(row, *index);
    if (!read && row.state != RowState::Stored) return Value();
    raise(err::kItemNotFound);
  }

  // The value a row shows in column `index` (which must exist).
  const Value& valueAt(const Row& row, size_t index) const {
    static const Value kNull;
    if (const Value* edited = editedValue(row, columns[index])) return *edited;
    return index < row.stored.size() ? row.stored[index] : kNull;
  }

  static const Value* editedValue(const Row& row, const std::string& name) {
    for (const auto& edit : row.edits) {
      if (sql::equalsIgnoreCase(edit.column.name, name)) return &edit.value;
    }
    return nullptr;
  }

  // The column to write for `name`: as the engine spells it when the
  // columns are known; otherwise as given, if it is a plain identifier.
  // Either is quoted, as any column may be a reserved word somewhere.
  NamedValue writableColumn(const std::string& name, Value value) const {
    if (read) {
      auto index = columnIndex(name);
      if (!index) raise(err::kItemNotFound);
      return NamedValue{{columns[*index], true}, std::move(value)};
    }
    if (!sql::isPlainIdentifier(name)) raise(err::kItemNotFound);
    return NamedValue{{name, false}, std::move(value)};
  }

  std::string quoted(const sql::ColumnName& column) const { return sql::quotedName(column, session->nameRules()); }

  static void setEdit(Row& row, NamedValue edited) {
    for (auto& edit : row.edits) {
      if (sql::equalsIgnoreCase(edit.column.name, edited.column.name)) {
        edit.value = std::move(edited.value);
        return;
      }
    }
    row.edits.push_back(std::move(edited));
  }

  // ----------------------------------------------------------------- writing

  // Writes the given pending rows: an UPDATE for each row read before, then
  // the new rows with one INSERT. An INSERT alone is atomic; anything more
  // (an update may match more than its row) runs all or nothing.
  void writeRows(std::span<const size_t> indices) {
    std::vector<size_t> changed;
    std::vector<const Row*> added;
    for (size_t i : indices) {
      if (rows[i].state == RowState::Added) {
        added.push_back(&rows[i]);
      } else {
        changed.push_back(i);
      }
    }
    std::vector<PlannedInsert> inserts = plannedInserts(*table, added);
    auto writeAll = [&] {
      for (size_t i : changed) writeChange(rows[i]);
      for (auto& insert : inserts) {
        const size_t expected = insert.rows;
        if (session->insert(insert.shape, insert.values) != static_cast<int64_t>(expected)) {
          throw Error::database(DatabaseFailure::RowChanged);
        }
      }
    };
    if (changed.empty() && inserts.size() <= 1) {
      writeAll();
    } else {
      session->writeAtomically(writeAll);
    }
    for (size_t i : indices) markWritten(rows[i]);
  }

  void writeChange(const Row& row) {
    std::vector<std::string> names;
    std::vector<Value> values;
    for (const auto& edit : row.edits) {
      names.push_back(quoted(edit.column));
      values.push_back(edit.value);
    }
    std::string statement = updateLocatingByStoredValues(row, names, values);
    if (session->run(statement, values, true) != 1) throw Error::database(DatabaseFailure::RowChanged);
  }

  // The UPDATE of a row read before, located by every value it was read
  // with; appends those values (nulls aside) to `values`.
  std::string updateLocatingByStoredValues(const Row& row, const std::vector<std::string>& setColumns,
                                           std::vector<Value>& values) const {
    std::vector<std::string> keyColumns;
    std::vector<bool> keyIsNull;
    for (size_t i = 0; i < row.stored.size(); ++i) {
      keyColumns.push_back(quoted({columns[i], true}));
      keyIsNull.push_back(isNull(row.stored[i]));
      if (!isNull(row.stored[i])) values.push_back(row.stored[i]);
    }
    return sql::updateStatement(*table, setColumns, keyColumns, keyIsNull);
  }

  void markWritten(Row& row) {
    if (row.state == RowState::Added) {
      row.state = RowState::Inserted;
      return;
    }
    for (auto& edit : row.edits) row.stored[*columnIndex(edit.column.name)] = std::move(edit.value);
    row.edits.clear();
    row.state = RowState::Stored;
  }

  std::vector<size_t> pendingRows() const {
    std::vector<size_t> indices;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (isPending(rows[i])) indices.push_back(i);
    }
    return indices;
  }
};

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

void Recordset::open(const std::string& sql, Connection& conn, CursorType cursor, LockType lock,
                     const std::vector<Value>& params) {
  close();
  Session& session = conn.session();
  session.requireOpen();
  const sql::StatementForm& form = session.statementForm(sql);
  if (!form.isSelect) {
    session.run(form.statement, params, !params.empty());
    return;
  }
  impl_->table = form.table;
  impl_->sql = form.statement;
  impl_->params = params;
  impl_->cursor = cursor;
  impl_->lock = lock;
  impl_->session = &session;
}

bool Recordset::isOpen() const { return impl_->isOpen(); }

void Recordset::close() {
  if (impl_->isOpen()) *impl_ = Impl();  // one never opened holds nothing
}

int64_t Recordset::recordCount() {
  impl_->requireOpen();
  if (impl_->cursor == CursorType::ForwardOnly) return -1;
  impl_->ensureRead();
  return static_cast<int64_t>(impl_->rows.size());
}

bool Recordset::bof() {
  impl_->requireOpen();
  if (impl_->hasCurrent()) return false;
  return impl_->cursor == CursorType::Static ? impl_->rows.empty() : !impl_->streamHadRows;
}

bool Recordset::eof() {
  impl_->requireOpen();
  return !impl_->hasCurrent();
}

void Recordset::moveNext() {
  impl_->requireOpen();
  impl_->ensureRead();
  impl_->currentRow();
  impl_->advance();
}

void Recordset::moveFirst() {
  impl_->requireOpen();
  if (impl_->cursor == CursorType::ForwardOnly) {
    throw Error::database(DatabaseFailure::BackwardFetch);
  }
  impl_->ensureRead();
  impl_->position = 0;
}

void Recordset::find(const std::string& criteria) {
  impl_->requireOpen();
  auto criterion = sql::parseCriterion(criteria);
  if (!criterion) raise(err::kBadArguments);
  impl_->ensureRead();
  if (!impl_->columnIndex(criterion->column)) raise(err::kItemNotFound);
  while (impl_->hasCurrent() &&
         !sql::matchesCriterion(impl_->valueOf(impl_->rows[impl_->position], criterion->column), criterion->value)) {
    impl_->advance();
  }
}

Value Recordset::field(const std::string& name) { return impl_->valueOf(impl_->currentRow(), name); }

const Value& Recordset::fieldAt(int index) {
  const Row& row = impl_->currentRow();
  if (index < 0 || static_cast<size_t>(index) >= impl_->columns.size()) raise(err::kItemNotFound);
  return impl_->valueAt(row, static_cast<size_t>(index));
}

void Recordset::setField(const std::string& name, Value value) {
  impl_->requireUpdatable();
  Row& row = impl_->currentRow();
  if (row.state == RowState::Inserted) raise(err::kNotUpdatable);
  Impl::setEdit(row, impl_->writableColumn(name, std::move(value)));
  if (row.state == RowState::Stored) row.state = RowState::Modified;
}

int Recordset::fieldCount() {
  impl_->requireOpen();
  impl_->ensureRead();
  return static_cast<int>(impl_->columns.size());
}

std::string Recordset::fieldName(int index) {
  impl_->requireOpen();
  impl_->ensureRead();
  if (index < 0 || static_cast<size_t>(index) >= impl_->columns.size()) raise(err::kItemNotFound);
  return impl_->columns[static_cast<size_t>(index)];
}

void Recordset::addNew() {
  impl_->requireUpdatable();
  auto& rows = impl_->rows;
  size_t& position = impl_->position;
  // Starting a new row writes the one being edited, unless writes wait for
  // the batch update.
  if (impl_->lock == LockType::Optimistic && position < rows.size() && isPending(rows[position])) {
    impl_->writeRows({&position, 1});
  }
  // Rows added one after another are mostly set alike.
  const size_t likelyFields = rows.empty() ? 0 : rows.back().edits.size();
  rows.push_back(Row{{}, {}, RowState::Added});
  position = rows.size() - 1;
  rows.back().edits.reserve(std::max<size_t>(likelyFields, kTypicalFieldsSet));
}

void Recordset::update() {
  impl_->requireUpdatable();
  Row& row = impl_->currentRow();
  if (impl_->lock == LockType::BatchOptimistic || !isPending(row)) return;
  impl_->writeRows({&impl_->position, 1});
}

void Recordset::updateBatch() {
  impl_->requireUpdatable();
  impl_->writeRows(impl_->pendingRows());
}

}  // namespace platform::db
