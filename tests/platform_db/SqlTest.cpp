// The statement texts the record-set layer reads and writes.
#include <gtest/gtest.h>

#include <utility>

#include "platform/db/Sql.h"

namespace platform::db {
namespace {

TEST(SqlTest, DeleteStarLosesItsStarAndMarkersOutsideQuotedTextAreNumbered) {
  EXPECT_EQ(sql::withoutDeleteStar("  Delete  *From OctelNode"), "DELETE FROM OctelNode");
  EXPECT_EQ(sql::withoutDeleteStar("DELETE *FROMX"), "DELETE *FROMX");
  const std::pair<std::string, std::string> cases[] = {
      {"INSERT INTO Node (SerialNo, Name) VALUES (?, ?)", "INSERT INTO Node (SerialNo, Name) VALUES (:p1, :p2)"},
      {"UPDATE Node SET Name = ? WHERE SerialNo = '?' AND Name = 'it''s ?' AND \"odd?\"=?",
       "UPDATE Node SET Name = :p1 WHERE SerialNo = '?' AND Name = 'it''s ?' AND \"odd?\"=:p2"},
  };
  for (const auto& [statement, expected] : cases) EXPECT_EQ(sql::withNamedMarkers(statement), expected) << statement;
  EXPECT_EQ(sql::withNamedMarkers("SELECT `a?` FROM t WHERE b = ?"), "SELECT `a?` FROM t WHERE b = :p1");
}

// A quoted name stands for what the unquoted one does on the engine.
TEST(SqlTest, NamesAreQuotedAndFoldedAsTheEngineReadsThem) {
  using sql::NameCase;
  const std::pair<sql::NameRules, std::string> cases[] = {
      {{"\"", NameCase::AsWritten}, "\"Interval\""},  // SQLite
      {{"\"", NameCase::Lower}, "\"interval\""},      // PostgreSQL
      {{"`", NameCase::AsWritten}, "`Interval`"},      // MariaDB
      {{"\"", NameCase::Upper}, "\"INTERVAL\""},
      {{" ", NameCase::AsWritten}, "Interval"},        // a driver that cannot quote
  };
  for (const auto& [rules, expected] : cases) EXPECT_EQ(sql::quotedName("Interval", rules), expected);
  EXPECT_EQ(sql::quotedName("a`b", {"`", NameCase::AsWritten}), "`a``b`");
}

TEST(SqlTest, FindCriteriaAreOneColumnEqualToOneValue) {
  EXPECT_EQ(sql::parseCriterion(" Name='O''Brien;--' ")->value, Value(std::string("O'Brien;--")));
  for (const char* bad : {"MessageType = ", "= 1", "Name = 'open", "A = 1 OR 1 = 1"}) EXPECT_FALSE(sql::parseCriterion(bad)) << bad;
  EXPECT_FALSE(sql::matchesCriterion(std::string("30x"), 30.0));
  EXPECT_FALSE(sql::matchesCriterion(std::string("8:30"), std::string("08:30")));
}

TEST(SqlTest, ScriptsSplitOutsideQuotesAndComments) {
  EXPECT_EQ(sql::splitScript("-- a; comment\n/*!40101 SET a = 1 */;\nCREATE TABLE a (x VARCHAR(3) DEFAULT ';'); ;\n"
                        "INSERT INTO a /* b; */VALUES ('--;') -- trailing; note\n"),
            (std::vector<std::string>{"CREATE TABLE a (x VARCHAR(3) DEFAULT ';')", "INSERT INTO a \nVALUES ('--;')"}));
}

}  // namespace
}  // namespace platform::db
