// Record sets on a fresh SQLite file made from schema/pelagor.sql and on the ODBC data source that
// TARNWICK_TEST_ODBC_DSN names, if any, its tables made from that file. (Reading and adding rows is what every import
// and export does, on every engine; here what they do not show.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "TestSupport.h"
#include "platform/db/Recordset.h"
#include "platform/db/Sql.h"

namespace platform::db {
namespace {

using platform::err::kDatabase;
using platform::test::errorNumberOf;
using Texts = std::vector<std::string>;

constexpr auto kStatic = CursorType::Static;
constexpr auto kForward = CursorType::ForwardOnly;
constexpr auto kReadOnly = LockType::ReadOnly;
constexpr auto kOptimistic = LockType::Optimistic;
constexpr auto kBatch = LockType::BatchOptimistic;

const std::string kSqlite = "sqlite";

std::vector<std::string> engines() {
  std::vector<std::string> names{kSqlite};
  if (const char* dsn = std::getenv("TARNWICK_TEST_ODBC_DSN")) names.emplace_back(dsn);
  return names;
}

Value text(const char* s) { return Value(std::string(s)); }

void setFields(Recordset& rs, std::initializer_list<std::pair<const char*, Value>> fields) {
  for (const auto& [name, value] : fields) rs.setField(name, value);
}

class RecordsetTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    openConnection(conn_);
    if (GetParam() == kSqlite) return;
    // A data source unixODBC does not know would quietly be an SQLite file.
    ASSERT_EQ(conn_.engine(), "odbc") << "unixODBC knows no data source " << GetParam();
    for (const char* table : {"DeliveryWindow", "OctelNode", "VPIMNode", "Directory", "Node"}) {
      conn_.execute(std::string("DELETE FROM ") + table);
    }
  }

  void openConnection(Connection& conn) {
    if (GetParam() == kSqlite) {
      conn.openSqliteFile(folder_.path("Pelagor.db"), test::readBytes(PELAGOR_SCHEMA_FILE));
    } else {
      conn.setConnectionString("Data Source=" + GetParam());
      conn.open(test::readBytes(PELAGOR_SCHEMA_FILE));
    }
  }

  void addNode(const std::string& serial, const std::string& name, int16_t serverType) {
    conn_.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES (?, ?, ?)", {serial, name, serverType});
  }

  int64_t countOf(const std::string& select) {
    Recordset rs;
    rs.open(select, conn_, kStatic, kReadOnly);
    return rs.recordCount();
  }

  // One column of every row of `select`, as text, in the order given.
  Texts columnOf(const std::string& select, const std::string& column) {
    Recordset rs;
    rs.open(select, conn_, kForward, kReadOnly);
    Texts values;
    for (; !rs.eof(); rs.moveNext()) values.push_back(toText(rs.field(column)));
    return values;
  }

  test::TempFolder folder_;
  Connection conn_;
};

INSTANTIATE_TEST_SUITE_P(Engines, RecordsetTest, ::testing::ValuesIn(engines()),
                         [](const auto& engine) { return engine.param; });

// An update finds its row by the values read: it fails when that row changed or went away underneath, or when it is one
// of two identical rows. Values, backslashes too, reach the engine verbatim. Serial numbers compare as written.
TEST_P(RecordsetTest, UpdateChangesOnlyTheRowThatWasRead) {
  addNode("1001", "North", 1);
  addNode("1002", "North", 1);
  Recordset rs;
  rs.open("SELECT * FROM Node WHERE SerialNo = '1001'", conn_, kStatic, kOptimistic);
  EXPECT_EQ(rs.fieldAt(1), text("North"));  // by position, as the columns come
  EXPECT_EQ(errorNumberOf([&] { rs.fieldAt(4); }), err::kItemNotFound);
  rs.setField("DefaultCodec", int16_t{7});  // was null: located with IS NULL
  rs.update();
  for (int i = 0; i < 2; ++i) {  // located by the values just written, then written unchanged
    rs.setField("Name", text("\\');DROP TABLE No--"));
    rs.update();
  }
  EXPECT_EQ(columnOf("SELECT * FROM Node ORDER BY SerialNo", "Name"), (Texts{"\\');DROP TABLE No--", "North"}));
  for (int i = 0; i < 2; ++i) conn_.execute("INSERT INTO Directory (SerialNo, Name) VALUES ('9', 'Twin')");
  rs.open("SELECT * FROM Directory", conn_, kStatic, kOptimistic);
  rs.setField("Name", text("Changed"));
  EXPECT_EQ(errorNumberOf([&] { rs.update(); }), kDatabase);
  EXPECT_EQ(columnOf("SELECT * FROM Directory", "Name"), (Texts{"Twin", "Twin"}));

  Connection other;
  openConnection(other);
  for (const char* change : {"UPDATE Node SET Name = 'Theirs'", "DELETE FROM Node"}) {
    rs.open("SELECT * FROM Node WHERE SerialNo = '1001'", conn_, kStatic, kOptimistic);
    EXPECT_EQ(rs.recordCount(), 1);
    other.execute(change);
    rs.setField("Name", text("Mine"));
    EXPECT_EQ(errorNumberOf([&] { rs.update(); }), kDatabase) << change;
    EXPECT_EQ(columnOf("SELECT * FROM Node", "Name"), change[0] == 'D' ? Texts{} : (Texts{"Theirs", "Theirs"}))
        << change;
  }
  for (const char* serial : {"42", "0042", "42 "}) addNode(serial, "N", 1);  // zeros and blanks make other serials
  EXPECT_EQ(countOf("SELECT * FROM Node WHERE SerialNo = '42'"), 1);
}

TEST_P(RecordsetTest, BatchWithOneStaleRowWritesNoneAndKeepsTheCallersWork) {
  conn_.execute(
      "INSERT INTO DeliveryWindow (WindowID, MessageType, SerialNo, EndTime) VALUES (0, 0, '1', '11:59PM'), "
      "(1, 1, '1', '11:59PM'), (2, 2, '1', '11:59PM')");
  Recordset rs;
  rs.open("SELECT * FROM DeliveryWindow", conn_, kStatic, kBatch);
  for (; !rs.eof(); rs.moveNext()) rs.setField("EndTime", text("5:00PM"));
  conn_.execute("DELETE FROM DeliveryWindow WHERE MessageType = 2");
  // Over ODBC the caller's roll-back undoes a failed batch, so only SQLite runs it inside the caller's work.
  const bool insideCallersWork = GetParam() == kSqlite;
  if (insideCallersWork) conn_.beginTrans(), addNode("3001", "Kept", 1);
  EXPECT_EQ(errorNumberOf([&] { rs.updateBatch(); }), kDatabase);
  if (insideCallersWork) conn_.commitTrans();
  EXPECT_EQ(columnOf("SELECT * FROM DeliveryWindow", "EndTime"), (Texts{"11:59PM", "11:59PM"}));
  EXPECT_EQ(countOf("SELECT * FROM Node WHERE SerialNo = '3001'"), insideCallersWork ? 1 : 0);
}

// New rows go in as one INSERT, or as several when they bind more values than one statement takes; either way a refused
// last row stores none.
TEST_P(RecordsetTest, NewRowsOfOneBatchAreStoredAllOrNone) {
  for (int rows : {3, 400}) {
    Recordset rs;
    rs.open("SELECT * FROM DeliveryWindow", conn_, kStatic, kBatch);
    for (int i = 0; i < rows; ++i) {
      rs.addNew();
      const std::string serial = std::to_string(i + 1 < rows ? i : 0);  // the last repeats the first: not unique
      setFields(rs, {{"WindowID", int16_t{0}}, {"MessageType", int16_t{0}}, {"SerialNo", serial}});
      if (i % 2 == 1) rs.setField("Interval", text("5"));
    }
    EXPECT_EQ(errorNumberOf([&] { rs.updateBatch(); }), kDatabase) << rows;
    EXPECT_EQ(countOf("SELECT * FROM DeliveryWindow"), 0) << rows;
  }
}

}  // namespace
}  // namespace platform::db
