// Opening the data source: the embedded SQLite file beside the program, or an
// ODBC data source of the same name; transactions on the connection.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include "DbTestSupport.h"
#include "platform/Database.h"

namespace platform::db {
namespace {

using test::errorNumberOf;
using std::filesystem::exists;

// The program's folder is a scratch folder; unixODBC knows only the user
// data sources written to `odbc.ini` in it (none unless a test adds one).
class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() : env_(folder_.path()) {
    std::ofstream(folder_.path("odbc.ini")) << "";
    setenv("ODBCINI", folder_.path("odbc.ini").c_str(), 1);
  }
  ~ConnectionTest() override { unsetenv("ODBCINI"); }

  std::string databaseFile() const { return folder_.path("Pelagor.db"); }

  void openPelagor(Connection& conn) {
    conn.setConnectionString("Data Source=Pelagor");
    conn.open();
  }

  test::TempFolder folder_;
  test::ProgramInFolderEnv env_;
};

TEST_F(ConnectionTest, CreatesTheMissingDatabaseBesideTheProgramWithItsFiveTables) {
  ASSERT_FALSE(exists(databaseFile()));
  Connection conn;
  openPelagor(conn);
  EXPECT_TRUE(conn.isOpen());
  EXPECT_EQ(conn.engine(), "sqlite3");
  EXPECT_TRUE(exists(databaseFile()));

  const std::map<std::string, std::vector<std::string>> tables{
      {"Node", {"SerialNo", "Name", "ServerType", "DefaultCodec"}},
      {"OctelNode", {"SerialNo", "PhoneNo", "Ext", "DialingSequence"}},
      {"VPIMNode", {"SerialNo", "DomainName", "ProxyDomain"}},
      {"DeliveryWindow", {"WindowID", "MessageType", "SerialNo", "BeginTime", "EndTime", "Interval"}},
      {"Directory", {"SerialNo", "Extension", "Name"}},
  };
  for (const auto& [table, columns] : tables) {
    Recordset rs;
    rs.open("SELECT * FROM " + table, conn, CursorType::Static, LockType::ReadOnly);
    EXPECT_EQ(rs.recordCount(), 0) << table;
    ASSERT_EQ(rs.fieldCount(), static_cast<int>(columns.size())) << table;
    for (size_t i = 0; i < columns.size(); ++i) EXPECT_EQ(rs.fieldName(static_cast<int>(i)), columns[i]);
  }
}

TEST_F(ConnectionTest, KeepsAnExistingDatabase) {
  {
    Connection conn;
    openPelagor(conn);
    conn.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES (?, ?, ?)",
                 {std::string("0001"), std::string("Kept"), int16_t{1}});
  }
  Connection conn;
  openPelagor(conn);
  Recordset rs;
  rs.open("SELECT * FROM Node", conn, CursorType::Static, LockType::ReadOnly);
  ASSERT_EQ(rs.recordCount(), 1);
  EXPECT_EQ(rs.field("SerialNo"), Value(std::string("0001")));
}

TEST_F(ConnectionTest, AnOdbcDataSourceOfThatNameWinsOverTheFile) {
  std::ofstream(folder_.path("odbc.ini")) << "[PELAGOR]\nDriver=" << folder_.path("no-such-driver.so") << "\n";
  Connection conn;
  conn.setConnectionString("Data Source=Pelagor");
  EXPECT_EQ(errorNumberOf([&] { conn.open(); }), platform::err::kDatabase);
  EXPECT_FALSE(conn.isOpen());
  EXPECT_FALSE(exists(databaseFile()));
}

TEST_F(ConnectionTest, OpenFailuresAreErrors) {
  Connection conn;
  EXPECT_EQ(errorNumberOf([&] { conn.execute("DELETE FROM Node"); }), err::kConnectionUnusable);
  EXPECT_EQ(errorNumberOf([&] { conn.beginTrans(); }), err::kConnectionUnusable);
  Recordset rs;
  EXPECT_EQ(errorNumberOf([&] { rs.open("SELECT * FROM Node", conn, CursorType::Static, LockType::ReadOnly); }),
            err::kConnectionUnusable);

  conn.setConnectionString("Provider=Nothing");
  EXPECT_EQ(errorNumberOf([&] { conn.open(); }), platform::err::kDatabase);
  EXPECT_EQ(errorNumberOf([&] { conn.openSqliteFile(folder_.path("missing/Pelagor.db")); }),
            platform::err::kDatabase);
  EXPECT_FALSE(conn.isOpen());

  openPelagor(conn);
  EXPECT_EQ(errorNumberOf([&] { conn.open(); }), err::kObjectOpen);
  EXPECT_EQ(errorNumberOf([&] { conn.execute("SELEKT nothing"); }), platform::err::kDatabase);
}

TEST_F(ConnectionTest, TransactionsDoNotNest) {
  Connection conn;
  openPelagor(conn);
  EXPECT_EQ(errorNumberOf([&] { conn.commitTrans(); }), platform::err::kDatabase);
  EXPECT_EQ(errorNumberOf([&] { conn.rollbackTrans(); }), platform::err::kDatabase);
  conn.beginTrans();
  EXPECT_TRUE(conn.inTransaction());
  EXPECT_EQ(errorNumberOf([&] { conn.beginTrans(); }), platform::err::kDatabase);
  conn.rollbackTrans();
  EXPECT_FALSE(conn.inTransaction());
}

TEST_F(ConnectionTest, RunsWithAWriteAheadLog) {
  Connection conn;
  openPelagor(conn);
  conn.execute("INSERT INTO Directory (SerialNo) VALUES (?)", {std::string("1")});
  EXPECT_TRUE(exists(databaseFile() + "-wal"));
}

TEST_F(ConnectionTest, ASecondWriterWaitsForTheFirstInsteadOfFailing) {
  Connection first;
  Connection second;
  openPelagor(first);
  openPelagor(second);
  first.beginTrans();
  first.execute("INSERT INTO Directory (SerialNo) VALUES (?)", {std::string("1")});
  std::thread finisher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first.commitTrans();
  });
  int32_t failure = errorNumberOf([&] { second.execute("INSERT INTO Directory (SerialNo) VALUES (?)", {std::string("2")}); });
  finisher.join();
  EXPECT_EQ(failure, 0);
  Recordset rs;
  rs.open("SELECT * FROM Directory", second, CursorType::Static, LockType::ReadOnly);
  EXPECT_EQ(rs.recordCount(), 2);
}

}  // namespace
}  // namespace platform::db
