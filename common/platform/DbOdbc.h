// The record-set layer's own calls into unixODBC, beside what SOCI does:
// finding a data source, checking that the configuration it comes from can
// be read, and the timeouts of a connection and its statements.
#pragma once

#include <soci/soci.h>

#include <optional>
#include <string>

namespace platform::db {

// A data source as unixODBC lists it: its name and the driver its
// configuration names (a library path or a name of the driver registry).
struct OdbcDataSource {
  std::string name;
  std::string driver;
};

// The data source of that name (compared without regard to case). The
// configuration files that define data sources ($ODBCINI or ~/.odbc.ini,
// and $ODBCSYSINI/odbc.ini or /etc/odbc.ini) must be readable where they
// exist: otherwise an Error(kDatabase) names the file, since unixODBC would
// silently skip it. nullopt when no readable file defines the name.
std::optional<OdbcDataSource> findOdbcDataSource(const std::string& name);

// Connects once to `source` with the dialog off and a login timeout, so a
// driver that cannot be loaded, or a server that accepts and never answers,
// fails here with the driver's own message (Error kDatabase). SOCI gives no
// way to set the login timeout before it connects. Returns the driver's
// file name and version.
std::string checkOdbcConnection(const OdbcDataSource& source);

// The SOCI connection parameters of `source`: its DSN, the dialog off.
soci::connection_parameters odbcParameters(const OdbcDataSource& source);

// Gives an ODBC statement (after alloc()) its query timeout; does nothing
// on other engines.
void limitQueryTime(soci::session& session, soci::statement& statement);

}  // namespace platform::db
