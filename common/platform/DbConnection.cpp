#include "DbConnection.h"

#include <soci/sqlite3/soci-sqlite3.h>
#include <sqlite3.h>

#include "DbSchema.h"
#include "DbSql.h"

namespace platform::db {

namespace {

constexpr const char* kBusyTimeoutMs = "10000";

// Every added node commits a handful of pages of several tables; small pages
// keep what each commit writes small. It takes effect only on a new file.
constexpr const char* kNewFilePageSize = "1024";
constexpr const char* kSavepoint = "tarnwick_write";

// Enough prepared statements for every insert and update the program makes;
// past this the cache starts afresh, so odd statement texts cannot pile up.
constexpr size_t kMaxKeptStatements = 256;

// Prepared statements are kept per statement text and kinds of bound values.
std::string statementKey(const std::string& sql, const std::vector<Value>& params) {
  return BoundParams::signature(params) + '\n' + sql;
}

void runQuietly(const std::function<void()>& cleanup) {
  try {
    cleanup();
  } catch (const std::exception&) {
    // The failure that led here is the one to report.
  }
}

}  // namespace

void Connection::Impl::openSqlite(const std::string& path) {
  translatingDriverErrors([&] {
    // A URI file name: Debian's SQLite is built to read them (SQLITE_USE_URI).
    session.open(soci::sqlite3, sql::sqliteConnectString(path));
    try {
      applySqlitePragmas();
      createSchemaIfEmpty();
    } catch (...) {
      session.close();
      throw;
    }
    engine = "sqlite3";
    dataSource = "embedded database " + path;
  });
}

void Connection::Impl::openOdbc(const OdbcDataSource& source) {
  std::string driver = checkOdbcConnection(source);
  translatingDriverErrors([&] { session.open(odbcParameters(source)); });
  engine = "odbc";
  dataSource = "ODBC data source " + source.name + ", driver " + source.driver + " (" + driver + ")";
}

// WAL lets readers and one writer work side by side; with synchronous NORMAL
// a committed add survives a crash of the program (a power cut may lose the
// last commits, never half of one); the busy timeout makes parallel runs
// wait for each other instead of failing.
void Connection::Impl::applySqlitePragmas() {
  std::string journalMode;
  session << std::string("PRAGMA busy_timeout = ") + kBusyTimeoutMs;
  session << std::string("PRAGMA page_size = ") + kNewFilePageSize;
  session << "PRAGMA journal_mode = WAL", soci::into(journalMode);
  session << "PRAGMA synchronous = NORMAL";
}

// A new file gets its tables in one immediate transaction: a run that dies
// half-way leaves no tables, and the next run creates them again; two runs
// starting together create them once.
void Connection::Impl::createSchemaIfEmpty() {
  if (hasTables()) return;  // the usual case takes no write lock
  session << "BEGIN IMMEDIATE";
  try {
    if (!hasTables()) runScript(schemaScript());
    session << "COMMIT";
  } catch (...) {
    runQuietly([&] { session << "ROLLBACK"; });
    throw;
  }
}

bool Connection::Impl::hasTables() {
  int tables = 0;
  session << "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'", soci::into(tables);
  return tables > 0;
}

void Connection::Impl::runScript(const std::string& script) {
  for (const auto& statement : sql::splitScript(script)) session << statement;
}

void Connection::Impl::requireOpen() const {
  if (engine.empty()) throw layerError(err::kConnectionUnusable);
}

int64_t Connection::Impl::run(const std::string& sql, const std::vector<Value>& params, bool keepPrepared) {
  requireOpen();
  return translatingDriverErrors([&]() -> int64_t {
    if (!keepPrepared) return PreparedStatement(session, sql, params).run(params);
    std::string key = statementKey(sql, params);
    try {
      return prepared(key, sql, params).run(params);
    } catch (...) {
      statements_.erase(key);
      throw;
    }
  });
}

PreparedStatement& Connection::Impl::prepared(const std::string& key, const std::string& sql,
                                              const std::vector<Value>& params) {
  auto found = statements_.find(key);
  if (found != statements_.end()) return *found->second;
  if (statements_.size() >= kMaxKeptStatements) statements_.clear();
  auto statement = std::make_unique<PreparedStatement>(session, sql, params);
  return *statements_.emplace(key, std::move(statement)).first->second;
}

std::unique_ptr<RowQuery> Connection::Impl::query(const std::string& sql, const std::vector<Value>& params) {
  requireOpen();
  auto finished = finishedQueries_.find(statementKey(sql, params));
  if (finished != finishedQueries_.end()) {
    std::unique_ptr<RowQuery> reused = std::move(finished->second);
    finishedQueries_.erase(finished);
    reused->restart(params);
    return reused;
  }
  return translatingDriverErrors([&] { return std::make_unique<RowQuery>(session, sql, params); });
}

void Connection::Impl::recycle(const std::string& sql, const std::vector<Value>& params,
                               std::unique_ptr<RowQuery> finished) {
  if (finishedQueries_.size() >= kMaxKeptStatements) finishedQueries_.clear();
  finishedQueries_[statementKey(sql, params)] = std::move(finished);
}

// SQLite starts every transaction as a writer (BEGIN IMMEDIATE), so a
// transaction never fails half-way for want of the write lock: it waits up
// to the busy timeout at its start instead.
void Connection::Impl::begin() {
  requireOpen();
  if (inTransaction) throw Error(platform::err::kDatabase, "Only one transaction can be active on this session.");
  transactionStep("BEGIN IMMEDIATE", &soci::session::begin);
  inTransaction = true;
}

void Connection::Impl::commit() {
  requireTransaction();
  transactionStep("COMMIT", &soci::session::commit);
  inTransaction = false;
}

void Connection::Impl::rollback() {
  requireTransaction();
  inTransaction = false;
  if (engine == "sqlite3" && !sqliteTransactionActive()) return;
  transactionStep("ROLLBACK", &soci::session::rollback);
}

// SQLite runs the statement; over ODBC the session switches auto-commit.
void Connection::Impl::transactionStep(const std::string& sqliteStatement, void (soci::session::*odbcStep)()) {
  if (engine == "sqlite3") {
    run(sqliteStatement, {}, true);
  } else {
    translatingDriverErrors([&] { (session.*odbcStep)(); });
  }
}

void Connection::Impl::requireTransaction() const {
  requireOpen();
  if (!inTransaction) throw Error(platform::err::kDatabase, "No transaction is active.");
}

// SQLite ends a transaction by itself after some failures (a full disk, for
// one); a roll-back then has nothing left to undo.
bool Connection::Impl::sqliteTransactionActive() {
  auto* backend = static_cast<soci::sqlite3_session_backend*>(session.get_backend());
  return sqlite3_get_autocommit(backend->conn_) == 0;
}

void Connection::Impl::writeAtomically(const std::function<void()>& write) {
  if (!inTransaction) {
    writeInOwnTransaction(write);
  } else if (engine == "sqlite3") {
    writeUnderSavepoint(write);
  } else {
    // ODBC drivers may wrap every statement in savepoints of their own whose
    // release drops ours (psqlODBC does); the caller's roll-back undoes a
    // failed write instead.
    write();
  }
}

void Connection::Impl::writeInOwnTransaction(const std::function<void()>& write) {
  begin();
  try {
    write();
    commit();
  } catch (...) {
    runQuietly([&] { rollback(); });
    throw;
  }
}

void Connection::Impl::writeUnderSavepoint(const std::function<void()>& write) {
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

namespace {

const char* layerErrorText(int32_t number) {
  switch (number) {
    case err::kBadArguments:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
    case err::kNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
             "current record.";
    case err::kNotUpdatable:
      return "Current Recordset does not support updating. This may be a limitation of the provider, or of the "
             "selected locktype.";
    case err::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case err::kObjectClosed: return "Operation is not allowed when the object is closed.";
    case err::kObjectOpen: return "Operation is not allowed when the object is open.";
    default:
      return "The connection cannot be used to perform this operation. It is either closed or invalid in this "
             "context.";
  }
}

}  // namespace

Error layerError(int32_t number) { return Error(number, layerErrorText(number)); }

}  // namespace platform::db
