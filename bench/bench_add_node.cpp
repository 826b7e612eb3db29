// Cost of adding one Octel node, with the database empty and with a million
// nodes stored. Each add goes through the record-set layer as the import's
// add does: existence check, transaction, Node and OctelNode rows through
// "SELECT * FROM ..." record sets, three delivery windows in one batch.
//
//   bench_add_node [adds per run, default 1000] [scratch folder, default /tmp]
//
// Prints microseconds per add for both databases and their ratio.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "nodes/NodeSchema.h"
#include "platform/Error.h"
#include "platform/db/Recordset.h"

namespace {

namespace fs = std::filesystem;
using platform::Value;
using namespace platform::db;

constexpr int64_t kStoredNodes = 1'000'000;

Value text(const std::string& s) { return Value(s); }

void insertOneRow(Recordset& rs, Connection& conn, const std::string& table,
                  const std::vector<std::pair<std::string, Value>>& fields) {
  rs.open("SELECT * FROM " + table, conn, CursorType::Static, LockType::Optimistic);
  rs.addNew();
  for (const auto& [name, value] : fields) rs.setField(name, value);
  rs.update();
  rs.close();
}

void addOctelNode(Connection& conn, const std::string& serial) {
  Recordset rs;
  conn.beginTrans();
  rs.open("SELECT * FROM Node WHERE SerialNo = ?", conn, CursorType::Static, LockType::ReadOnly, {serial});
  if (rs.recordCount() > 0) throw platform::Error(2, "node " + serial + " exists");
  rs.close();

  insertOneRow(rs, conn, "Node",
               {{"SerialNo", text(serial)}, {"Name", text("Bench " + serial)}, {"ServerType", int16_t{1}}});
  insertOneRow(
      rs, conn, "OctelNode",
      {{"SerialNo", text(serial)}, {"PhoneNo", text("5551234")}, {"Ext", text("22")}, {"DialingSequence", text("N")}});
  rs.open("SELECT * FROM DeliveryWindow", conn, CursorType::Static, LockType::BatchOptimistic);
  for (int16_t k = 0; k < 3; ++k) {
    rs.addNew();
    rs.setField("WindowID", k);
    rs.setField("MessageType", k);
    rs.setField("SerialNo", text(serial));
    rs.setField("BeginTime", text("8:30"));
    rs.setField("EndTime", text("11:59PM"));
    if (k == 1) rs.setField("Interval", text("15"));
  }
  rs.updateBatch();
  rs.close();
  conn.commitTrans();
}

// A million complete Octel nodes (serial numbers "1" to "1000000"), written
// by the engine itself in one transaction.
void seedNodes(Connection& conn) {
  const std::string numbers = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                              std::to_string(kStoredNodes) + ") ";
  conn.beginTrans();
  conn.execute(numbers +
               "INSERT INTO Node (SerialNo, Name, ServerType) SELECT CAST(i AS VARCHAR(10)), 'Seed', 1 FROM n");
  conn.execute(numbers +
               "INSERT INTO OctelNode (SerialNo, PhoneNo, Ext, DialingSequence) "
               "SELECT CAST(i AS VARCHAR(10)), '5550000', '1', 'N' FROM n");
  for (int k = 0; k < 3; ++k) {
    std::string type = std::to_string(k);
    conn.execute(numbers +
                 "INSERT INTO DeliveryWindow (WindowID, MessageType, SerialNo, BeginTime, EndTime) "
                 "SELECT " +
                 type + ", " + type + ", CAST(i AS VARCHAR(10)), '12:00AM', '11:59PM' FROM n");
  }
  conn.commitTrans();
}

// Microseconds per add of `adds` new nodes whose serial numbers spread over
// the key range, as real serial numbers do.
double microsecondsPerAdd(Connection& conn, int adds) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < adds; ++i) addOctelNode(conn, std::to_string(3'000'000'000LL + 7919LL * i));
  std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / adds;
}

double measure(const fs::path& file, int adds, bool seeded) {
  fs::remove(file);
  Connection conn;
  conn.openSqliteFile(file.string(), tarnwick::nodeSchema());
  if (seeded) {
    auto start = std::chrono::steady_clock::now();
    seedNodes(conn);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("seeded %lld nodes in %.1f s\n", static_cast<long long>(kStoredNodes), took.count());
  }
  return microsecondsPerAdd(conn, adds);
}

}  // namespace

int main(int argc, char** argv) {
  int adds = argc > 1 ? std::stoi(argv[1]) : 1000;
  fs::path folder = fs::path(argc > 2 ? argv[2] : fs::temp_directory_path().string()) / "bench_add_node";
  fs::create_directories(folder);
  try {
    double empty = measure(folder / "empty.db", adds, false);
    double full = measure(folder / "million.db", adds, true);
    std::printf("adds per run:              %d\n", adds);
    std::printf("empty database:            %.1f us per add (%.0f adds/s)\n", empty, 1e6 / empty);
    std::printf("1,000,000 nodes stored:    %.1f us per add (%.0f adds/s)\n", full, 1e6 / full);
    std::printf("ratio million / empty:     %.2f\n", full / empty);
  } catch (const platform::Error& e) {
    std::fprintf(stderr, "bench_add_node: %s\n", e.description().c_str());
    return 1;
  }
  fs::remove_all(folder);
  return 0;
}
