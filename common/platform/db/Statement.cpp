#include "Statement.h"

#include <cstdio>
#include <ctime>

#include "Engines.h"
#include "Sql.h"

namespace platform::db {

namespace {

constexpr char kText = 's';  // also every null: a text holder flagged null
constexpr char kInteger = 'i';
constexpr char kBigInteger = 'l';
constexpr char kReal = 'd';

char kindOf(const Value& value) {
  if (std::holds_alternative<int64_t>(value)) return kBigInteger;
  if (std::holds_alternative<double>(value)) return kReal;
  if (std::holds_alternative<bool>(value) || std::holds_alternative<int16_t>(value) ||
      std::holds_alternative<int32_t>(value)) {
    return kInteger;
  }
  return kText;
}

int integerOf(const Value& value) {
  if (auto* flag = std::get_if<bool>(&value)) return *flag ? 1 : 0;
  if (auto* i16 = std::get_if<int16_t>(&value)) return *i16;
  return std::get<int32_t>(value);
}

std::string dateText(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

// Numeric columns read as integers or double, text as text, null as null.
Value valueAt(const soci::row& row, std::size_t column) {
  if (row.get_indicator(column) == soci::i_null) return Value();
  switch (row.get_properties(column).get_data_type()) {
    case soci::dt_integer: return static_cast<int32_t>(row.get<int>(column));
    case soci::dt_long_long: return static_cast<int64_t>(row.get<long long>(column));
    case soci::dt_unsigned_long_long: return static_cast<int64_t>(row.get<unsigned long long>(column));
    case soci::dt_double: return row.get<double>(column);
    case soci::dt_date: return dateText(row.get<std::tm>(column));
    default: return row.get<std::string>(column);
  }
}

}  // namespace

std::string driverMessage(const soci::soci_error& error) { return sql::onOneLine(error.get_error_message()); }

BoundParams::BoundParams(const std::vector<Value>& values) : holders_(values.size()) {
  for (size_t i = 0; i < values.size(); ++i) holders_[i].kind = kindOf(values[i]);
  assign(values);
}

std::string BoundParams::signature(const std::vector<Value>& values) {
  std::string kinds;
  for (const auto& value : values) kinds += kindOf(value);
  return kinds;
}

void BoundParams::bindTo(soci::statement& statement) {
  for (auto& holder : holders_) {
    switch (holder.kind) {
      case kInteger: statement.exchange(soci::use(holder.integer, holder.indicator)); break;
      case kBigInteger: statement.exchange(soci::use(holder.bigInteger, holder.indicator)); break;
      case kReal: statement.exchange(soci::use(holder.real, holder.indicator)); break;
      default: statement.exchange(soci::use(holder.text, holder.indicator)); break;
    }
  }
}

void BoundParams::assign(const std::vector<Value>& values) {
  for (size_t i = 0; i < values.size(); ++i) {
    Holder& holder = holders_[i];
    const Value& value = values[i];
    holder.indicator = isNull(value) ? soci::i_null : soci::i_ok;
    switch (holder.kind) {
      case kInteger: holder.integer = integerOf(value); break;
      case kBigInteger: holder.bigInteger = std::get<int64_t>(value); break;
      case kReal: holder.real = std::get<double>(value); break;
      default: holder.text = isNull(value) ? std::string() : std::get<std::string>(value); break;
    }
  }
}

PreparedStatement::PreparedStatement(soci::session& session, const std::string& sql, const std::vector<Value>& params)
    : params_(params), statement_(session) {
  params_.bindTo(statement_);
  statement_.alloc();
  limitQueryTime(session, statement_);
  statement_.prepare(sql::withNamedMarkers(sql));
  statement_.define_and_bind();
}

int64_t PreparedStatement::run(const std::vector<Value>& params) {
  params_.assign(params);
  statement_.execute(true);
  return statement_.get_affected_rows();
}

RowQuery::RowQuery(soci::session& session, const std::string& sql, const std::vector<Value>& params)
    : params_(params), statement_(session) {
  params_.bindTo(statement_);
  statement_.exchange(soci::into(row_));
  statement_.alloc();
  limitQueryTime(session, statement_);
  statement_.prepare(sql::withNamedMarkers(sql));
  statement_.define_and_bind();
}

bool RowQuery::next(std::vector<Value>& values) {
  return translatingDriverErrors([&] {
    if (!fetch()) return false;
    values.clear();
    values.reserve(row_.size());
    for (std::size_t i = 0; i < row_.size(); ++i) values.push_back(valueAt(row_, i));
    return true;
  });
}

bool RowQuery::fetch() {
  if (started_) return statement_.fetch();
  started_ = true;
  bool gotRow = statement_.execute(true);
  readColumns();
  return gotRow;
}

void RowQuery::readColumns() {
  columns_.clear();
  for (std::size_t i = 0; i < row_.size(); ++i) columns_.push_back(row_.get_properties(i).get_name());
}

void RowQuery::restart(const std::vector<Value>& params) {
  params_.assign(params);
  started_ = false;
}

}  // namespace platform::db
