// The statement texts the record-set layer reads and writes.
#include <gtest/gtest.h>

#include "platform/db/Sql.h"

namespace platform::db {
namespace {

TEST(SqlTest, FindCriteriaAreOneColumnEqualToOneValue) {
  EXPECT_EQ(sql::parseCriterion(" Name='O''Brien;--' ")->value, Value(std::string("O'Brien;--")));
  for (const char* bad : {"MessageType = ", "= 1", "Name = 'open", "A = 1 OR 1 = 1"})
    EXPECT_FALSE(sql::parseCriterion(bad)) << bad;
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
