// The one failure type of the system: an error number with its description,
// as the procedures log it ("Err.Number = ... Err.Description = ..."). Every
// number the system raises itself is named here, and its text stands in the
// one table of Error.cpp.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

namespace err {
// The platform's own failures, and those of the program's run-time.
constexpr int32_t kInvalidArgument = 5;
constexpr int32_t kOverflow = 6;
constexpr int32_t kOutOfMemory = 7;
constexpr int32_t kSubscriptOutOfRange = 9;
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kInternalError = 51;  // raised with what failed as its text
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kFileAlreadyOpen = 55;  // another process is writing the file
constexpr int32_t kDiskFull = 61;
constexpr int32_t kInputPastEnd = 62;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kPathFileAccess = 75;
constexpr int32_t kPathNotFound = 76;
constexpr int32_t kObjectNotSet = 91;
constexpr int32_t kReadOnlyAtRunTime = 382;
constexpr int32_t kReadOnlyAtDesignTime = 387;
constexpr int32_t kObjectRequired = 424;
constexpr int32_t kCannotCreateObject = 429;
constexpr int32_t kDuplicateKey = 457;

// The record-set layer's: a connection or record set used wrongly.
constexpr int32_t kBadArguments = 3001;        // a find criterion that cannot be read
constexpr int32_t kNoCurrentRecord = 3021;     // BOF or EOF, no current row
constexpr int32_t kNotUpdatable = 3251;        // read-only lock or cursor, or not one table
constexpr int32_t kItemNotFound = 3265;        // no field of that name or index
constexpr int32_t kObjectClosed = 3704;        // the record set is closed
constexpr int32_t kObjectOpen = 3705;          // the connection is already open
constexpr int32_t kConnectionUnusable = 3709;  // the connection is not open

// The reader's (its CSVMAN_ERRORS): the object-error base 0x80040000 plus
// 1001 to 1005.
constexpr int32_t kCsvFileNotSpecified = -2147220503;
constexpr int32_t kCsvFileNotFound = -2147220502;
constexpr int32_t kHeadingsNotSpecified = -2147220501;
constexpr int32_t kColumnNotFound = -2147220500;
constexpr int32_t kValidationFailed = -2147220499;

// A database failure: carries the driver's own message, or the text of one
// of the record-set layer's DatabaseFailure below.
constexpr int32_t kDatabase = -2147467259;
}  // namespace err

// What the record-set layer finds wrong itself and reports as a database
// failure (err::kDatabase), each with its own text.
enum class DatabaseFailure : uint8_t {
  NoDataSourceNamed,
  TransactionActive,
  NoTransaction,
  BackwardFetch,
  RowChanged,
  ValueDoesNotConvert,
  NoDriverManager,
  UnreadableOdbcFile,  // detail: the file and why
  DataSourceRefused,   // detail: the data source's name
  TransactionEnded,
};

class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description);

  // An error with the standard description for `number`.
  static Error fromNumber(int32_t number);

  // The database failure `failure`: its text followed by `detail`.
  static Error database(DatabaseFailure failure, const std::string& detail = "");

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  int32_t number_;
  std::string description_;
};

// The standard description of an error number ("" when it has none).
std::string standardDescription(int32_t number);

// Throws Error::fromNumber(number).
[[noreturn]] void raise(int32_t number);

}  // namespace platform
