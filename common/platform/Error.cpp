#include "Error.h"

#include <optional>

namespace platform {

namespace {

struct ErrorText {
  int32_t number;
  std::optional<DatabaseFailure> failure;  // which one, for a database failure
  const char* text;
};

// Every error number the system raises itself, with its text.
constexpr ErrorText kErrorTexts[] = {
    {err::kInvalidArgument, {}, "Invalid procedure call or argument"},
    {err::kOverflow, {}, "Overflow"},
    {err::kOutOfMemory, {}, "Out of memory"},
    {err::kSubscriptOutOfRange, {}, "Subscript out of range"},
    {err::kTypeMismatch, {}, "Type mismatch"},
    {err::kInternalError, {}, "Internal error"},
    {err::kFileNotFound, {}, "File not found"},
    {err::kFileAlreadyOpen, {}, "File already open"},
    {err::kDiskFull, {}, "Disk full"},
    {err::kInputPastEnd, {}, "Input past end of file"},
    {err::kPermissionDenied, {}, "Permission denied"},
    {err::kPathFileAccess, {}, "Path/File access error"},
    {err::kPathNotFound, {}, "Path not found"},
    {err::kObjectNotSet, {}, "Object variable or With block variable not set"},
    {err::kReadOnlyAtRunTime, {}, "Set not supported at runtime"},
    {err::kReadOnlyAtDesignTime, {}, "Set not permitted"},
    {err::kObjectRequired, {}, "Object required"},
    {err::kCannotCreateObject, {}, "ActiveX component can't create object"},
    {err::kDuplicateKey, {}, "This key is already associated with an element of this collection"},
    {err::kBadArguments,
     {},
     "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."},
    {err::kNoCurrentRecord,
     {},
     "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current "
     "record."},
    {err::kNotUpdatable,
     {},
     "Current Recordset does not support updating. This may be a limitation of the provider, or of the selected "
     "locktype."},
    {err::kItemNotFound, {}, "Item cannot be found in the collection corresponding to the requested name or ordinal."},
    {err::kObjectClosed, {}, "Operation is not allowed when the object is closed."},
    {err::kObjectOpen, {}, "Operation is not allowed when the object is open."},
    {err::kConnectionUnusable,
     {},
     "The connection cannot be used to perform this operation. It is either closed or invalid in this context."},
    {err::kCsvFileNotSpecified, {}, "CSV File not specified.  Set the CSVFile property before calling OpenCSV"},
    {err::kCsvFileNotFound, {}, "CSV File not found."},
    {err::kHeadingsNotSpecified, {}, "Column Headings Not Specified, can not call getValue."},
    {err::kColumnNotFound, {}, "Column Not Found."},
    {err::kValidationFailed, {}, "Value failed data validation"},
    {err::kDatabase, DatabaseFailure::NoDataSourceNamed, "The connection string names no data source."},
    {err::kDatabase, DatabaseFailure::TransactionActive, "Only one transaction can be active on this session."},
    {err::kDatabase, DatabaseFailure::NoTransaction, "No transaction is active."},
    {err::kDatabase, DatabaseFailure::BackwardFetch, "Rowset does not support fetching backward."},
    {err::kDatabase, DatabaseFailure::RowChanged,
     "Row cannot be located for updating. Some values may have been changed since it was last read."},
    {err::kDatabase, DatabaseFailure::ValueDoesNotConvert,
     "A stored value does not convert to the type of its column."},
    {err::kDatabase, DatabaseFailure::NoDriverManager, "The ODBC driver manager cannot be started."},
    {err::kDatabase, DatabaseFailure::UnreadableOdbcFile, "Cannot read the ODBC configuration file "},
    {err::kDatabase, DatabaseFailure::DataSourceRefused, "The ODBC data source cannot be opened: "},
    {err::kDatabase, DatabaseFailure::TransactionEnded,
     "The database ended the transaction by itself; nothing more is written in it."},
};

}  // namespace

Error::Error(int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

Error Error::fromNumber(int32_t number) { return Error(number, standardDescription(number)); }

Error Error::database(DatabaseFailure failure, const std::string& detail) {
  for (const auto& row : kErrorTexts) {
    if (row.failure == failure) return Error(row.number, row.text + detail);
  }
  return Error(err::kDatabase, detail);
}

std::string standardDescription(int32_t number) {
  for (const auto& row : kErrorTexts) {
    if (row.number == number && !row.failure) return row.text;
  }
  return "";
}

void raise(int32_t number) { throw Error::fromNumber(number); }

}  // namespace platform
