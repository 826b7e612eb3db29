// The record-set layer's own failures, private to the layer. Each has its
// number and text in the one table of Errors.cpp: ADO's numbers and texts
// for a connection or record set used wrongly, the database number
// (platform::err::kDatabase) for what an engine refuses as well.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Error.h"

namespace platform::db {

namespace err {
constexpr int32_t kBadArguments = 3001;        // a find criterion that cannot be read
constexpr int32_t kNoCurrentRecord = 3021;     // BOF or EOF, no current row
constexpr int32_t kNotUpdatable = 3251;        // read-only lock or cursor, or not one table
constexpr int32_t kItemNotFound = 3265;        // no field of that name or index
constexpr int32_t kObjectClosed = 3704;        // the record set is closed
constexpr int32_t kObjectOpen = 3705;          // the connection is already open
constexpr int32_t kConnectionUnusable = 3709;  // the connection is not open
}  // namespace err

enum class Failure : uint8_t {
  BadArguments,
  NoCurrentRecord,
  NotUpdatable,
  ItemNotFound,
  ObjectClosed,
  ObjectOpen,
  ConnectionUnusable,
  NoDataSourceNamed,
  TransactionActive,
  NoTransaction,
  BackwardFetch,
  RowChanged,
  ValueDoesNotConvert,
  NoDriverManager,
  UnreadableOdbcFile,  // detail: the file and why
  DataSourceRefused,   // detail: the data source's name
};

// The Error of `failure`: its number, and its text followed by `detail`.
Error layerError(Failure failure, const std::string& detail = "");

}  // namespace platform::db
