// What the record-set layer asks of unixODBC and SQLite directly, where SOCI
// offers nothing: finding a data source and checking that the configuration
// it comes from can be read, the driver settings and timeouts of a
// connection and of its statements, how the engine quotes and folds names,
// and whether SQLite still holds a transaction. Private to the layer; no
// other file of it calls the engines' own interfaces.
#pragma once

#include <soci/soci.h>

#include <optional>
#include <string>

#include "Sql.h"

namespace platform::db {

// A data source as unixODBC lists it: its name and the driver its
// configuration names (a library path or a name of the driver registry).
struct OdbcDataSource {
  std::string name;
  std::string driver;
};

// The data source of that name (compared without regard to case); nullopt
// when there is none. The files that define data sources ($ODBCINI or
// ~/.odbc.ini, and $ODBCSYSINI/odbc.ini or /etc/odbc.ini), and the driver
// registry once the name is found, must be readable where they exist:
// otherwise an Error(kDatabase) names the file, as unixODBC would silently
// skip it.
std::optional<OdbcDataSource> findOdbcDataSource(const std::string& name);

// What an ODBC connection tells about its driver and engine.
struct OdbcDriverInfo {
  std::string description;  // the driver's file name and version
  sql::NameRules names;     // the quote character and the case of unquoted names
};

// Connects once to `source` with the dialog off and a login timeout, so a
// driver that cannot be loaded, or a server that accepts and never answers,
// fails here with the driver's own message (Error kDatabase). SOCI gives no
// way to set the login timeout before it connects.
OdbcDriverInfo checkOdbcConnection(const OdbcDataSource& source);

// The SOCI connection parameters of `source`: its DSN with the settings the
// layer needs of its driver (odbcConnectString), the dialog off; with
// `forOuterTransaction`, a failed statement undoes nothing by itself.
soci::connection_parameters odbcParameters(const OdbcDataSource& source, bool forOuterTransaction);

// The SOCI connection parameters of the SQLite file at `path`.
soci::connection_parameters sqliteParameters(const std::string& path);

// Gives an ODBC statement (after alloc()) its query timeout; does nothing
// on other engines.
void limitQueryTime(soci::session& session, soci::statement& statement);

// psqlODBC reads the rows of a query through a server cursor, a block at a
// time, while its UseDeclareFetch is on: right for rows walked one by one,
// two round trips more for rows read all at once. Whether the connection of
// `session` does so now; nullopt when it is not on psqlODBC. The switch
// holds for the queries run after it.
std::optional<bool> psqlOdbcFetchesInBlocks(soci::session& session);
void psqlOdbcFetchInBlocks(soci::session& session, bool on);

// True while the SQLite connection of `session` is inside a transaction.
bool sqliteTransactionActive(soci::session& session);

}  // namespace platform::db
