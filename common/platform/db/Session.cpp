#include "Session.h"

#include "Sql.h"
#include "platform/Error.h"

namespace platform::db {

namespace {

constexpr const char* kBusyTimeoutMs = "10000";

// Every added node commits a handful of pages of several tables; small pages
// keep what each commit writes small. It takes effect only on a new file.
constexpr const char* kNewFilePageSize = "1024";
constexpr const char* kSavepoint = "tarnwick_write";
// What stands for a transaction inside the outer one.
constexpr const char* kTransactionSavepoint = "tarnwick_transaction";

// Enough prepared statements for every insert and update the program makes;
// past this the cache starts afresh, so odd statement texts cannot pile up.
constexpr size_t kMaxKeptStatements = 256;

void runQuietly(const std::function<void()>& cleanup) {
  try {
    cleanup();
  } catch (const std::exception&) {
    // The failure that led here is the one to report.
  }
}

}  // namespace

void Session::openSqlite(const std::string& path, const std::string& newDatabaseSchema) {
  translatingDriverErrors([&] {
    session_.open(sqliteParameters(path));
    try {
      applySqlitePragmas();
      createSchemaIfEmpty(newDatabaseSchema);
    } catch (...) {
      session_.close();
      throw;
    }
    engine_ = "sqlite3";
    dataSource_ = "embedded database " + path;
    nameRules_ = sql::NameRules();
  });
}

void Session::openOdbc(const OdbcDataSource& source, bool forOuterTransaction) {
  OdbcDriverInfo driver = checkOdbcConnection(source);
  translatingDriverErrors([&] { session_.open(odbcParameters(source, forOuterTransaction)); });
  engine_ = "odbc";
  dataSource_ = "ODBC data source " + source.name + ", driver " + source.driver + " (" + driver.description + ")";
  nameRules_ = driver.names;
  blocksConfigured_ = psqlOdbcFetchesInBlocks(session_);
  inBlocks_ = blocksConfigured_.value_or(false);
}

// WAL lets readers and one writer work side by side; with synchronous NORMAL
// a committed add survives a crash of the program (a power cut may lose the
// last commits, never half of one); the busy timeout makes parallel runs
// wait for each other instead of failing.
void Session::applySqlitePragmas() {
  std::string journalMode;
  session_ << std::string("PRAGMA busy_timeout = ") + kBusyTimeoutMs;
  session_ << std::string("PRAGMA page_size = ") + kNewFilePageSize;
  session_ << "PRAGMA journal_mode = WAL", soci::into(journalMode);
  session_ << "PRAGMA synchronous = NORMAL";
}

// A new file gets its tables in one immediate transaction: a run that dies
// half-way leaves no tables, and the next run creates them again; two runs
// starting together create them once.
void Session::createSchemaIfEmpty(const std::string& schema) {
  if (hasTables()) return;  // the usual case takes no write lock
  session_ << "BEGIN IMMEDIATE";
  try {
    if (!hasTables()) runScript(schema);
    session_ << "COMMIT";
  } catch (...) {
    runQuietly([&] { session_ << "ROLLBACK"; });
    throw;
  }
}

bool Session::hasTables() {
  int tables = 0;
  session_ << "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'", soci::into(tables);
  return tables > 0;
}

void Session::runScript(const std::string& script) {
  for (const auto& statement : sql::splitScript(script)) session_ << statement;
}

void Session::requireOpen() const {
  if (engine_.empty()) raise(err::kConnectionUnusable);
}

int64_t Session::run(const std::string& sql, const std::vector<Value>& params, bool keepPrepared) {
  requireOpen();
  requireTransactionStillOpen();
  if (!keepPrepared) {
    return translatingDriverErrors([&] { return PreparedStatement(session_, sql, params).run(params); });
  }
  return runKept(statements_, statementKey(sql, params), params, [&] { return sql; });
}

int64_t Session::insert(const InsertShape& shape, const std::vector<Value>& values) {
  requireOpen();
  requireTransactionStillOpen();
  return runKept(inserts_, insertKey(shape, values), values, [&] { return insertStatement(shape); });
}

// Prepared statements are kept per statement text and kinds of bound values.
// The key is built in a buffer kept from call to call.
const std::string& Session::statementKey(const std::string& sql, const std::vector<Value>& params) {
  std::string& key = keyBuffer_;
  key.clear();
  for (const auto& value : params) key += BoundParams::kindOf(value);
  key += '\n';
  key += sql;
  return key;
}

// The key of the INSERT kept for `shape` with `values`: its table, its
// columns (each with its spelling and length) and, cell after cell, the kind
// of value bound there or '-' where the column takes its default. Built in
// the same buffer.
const std::string& Session::insertKey(const InsertShape& shape, const std::vector<Value>& values) {
  std::string& key = keyBuffer_;
  key.assign(shape.table);
  for (const auto* column : shape.columns) {
    const auto length = static_cast<uint32_t>(column->name.size());
    key += column->spelledByEngine ? 'e' : 'g';
    key.append(reinterpret_cast<const char*>(&length), sizeof length);  // no name can end early
    key += column->name;
  }
  key += '|';
  size_t next = 0;
  for (bool given : shape.given) key += given ? BoundParams::kindOf(values[next++]) : '-';
  return key;
}

// Its text: "?" for each value given, the column's default for each other.
std::string Session::insertStatement(const InsertShape& shape) {
  std::vector<std::string> columns;
  for (const auto* column : shape.columns) columns.push_back(sql::quotedName(*column, nameRules_));
  std::vector<std::string> defaults(columns.size());
  for (size_t i = 0; i < shape.given.size(); ++i) {
    std::string& fallback = defaults[i % columns.size()];
    if (!shape.given[i] && fallback.empty()) fallback = defaultOf(shape.table, *shape.columns[i % columns.size()]);
  }
  return sql::insertStatement(shape.table, columns, shape.given, defaults);
}

// Runs the statement kept under `key`, prepared from `sql()` on its first
// use; one that fails is dropped, so its next use prepares it afresh.
int64_t Session::runKept(KeptStatements& kept, const std::string& key, const std::vector<Value>& params,
                         const std::function<std::string()>& sql) {
  return translatingDriverErrors([&]() -> int64_t {
    auto found = kept.find(key);
    if (found == kept.end()) {
      std::string newKey = key;  // before sql() runs: `key` may be a buffer that later keys reuse
      auto statement = std::make_unique<PreparedStatement>(session_, sql(), params);
      if (kept.size() >= kMaxKeptStatements) kept.clear();
      found = kept.emplace(std::move(newKey), std::move(statement)).first;
    }
    try {
      return found->second->run(params);
    } catch (...) {
      kept.erase(found);
      throw;
    }
  });
}

// What stands for a column's default among the values of a row: the word
// DEFAULT on a server; SQLite has no such word, so there the default the
// table declares for the column, or NULL when it declares none.
std::string Session::defaultOf(const std::string& table, const sql::ColumnName& column) {
  if (engine_ != "sqlite3") return "DEFAULT";
  RowQuery declared(session_, "SELECT name, dflt_value FROM pragma_table_info(?)", {table});
  for (std::vector<Value> row; declared.next(row);) {
    if (sql::equalsIgnoreCase(toText(row[0]), column.name) && !isNull(row[1])) return "(" + toText(row[1]) + ")";
  }
  return "NULL";
}

std::unique_ptr<RowQuery> Session::query(const std::string& sql, const std::vector<Value>& params, bool walked) {
  requireOpen();
  if (blocksConfigured_ && inBlocks_ != (walked && *blocksConfigured_)) {
    inBlocks_ = !inBlocks_;
    psqlOdbcFetchInBlocks(session_, inBlocks_);
  }
  auto finished = finishedQueries_.find(statementKey(sql, params));
  if (finished != finishedQueries_.end()) {
    std::unique_ptr<RowQuery> reused = std::move(finished->second);
    finishedQueries_.erase(finished);
    reused->restart(params);
    return reused;
  }
  return translatingDriverErrors([&] { return std::make_unique<RowQuery>(session_, sql, params); });
}

void Session::recycle(const std::string& sql, const std::vector<Value>& params, std::unique_ptr<RowQuery> finished) {
  if (finishedQueries_.size() >= kMaxKeptStatements) finishedQueries_.clear();
  finishedQueries_[statementKey(sql, params)] = std::move(finished);
}

const sql::StatementForm& Session::statementForm(const std::string& sql) {
  auto known = statementForms_.find(sql);
  if (known != statementForms_.end()) return known->second;
  if (statementForms_.size() >= kMaxKeptStatements) statementForms_.clear();
  return statementForms_.emplace(sql, sql::statementForm(sql)).first->second;
}

// SQLite starts every transaction as a writer (BEGIN IMMEDIATE), so a
// transaction never fails half-way for want of the write lock: it waits up
// to the busy timeout at its start instead. Inside the outer transaction a
// savepoint stands for it.
void Session::begin() {
  requireOpen();
  if (inTransaction_) throw Error::database(DatabaseFailure::TransactionActive);
  if (inOuterTransaction_) {
    run(std::string("SAVEPOINT ") + kTransactionSavepoint, {}, true);
  } else {
    transactionStep("BEGIN IMMEDIATE", &soci::session::begin);
  }
  inTransaction_ = true;
}

void Session::commit() {
  requireTransaction();
  if (inOuterTransaction_) {
    run(std::string("RELEASE SAVEPOINT ") + kTransactionSavepoint, {}, true);
  } else {
    transactionStep("COMMIT", &soci::session::commit);
  }
  inTransaction_ = false;
}

void Session::rollback() {
  requireTransaction();
  inTransaction_ = false;
  if (inOuterTransaction_) {
    run(std::string("ROLLBACK TO SAVEPOINT ") + kTransactionSavepoint, {}, true);
    run(std::string("RELEASE SAVEPOINT ") + kTransactionSavepoint, {}, true);
    return;
  }
  // SQLite ends a transaction by itself after some failures (a full disk,
  // for one); a roll-back then has nothing left to undo.
  if (engine_ == "sqlite3" && !sqliteTransactionActive(session_)) return;
  transactionStep("ROLLBACK", &soci::session::rollback);
}

void Session::beginOuter() {
  requireOpen();
  if (inTransaction_ || inOuterTransaction_) throw Error::database(DatabaseFailure::TransactionActive);
  transactionStep("BEGIN IMMEDIATE", &soci::session::begin);
  inOuterTransaction_ = true;
}

void Session::rollbackOuter() {
  requireOpen();
  if (!inOuterTransaction_) throw Error::database(DatabaseFailure::NoTransaction);
  inOuterTransaction_ = false;
  inTransaction_ = false;
  if (engine_ == "sqlite3" && !sqliteTransactionActive(session_)) return;
  transactionStep("ROLLBACK", &soci::session::rollback);
}

// Once SQLite has ended a transaction by itself (a full disk, for one), a
// statement would run outside it and store what it writes at once, half a
// node, or a dry run's lines (a savepoint released then even commits).
void Session::requireTransactionStillOpen() {
  if ((inTransaction_ || inOuterTransaction_) && engine_ == "sqlite3" && !sqliteTransactionActive(session_)) {
    throw Error::database(DatabaseFailure::TransactionEnded);
  }
}

// SQLite runs the statement; over ODBC the session switches auto-commit.
void Session::transactionStep(const std::string& sqliteStatement, void (soci::session::*odbcStep)()) {
  if (engine_ == "sqlite3") {
    run(sqliteStatement, {}, true);
  } else {
    translatingDriverErrors([&] { (session_.*odbcStep)(); });
  }
}

void Session::requireTransaction() const {
  requireOpen();
  if (!inTransaction_) throw Error::database(DatabaseFailure::NoTransaction);
}

void Session::writeAtomically(const std::function<void()>& write) {
  if (!inTransaction_) {
    writeInOwnTransaction(write);
  } else if (engine_ == "sqlite3") {
    writeUnderSavepoint(write);
  } else {
    // ODBC drivers may wrap every statement in savepoints of their own whose
    // release drops ours (psqlODBC does); the caller's roll-back undoes a
    // failed write instead.
    write();
  }
}

void Session::writeInOwnTransaction(const std::function<void()>& write) {
  begin();
  try {
    write();
    commit();
  } catch (...) {
    runQuietly([&] { rollback(); });
    throw;
  }
}

void Session::writeUnderSavepoint(const std::function<void()>& write) {
  run(std::string("SAVEPOINT ") + kSavepoint, {}, true);
  try {
    write();
  } catch (...) {
    runQuietly([&] {
      run(std::string("ROLLBACK TO SAVEPOINT ") + kSavepoint, {}, true);
      run(std::string("RELEASE SAVEPOINT ") + kSavepoint, {}, true);
    });
    throw;
  }
  run(std::string("RELEASE SAVEPOINT ") + kSavepoint, {}, true);
}

}  // namespace platform::db
