#include "Engines.h"

#include <odbcinst.h>
#include <pwd.h>
#include <soci/odbc/soci-odbc.h>
#include <soci/sqlite3/soci-sqlite3.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>

#include "Sql.h"
#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/Paths.h"

namespace platform::db {

namespace {

// A server that accepts and never answers fails the connection after this;
// a statement the server does not finish fails after the query timeout.
constexpr SQLULEN kLoginTimeoutSeconds = 10;
constexpr SQLULEN kQueryTimeoutSeconds = 30;

// MariaDB's driver: how its library's file name starts, and its OPTION flag
// for UPDATE counts that count the rows matched, not only those changed.
constexpr const char* kMariaDbLibraryPrefix = "libmaodbc";
constexpr unsigned long kMariaDbFoundRows = 2;

// PostgreSQL's driver (psqlODBC): how its library's file name starts, and
// its connection attribute that switches UseDeclareFetch at run time
// (SQL_ATTR_PGOPT_USE_DECLAREFETCH).
constexpr const char* kPsqlOdbcLibraryPrefix = "psqlodbc";
constexpr SQLINTEGER kPsqlOdbcDeclareFetch = 65539;

// Rows psqlODBC fetches at a time from a cursor.
constexpr const char* kPsqlOdbcFetchRows = "500";

// An ODBC handle, freed on every way out; null when it could not be had.
class OdbcHandle {
 public:
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
  }
  ~OdbcHandle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  SQLHANDLE get() const { return handle_; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// An ODBC 3 environment; fails with Error(kDatabase) when there is none.
class OdbcEnvironment : public OdbcHandle {
 public:
  OdbcEnvironment() : OdbcHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    if (get() == SQL_NULL_HANDLE) throw Error::database(DatabaseFailure::NoDriverManager);
    SQLSetEnvAttr(get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
};

// Where unixODBC looks, as it looks there: $ODBCINI or the user's home
// folder (from the password file), and $ODBCSYSINI or /etc.
std::string userDataSources() {
  const char* configured = std::getenv("ODBCINI");
  if (configured != nullptr && *configured != '\0') return configured;
  const passwd* user = getpwuid(getuid());
  return joinPath(user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/home", ".odbc.ini");
}

std::string systemFolder() {
  const char* configured = std::getenv("ODBCSYSINI");
  return configured != nullptr ? configured : "/etc";
}

std::string driverRegistry() {
  const char* configured = std::getenv("ODBCINSTINI");
  return joinPath(systemFolder(), configured != nullptr ? configured : "odbcinst.ini");
}

// A missing file is fine; one that exists and cannot be opened is not.
void requireReadableWhereItExists(const std::string& path) {
  try {
    env()->openTextFile(path, IOMode::ForReading, false, TextEncoding::Cp1252)->close();
  } catch (const Error& e) {
    if (e.number() == platform::err::kFileNotFound) return;
    throw Error::database(DatabaseFailure::UnreadableOdbcFile, path + ": " + e.description());
  }
}

// Every diagnostic record of `handle`, on one line.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string text;
  SQLCHAR state[SQL_SQLSTATE_SIZE + 1];
  SQLCHAR message[SQL_MAX_MESSAGE_LENGTH + 1];
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  for (SQLSMALLINT record = 1;
       SQL_SUCCEEDED(SQLGetDiagRec(type, handle, record, state, &native, message, sizeof message, &length)); ++record) {
    text += (text.empty() ? "" : " ") + sql::onOneLine(reinterpret_cast<const char*>(message));
  }
  return text;
}

std::string infoText(SQLHDBC connection, SQLUSMALLINT item) {
  SQLCHAR text[256] = "";
  SQLSMALLINT length = 0;
  SQLGetInfo(connection, item, text, sizeof text, &length);
  return reinterpret_cast<const char*>(text);
}

sql::NameRules nameRules(SQLHDBC connection) {
  SQLUSMALLINT folding = SQL_IC_MIXED;
  SQLSMALLINT length = 0;
  SQLGetInfo(connection, SQL_IDENTIFIER_CASE, &folding, sizeof folding, &length);
  return {infoText(connection, SQL_IDENTIFIER_QUOTE_CHAR), folding == SQL_IC_LOWER   ? sql::NameCase::Lower
                                                           : folding == SQL_IC_UPPER ? sql::NameCase::Upper
                                                                                     : sql::NameCase::AsWritten};
}

// A setting of a data source or of the driver registry ("odbc.ini" or
// "odbcinst.ini"), keys compared without regard to case; "" when unset.
std::string profileSetting(const std::string& section, const std::string& key, const char* file) {
  char value[1024] = "";
  SQLGetPrivateProfileString(section.c_str(), key.c_str(), "", value, sizeof value, file);
  return value;
}

// The driver library of `source`: its Driver setting, a path or a name in
// the driver registry.
std::string driverLibrary(const OdbcDataSource& source) {
  if (source.driver.find('/') != std::string::npos) return source.driver;
  return profileSetting(source.driver, "Driver", "odbcinst.ini");
}

// A driver setting the layer relies on: its key and the value it gets
// unless the data source sets that key itself.
struct DriverSetting {
  const char* key;
  std::string value;
};

std::string settingsUnlessSet(const OdbcDataSource& source, const std::vector<DriverSetting>& settings) {
  std::string text;
  for (const auto& [key, value] : settings) {
    if (profileSetting(source.name, key, "odbc.ini").empty()) text += ";" + std::string(key) + "=" + value;
  }
  return text;
}

// MariaDB's driver (used for MySQL servers too): FOUND_ROWS added to its
// OPTION flags, so that rewriting a row with the values it holds counts as
// one row written and not as a row changed underneath; CONN_TIMEOUT and
// READ_TIMEOUT, as it ignores the login and query timeouts (a statement the
// server leaves unanswered fails, and the connection with it); and CHARSET,
// as it would take the locale's character set for the program's UTF-8 text.
std::string mariaDbSettings(const OdbcDataSource& source) {
  std::string flags = profileSetting(source.name, "OPTION", "odbc.ini");
  if (flags.empty()) flags = profileSetting(source.name, "OPTIONS", "odbc.ini");
  unsigned long options = std::strtoul(flags.c_str(), nullptr, 0);
  std::string settings;
  if ((options & kMariaDbFoundRows) == 0) settings += ";OPTION=" + std::to_string(options | kMariaDbFoundRows);
  return settings + settingsUnlessSet(source, {{"CONN_TIMEOUT", std::to_string(kLoginTimeoutSeconds)},
                                               {"READ_TIMEOUT", std::to_string(kQueryTimeoutSeconds)},
                                               {"CHARSET", "utf8mb4"}});
}

// psqlODBC: Protocol 7.4-1 rolls back the transaction on a failed statement
// (the layer's callers roll back on any failure anyway) instead of wrapping
// each statement in a savepoint of its own, a round trip more each, whose
// release would also release every savepoint the program set in between.
// A connection for an outer transaction takes 7.4-0 whatever the data source
// says: a failed statement then undoes nothing by itself, and the program's
// roll-back to its savepoint keeps the outer transaction's earlier work.
// UseDeclareFetch reads a long result through a cursor, Fetch rows at a
// time, instead of holding all of it. The driver's server-side prepare
// stays on, so values still reach the server as bound parameters.
std::string psqlOdbcSettings(const OdbcDataSource& source, bool forOuterTransaction) {
  std::string protocol = forOuterTransaction ? ";Protocol=7.4-0" : settingsUnlessSet(source, {{"Protocol", "7.4-1"}});
  return protocol + settingsUnlessSet(source, {{"UseDeclareFetch", "1"}, {"Fetch", kPsqlOdbcFetchRows}});
}

// "DSN=<name>" and the settings the layer needs of the source's driver.
std::string odbcConnectString(const OdbcDataSource& source, bool forOuterTransaction) {
  std::string library = driverLibrary(source);
  std::string file = library.substr(library.rfind('/') + 1);
  std::string text = "DSN=" + source.name;
  if (file.starts_with(kMariaDbLibraryPrefix)) text += mariaDbSettings(source);
  if (file.starts_with(kPsqlOdbcLibraryPrefix)) text += psqlOdbcSettings(source, forOuterTransaction);
  return text;
}

SQLHDBC connectionHandle(soci::session& session) {
  return static_cast<soci::odbc_session_backend*>(session.get_backend())->hdbc_;
}

}  // namespace

std::optional<OdbcDataSource> findOdbcDataSource(const std::string& name) {
  requireReadableWhereItExists(userDataSources());
  requireReadableWhereItExists(joinPath(systemFolder(), "odbc.ini"));
  OdbcEnvironment environment;
  SQLCHAR dsn[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR driver[1024];
  SQLSMALLINT dsnLength = 0;
  SQLSMALLINT driverLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  // unixODBC gives the driver a data source names as its description.
  while (SQL_SUCCEEDED(SQLDataSources(environment.get(), direction, dsn, sizeof dsn, &dsnLength, driver, sizeof driver,
                                      &driverLength))) {
    std::string candidate(reinterpret_cast<const char*>(dsn));
    if (sql::equalsIgnoreCase(candidate, name)) {
      requireReadableWhereItExists(driverRegistry());
      return OdbcDataSource{candidate, reinterpret_cast<const char*>(driver)};
    }
    direction = SQL_FETCH_NEXT;
  }
  return std::nullopt;
}

OdbcDriverInfo checkOdbcConnection(const OdbcDataSource& source) {
  OdbcEnvironment environment;
  OdbcHandle connection(SQL_HANDLE_DBC, environment.get());
  SQLSetConnectAttr(connection.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
  std::string text = odbcConnectString(source, false);
  SQLRETURN connected = SQLDriverConnect(connection.get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                         nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(connected)) {
    std::string message = diagnostics(SQL_HANDLE_DBC, connection.get());
    throw message.empty() ? Error::database(DatabaseFailure::DataSourceRefused, source.name)
                          : Error(platform::err::kDatabase, message);
  }
  OdbcDriverInfo info{infoText(connection.get(), SQL_DRIVER_NAME) + " " + infoText(connection.get(), SQL_DRIVER_VER),
                      nameRules(connection.get())};
  SQLDisconnect(connection.get());
  return info;
}

soci::connection_parameters odbcParameters(const OdbcDataSource& source, bool forOuterTransaction) {
  soci::connection_parameters parameters(soci::odbc, odbcConnectString(source, forOuterTransaction));
  parameters.set_option(soci::odbc_option_driver_complete, std::to_string(SQL_DRIVER_NOPROMPT));
  return parameters;
}

// A URI file name (sql::sqliteConnectString): Debian's SQLite is built to
// read them (SQLITE_USE_URI).
soci::connection_parameters sqliteParameters(const std::string& path) {
  return soci::connection_parameters(soci::sqlite3, sql::sqliteConnectString(path));
}

void limitQueryTime(soci::session& session, soci::statement& statement) {
  if (session.get_backend_name() != "odbc") return;
  auto* backend = static_cast<soci::odbc_statement_backend*>(statement.get_backend());
  SQLSetStmtAttr(backend->hstmt_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(kQueryTimeoutSeconds), 0);
}

std::optional<bool> psqlOdbcFetchesInBlocks(soci::session& session) {
  if (session.get_backend_name() != "odbc") return std::nullopt;
  if (!infoText(connectionHandle(session), SQL_DRIVER_NAME).starts_with(kPsqlOdbcLibraryPrefix)) return std::nullopt;
  SQLULEN on = 0;
  if (!SQL_SUCCEEDED(SQLGetConnectAttr(connectionHandle(session), kPsqlOdbcDeclareFetch, &on, sizeof on, nullptr))) {
    return std::nullopt;
  }
  return on != 0;
}

void psqlOdbcFetchInBlocks(soci::session& session, bool on) {
  SQLSetConnectAttr(connectionHandle(session), kPsqlOdbcDeclareFetch, reinterpret_cast<SQLPOINTER>(on ? 1 : 0), 0);
}

bool sqliteTransactionActive(soci::session& session) {
  auto* backend = static_cast<soci::sqlite3_session_backend*>(session.get_backend());
  return sqlite3_get_autocommit(backend->conn_) == 0;
}

}  // namespace platform::db
