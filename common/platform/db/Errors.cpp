#include "Errors.h"

#include <iterator>

namespace platform::db {

namespace {

struct FailureText {
  Failure failure;
  int32_t number;
  const char* text;
};

constexpr FailureText kFailures[] = {
    {Failure::BadArguments, err::kBadArguments,
     "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."},
    {Failure::NoCurrentRecord, err::kNoCurrentRecord,
     "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current "
     "record."},
    {Failure::NotUpdatable, err::kNotUpdatable,
     "Current Recordset does not support updating. This may be a limitation of the provider, or of the selected "
     "locktype."},
    {Failure::ItemNotFound, err::kItemNotFound,
     "Item cannot be found in the collection corresponding to the requested name or ordinal."},
    {Failure::ObjectClosed, err::kObjectClosed, "Operation is not allowed when the object is closed."},
    {Failure::ObjectOpen, err::kObjectOpen, "Operation is not allowed when the object is open."},
    {Failure::ConnectionUnusable, err::kConnectionUnusable,
     "The connection cannot be used to perform this operation. It is either closed or invalid in this context."},
    {Failure::NoDataSourceNamed, platform::err::kDatabase, "The connection string names no data source."},
    {Failure::TransactionActive, platform::err::kDatabase, "Only one transaction can be active on this session."},
    {Failure::NoTransaction, platform::err::kDatabase, "No transaction is active."},
    {Failure::BackwardFetch, platform::err::kDatabase, "Rowset does not support fetching backward."},
    {Failure::RowChanged, platform::err::kDatabase,
     "Row cannot be located for updating. Some values may have been changed since it was last read."},
    {Failure::ValueDoesNotConvert, platform::err::kDatabase,
     "A stored value does not convert to the type of its column."},
    {Failure::NoDriverManager, platform::err::kDatabase, "The ODBC driver manager cannot be started."},
    {Failure::UnreadableOdbcFile, platform::err::kDatabase, "Cannot read the ODBC configuration file "},
    {Failure::DataSourceRefused, platform::err::kDatabase, "The ODBC data source cannot be opened: "},
};

// Rows stand in the order of Failure, so a failure finds its row at once.
constexpr bool inFailureOrder() {
  for (size_t i = 0; i < std::size(kFailures); ++i) {
    if (static_cast<size_t>(kFailures[i].failure) != i) return false;
  }
  return true;
}
static_assert(inFailureOrder() && std::size(kFailures) == static_cast<size_t>(Failure::DataSourceRefused) + 1);

}  // namespace

Error layerError(Failure failure, const std::string& detail) {
  const FailureText& row = kFailures[static_cast<size_t>(failure)];
  return Error(row.number, row.text + detail);
}

}  // namespace platform::db
