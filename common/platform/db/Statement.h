// SOCI statements of the record-set layer (private to it): values bound to
// "?" markers, a prepared statement that runs again and again with new
// values, a SELECT that hands out its rows one by one as Values, and the
// mapping of driver failures to Errors.
#pragma once

#include <soci/soci.h>

#include <ctime>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"

namespace platform::db {

// The driver's message on one line (PostgreSQL adds a DETAIL line).
std::string driverMessage(const soci::soci_error& error);

// Runs `work`, turning a driver failure into Error(platform::err::kDatabase,
// the driver's message).
template <typename Work>
auto translatingDriverErrors(Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const soci::soci_error& e) {
    throw Error(platform::err::kDatabase, driverMessage(e));
  } catch (const std::bad_cast&) {
    throw Error::database(DatabaseFailure::ValueDoesNotConvert);
  }
}

// The values bound to a statement's "?" markers, in order. Each value lives
// in a holder of a fixed C++ type (text, 32-bit or 64-bit integer, double)
// whose address the statement keeps, so new values of the same kinds can be
// assigned and the statement run again.
class BoundParams {
 public:
  explicit BoundParams(const std::vector<Value>& values);
  BoundParams(const BoundParams&) = delete;
  BoundParams& operator=(const BoundParams&) = delete;

  // The character naming the holder type of `value`; statements prepared
  // for values of one signature (these characters in order) can run with
  // any values of that signature.
  static char kindOf(const Value& value);

  void bindTo(soci::statement& statement);
  void assign(const std::vector<Value>& values);

 private:
  struct Holder {
    char kind;
    std::string text;
    int integer = 0;
    long long bigInteger = 0;
    double real = 0;
    soci::indicator indicator = soci::i_ok;
  };
  std::vector<Holder> holders_;
};

// A statement that returns no rows, prepared once and run many times.
class PreparedStatement {
 public:
  PreparedStatement(soci::session& session, const std::string& sql, const std::vector<Value>& params);

  // Runs with `params` (of the signature it was prepared for); returns the
  // number of rows affected.
  int64_t run(const std::vector<Value>& params);

 private:
  BoundParams params_;
  soci::statement statement_;
};

// A running SELECT. The statement stays active until the object goes.
class RowQuery {
 public:
  RowQuery(soci::session& session, const std::string& sql, const std::vector<Value>& params);

  // Reads the next row into `values`; false (and `values` untouched) after
  // the last one.
  bool next(std::vector<Value>& values);

  // Column names as the engine spells them.
  const std::vector<std::string>& columns() const { return columns_; }

  // Makes the query run again from its first row with `params` (of the
  // signature it was prepared for) at the next call of next().
  void restart(const std::vector<Value>& params);

 private:
  // The holder one column is read into, by the type the driver gives it.
  struct Cell {
    soci::data_type type = soci::dt_string;
    std::string text;
    int integer = 0;
    long long bigInteger = 0;
    unsigned long long unsignedInteger = 0;
    double real = 0;
    std::tm date{};
    soci::indicator indicator = soci::i_ok;
    void store(Value& value) const;
  };

  void bindColumns();
  bool fetch();

  BoundParams params_;
  soci::statement statement_;
  std::vector<Cell> cells_;
  std::vector<std::string> columns_;
  bool started_ = false;
};

}  // namespace platform::db
