// Transactions on an embedded database: they do not nest, none goes on once the engine has ended it by itself,
// and an outer one, only ever rolled back, holds the others as savepoints.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/db/Recordset.h"

namespace platform::db {
namespace {

using platform::err::kDatabase;
using platform::test::errorNumberOf;

TEST(ConnectionTest, TransactionsDoNotNestAndNoneGoesOnOnceTheEngineEndedIt) {
  test::TempFolder folder;
  Connection conn;
  conn.openSqliteFile(folder.path("Pelagor.db"), test::readBytes(PELAGOR_SCHEMA_FILE));
  Recordset rs;
  auto nodes = [&] {
    return rs.open("SELECT * FROM Node", conn, CursorType::Static, LockType::ReadOnly), rs.recordCount();
  };
  const std::string insert = "INSERT INTO Node (SerialNo, ServerType) VALUES ('1', 1)";
  EXPECT_EQ(errorNumberOf([&] { conn.commitTrans(); }), kDatabase);
  conn.beginTrans();
  EXPECT_EQ(errorNumberOf([&] { conn.beginTrans(); }), kDatabase);
  conn.execute(insert);
  conn.execute("ROLLBACK");  // as SQLite ends a transaction by itself: nothing after it may commit
  EXPECT_EQ(errorNumberOf([&] { conn.execute(insert); }), kDatabase);
  conn.rollbackTrans();
  EXPECT_FALSE(conn.inTransaction());
  EXPECT_EQ(nodes(), 0);

  conn.beginOuterTrans();
  conn.beginTrans();
  conn.execute(insert);
  conn.commitTrans();
  EXPECT_EQ(nodes(), 1);
  conn.execute("ROLLBACK");  // no savepoint may then start a transaction that its release commits
  EXPECT_EQ(errorNumberOf([&] { conn.beginTrans(); }), kDatabase);
  conn.rollbackOuterTrans();
  EXPECT_EQ(nodes(), 0);
}

}  // namespace
}  // namespace platform::db
