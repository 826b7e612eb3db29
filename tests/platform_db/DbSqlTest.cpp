#include "platform/DbSql.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/Database.h"
#include "platform/DbSchema.h"

namespace platform::db::sql {
namespace {

TEST(DbSqlTest, DeleteStarLosesItsStarInAnyCase) {
  struct Case {
    const char* statement;
    const char* expected;
  };
  const Case cases[] = {
      {"DELETE * FROM Node WHERE SerialNo = '1'", "DELETE FROM Node WHERE SerialNo = '1'"},
      {"delete * from Directory WHERE SerialNo = '7'", "DELETE FROM Directory WHERE SerialNo = '7'"},
      {"  Delete  *From OctelNode", "DELETE FROM OctelNode"},
      {"DELETE FROM Node", "DELETE FROM Node"},
      {"DELETE *FROMX", "DELETE *FROMX"},
      {"SELECT * FROM Node", "SELECT * FROM Node"},
  };
  for (const auto& c : cases) EXPECT_EQ(withoutDeleteStar(c.statement), c.expected) << c.statement;
}

TEST(DbSqlTest, OnlyASelectOfEveryColumnOfOneTableCanBeWrittenBack) {
  EXPECT_EQ(singleTableOf("SELECT * FROM Node"), "Node");
  EXPECT_EQ(singleTableOf("Select * FROM Node WHERE SerialNo = '12'"), "Node");
  EXPECT_EQ(singleTableOf("select *  from DeliveryWindow order by WindowID"), "DeliveryWindow");
  EXPECT_EQ(singleTableOf("SELECT EndTime FROM DeliveryWindow"), std::nullopt);
  EXPECT_EQ(singleTableOf("SELECT * FROM Node INNER JOIN OctelNode ON Node.SerialNo = OctelNode.SerialNo"),
            std::nullopt);
  EXPECT_EQ(singleTableOf("SELECT * FROM Node, OctelNode"), std::nullopt);
  EXPECT_TRUE(isSelect("  select 1"));
  EXPECT_FALSE(isSelect("SELECTED"));
}

TEST(DbSqlTest, ReadsFindCriteria) {
  auto number = parseCriterion("MessageType = 1");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->column, "MessageType");
  EXPECT_EQ(number->value, Value(1.0));

  auto text = parseCriterion(" Name='O''Brien;--' ");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->value, Value(std::string("O'Brien;--")));

  EXPECT_EQ(parseCriterion("Interval = -2.5")->value, Value(-2.5));
  for (const char* bad : {"MessageType", "MessageType = ", "= 1", "Name = 'open", "A = 1 OR 1 = 1", "A > 1"}) {
    EXPECT_FALSE(parseCriterion(bad)) << bad;
  }
}

TEST(DbSqlTest, CriteriaMatchNumbersByValueAndTextExactly) {
  EXPECT_TRUE(matchesCriterion(int32_t{1}, 1.0));
  EXPECT_TRUE(matchesCriterion(int16_t{2}, 2.0));
  EXPECT_TRUE(matchesCriterion(std::string("30"), 30.0));
  EXPECT_FALSE(matchesCriterion(std::string("30x"), 30.0));
  EXPECT_FALSE(matchesCriterion(Value(), 0.0));
  EXPECT_TRUE(matchesCriterion(std::string("8:30"), std::string("8:30")));
  EXPECT_FALSE(matchesCriterion(std::string("8:30"), std::string("08:30")));
  EXPECT_TRUE(matchesCriterion(int32_t{7}, std::string("7")));
}

TEST(DbSqlTest, FindsTheDataSourceOfAConnectionString) {
  EXPECT_EQ(dataSourceName("Data Source=Pelagor"), "Pelagor");
  EXPECT_EQ(dataSourceName("Provider=X; data source = Pelagor ;User ID="), "Pelagor");
  EXPECT_EQ(dataSourceName("DSN=Other"), "Other");
  EXPECT_EQ(dataSourceName("Data Source="), std::nullopt);
  EXPECT_EQ(dataSourceName(""), std::nullopt);
}

TEST(DbSqlTest, WritesInsertsAndUpdatesWithMarkersOnly) {
  EXPECT_EQ(insertStatement("Node", {"SerialNo", "Name"}), "INSERT INTO Node (SerialNo, Name) VALUES (?, ?)");
  EXPECT_EQ(insertStatement("Node", {}), "INSERT INTO Node DEFAULT VALUES");
  EXPECT_EQ(updateStatement("Node", {"Name"}, {"SerialNo", "Name", "DefaultCodec"}, {false, false, true}),
            "UPDATE Node SET Name = ? WHERE SerialNo = ? AND Name = ? AND DefaultCodec IS NULL");
}

TEST(DbSqlTest, SplitsScriptsOutsideQuotesAndComments) {
  auto statements = splitScript("-- a; comment\nCREATE TABLE a (x VARCHAR(3) DEFAULT ';'); ;\n"
                                "INSERT INTO a VALUES ('--;') -- trailing; note\n");
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0], "CREATE TABLE a (x VARCHAR(3) DEFAULT ';')");
  EXPECT_EQ(statements[1], "INSERT INTO a VALUES ('--;')");
}

TEST(DbSqlTest, TheBuiltInSchemaIsTheShippedFile) {
  std::ifstream file(PELAGOR_SCHEMA_FILE, std::ios::binary);
  std::string shipped((std::istreambuf_iterator<char>(file)), {});
  ASSERT_FALSE(shipped.empty());
  EXPECT_EQ(schemaScript(), shipped);
  EXPECT_EQ(splitScript(schemaScript()).size(), 9u);  // five tables, four indexes
}

TEST(DbSqlTest, QuoteLiteralDoublesSingleQuotes) {
  EXPECT_EQ(quoteLiteral("O'Brien's"), "O''Brien''s");
  EXPECT_EQ(quoteLiteral("1001"), "1001");
  EXPECT_EQ(quoteLiteral("'"), "''");
}

}  // namespace
}  // namespace platform::db::sql
