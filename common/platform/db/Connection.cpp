#include "platform/db/Connection.h"

#include "Session.h"
#include "Sql.h"
#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"

namespace platform::db {

std::string embeddedDatabaseFile(const std::string& name) { return joinPath(dataFolder(), name + ".db"); }

Connection::Connection() : session_(std::make_unique<Session>()) {}
Connection::~Connection() = default;

Session& Connection::session() { return *session_; }

void Connection::setConnectionString(const std::string& text) { connectionString_ = text; }
const std::string& Connection::connectionString() const { return connectionString_; }

void Connection::open(const std::string& newDatabaseSchema, bool forOuterTransaction) {
  if (isOpen()) raise(err::kObjectOpen);
  auto name = sql::dataSourceName(connectionString_);
  if (!name) throw Error::database(DatabaseFailure::NoDataSourceNamed);
  if (auto source = findOdbcDataSource(*name)) {
    session_->openOdbc(*source, forOuterTransaction);
  } else {
    session_->openSqlite(embeddedDatabaseFile(*name), newDatabaseSchema);
  }
}

void Connection::openSqliteFile(const std::string& path, const std::string& newDatabaseSchema) {
  if (isOpen()) raise(err::kObjectOpen);
  session_->openSqlite(path, newDatabaseSchema);
}

bool Connection::isOpen() const { return session_->isOpen(); }
std::string Connection::engine() const { return session_->engine(); }
const std::string& Connection::dataSourceDescription() const { return session_->dataSource(); }

std::string Connection::quotedName(const std::string& name) const {
  return sql::quotedName(name, session_->nameRules());
}

void Connection::beginTrans() { session_->begin(); }
void Connection::commitTrans() { session_->commit(); }
void Connection::rollbackTrans() { session_->rollback(); }
bool Connection::inTransaction() const { return session_->inTransaction(); }
void Connection::beginOuterTrans() { session_->beginOuter(); }
void Connection::rollbackOuterTrans() { session_->rollbackOuter(); }

int64_t Connection::execute(const std::string& sql, const std::vector<Value>& params) {
  return session_->run(sql::withoutDeleteStar(sql), params, !params.empty());
}

}  // namespace platform::db
