// Opening the data source: the embedded SQLite file beside the program, or an
// ODBC data source of the same name; transactions on the connection.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "TestSupport.h"
#include "platform/db/Recordset.h"

namespace platform::db {
namespace {

using platform::err::kDatabase;
using platform::test::errorNumberOf;
using std::filesystem::exists;

// The program's folder is a scratch folder whose empty `odbc.ini` holds the
// user's data sources. The caller's ODBCINI comes back afterwards: later
// tests may run on it.
class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() { test::writeBytes(folder_.path("odbc.ini"), ""); }

  void openPelagor(Connection& conn) {
    conn.setConnectionString("Data Source=Pelagor");
    conn.open(schema_);
  }

  // The names of the columns of `table`, in order.
  std::vector<std::string> columnsOf(Connection& conn, const std::string& table) {
    Recordset rs;
    rs.open("SELECT * FROM " + table, conn, CursorType::Static, LockType::ReadOnly);
    std::vector<std::string> names{std::to_string(rs.recordCount())};
    for (int i = 0; i < rs.fieldCount(); ++i) names.push_back(rs.fieldName(i));
    return names;
  }
  std::string nodeCount(Connection& conn) { return columnsOf(conn, "Node").front(); }

  test::TempFolder folder_;
  test::ScopedVariable odbcIni_{"ODBCINI", folder_.path("odbc.ini")};
  test::ProgramAt program_{folder_.path("tarnwick")};
  std::string databaseFile_ = folder_.path("Pelagor.db");
  std::string schema_ = test::readBytes(PELAGOR_SCHEMA_FILE);
};

TEST_F(ConnectionTest, CreatesTheMissingDatabaseBesideTheProgramWithItsTablesAndKeepsIt) {
  ASSERT_FALSE(exists(databaseFile_));
  {
    Connection conn;
    openPelagor(conn);
    EXPECT_EQ(conn.engine(), "sqlite3");
    EXPECT_TRUE(exists(databaseFile_));
    const std::map<std::string, std::vector<std::string>> tables{
        {"Node", {"0", "SerialNo", "Name", "ServerType", "DefaultCodec"}},
        {"OctelNode", {"0", "SerialNo", "PhoneNo", "Ext", "DialingSequence"}},
        {"VPIMNode", {"0", "SerialNo", "DomainName", "ProxyDomain"}},
        {"DeliveryWindow", {"0", "WindowID", "MessageType", "SerialNo", "BeginTime", "EndTime", "interval"}},
        {"Directory", {"0", "SerialNo", "Extension", "Name"}},
    };
    for (const auto& [table, columns] : tables) EXPECT_EQ(columnsOf(conn, table), columns);
    conn.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES (?, ?, ?)",
                 {std::string("0001"), std::string("Kept"), int16_t{1}});
  }
  Connection conn;
  openPelagor(conn);
  EXPECT_EQ(nodeCount(conn), "1");
}

TEST_F(ConnectionTest, OpenFailuresAndTransactionsThatDoNotNest) {
  Connection conn;
  EXPECT_EQ(errorNumberOf([&] { conn.execute("DELETE FROM Node"); }), err::kConnectionUnusable);
  conn.setConnectionString("Provider=Nothing");
  EXPECT_EQ(errorNumberOf([&] { conn.open(schema_); }), kDatabase);
  EXPECT_EQ(errorNumberOf([&] { conn.openSqliteFile(folder_.path("missing/Pelagor.db"), schema_); }), kDatabase);

  openPelagor(conn);
  EXPECT_EQ(errorNumberOf([&] { conn.open(schema_); }), err::kObjectOpen);
  EXPECT_EQ(errorNumberOf([&] { conn.commitTrans(); }), kDatabase);
  conn.beginTrans();
  EXPECT_EQ(errorNumberOf([&] { conn.beginTrans(); }), kDatabase);
  conn.execute("INSERT INTO Node (SerialNo, ServerType) VALUES ('1', 1)");
  conn.execute("ROLLBACK");  // as SQLite ends a transaction by itself: nothing after it may commit
  EXPECT_EQ(errorNumberOf([&] { conn.execute("INSERT INTO Node (SerialNo, ServerType) VALUES ('1', 1)"); }), kDatabase);
  conn.rollbackTrans();
  EXPECT_FALSE(conn.inTransaction());
  EXPECT_EQ(nodeCount(conn), "0");

  // An outer transaction, only ever rolled back, holds the others as savepoints.
  conn.beginOuterTrans();
  conn.beginTrans();
  conn.execute("INSERT INTO Node (SerialNo, ServerType) VALUES ('2', 1)");
  conn.commitTrans();
  EXPECT_EQ(nodeCount(conn), "1");
  conn.execute("ROLLBACK");  // no savepoint may then start a transaction that its release commits
  EXPECT_EQ(errorNumberOf([&] { conn.beginTrans(); }), kDatabase);
  conn.rollbackOuterTrans();
  EXPECT_EQ(nodeCount(conn), "0");
}

TEST_F(ConnectionTest, ASecondWriterWaitsForTheFirstInsteadOfFailing) {
  Connection first;
  Connection second;
  openPelagor(first);
  openPelagor(second);
  first.beginTrans();
  first.execute("INSERT INTO Node (SerialNo, ServerType) VALUES ('1', 1)");
  std::thread finisher([&] { std::this_thread::sleep_for(std::chrono::milliseconds(300)), first.commitTrans(); });
  const int failure = errorNumberOf([&] { second.execute("INSERT INTO Node (SerialNo, ServerType) VALUES ('2', 1)"); });
  finisher.join();
  EXPECT_EQ(failure, 0);
  EXPECT_EQ(nodeCount(second), "2");
}

}  // namespace
}  // namespace platform::db
