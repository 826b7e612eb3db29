#include "platform/DbSql.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/DbSchema.h"

namespace platform::db::sql {
namespace {

TEST(DbSqlTest, DeleteStarLosesItsStarInAnyCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"  Delete  *From OctelNode", "DELETE FROM OctelNode"},
      {"DELETE *FROMX", "DELETE *FROMX"},
      {"SELECT * FROM Node", "SELECT * FROM Node"},
  };
  for (const auto& [statement, expected] : cases) EXPECT_EQ(withoutDeleteStar(statement), expected) << statement;
}

TEST(DbSqlTest, MarkersOutsideQuotedTextAreNumbered) {
  const std::pair<std::string, std::string> cases[] = {
      {"INSERT INTO Node (SerialNo, Name) VALUES (?, ?)", "INSERT INTO Node (SerialNo, Name) VALUES (:p1, :p2)"},
      {"UPDATE Node SET Name = ? WHERE SerialNo = '?' AND Name = 'it''s ?' AND ServerType=?",
       "UPDATE Node SET Name = :p1 WHERE SerialNo = '?' AND Name = 'it''s ?' AND ServerType=:p2"},
      {"SELECT \"odd?\" FROM t WHERE a = ?", "SELECT \"odd?\" FROM t WHERE a = :p1"},
      {"DELETE FROM Node", "DELETE FROM Node"},
  };
  for (const auto& [statement, expected] : cases) EXPECT_EQ(withNamedMarkers(statement), expected) << statement;
}

TEST(DbSqlTest, FindCriteriaAreOneColumnEqualToOneValue) {
  EXPECT_EQ(parseCriterion(" Name='O''Brien;--' ")->value, Value(std::string("O'Brien;--")));
  for (const char* bad : {"MessageType = ", "= 1", "Name = 'open", "A = 1 OR 1 = 1", "A = '1' OR B = '2'"}) {
    EXPECT_FALSE(parseCriterion(bad)) << bad;
  }
  EXPECT_FALSE(matchesCriterion(std::string("30x"), 30.0));
  EXPECT_FALSE(matchesCriterion(std::string("8:30"), std::string("08:30")));
}

TEST(DbSqlTest, TheBuiltInSchemaIsTheShippedFileSplitOutsideQuotesAndComments) {
  std::ifstream file(PELAGOR_SCHEMA_FILE, std::ios::binary);
  const std::string shipped((std::istreambuf_iterator<char>(file)), {});
  ASSERT_FALSE(shipped.empty());
  EXPECT_EQ(schemaScript(), shipped);
  EXPECT_EQ(splitScript("-- a; comment\nCREATE TABLE a (x VARCHAR(3) DEFAULT ';'); ;\n"
                        "INSERT INTO a VALUES ('--;') -- trailing; note\n"),
            (std::vector<std::string>{"CREATE TABLE a (x VARCHAR(3) DEFAULT ';')", "INSERT INTO a VALUES ('--;')"}));
}

}  // namespace
}  // namespace platform::db::sql
