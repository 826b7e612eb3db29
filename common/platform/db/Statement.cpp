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

}  // namespace

std::string driverMessage(const soci::soci_error& error) { return sql::onOneLine(error.get_error_message()); }

BoundParams::BoundParams(const std::vector<Value>& values) : holders_(values.size()) {
  for (size_t i = 0; i < values.size(); ++i) holders_[i].kind = kindOf(values[i]);
  assign(values);
}

char BoundParams::kindOf(const Value& value) {
  if (std::holds_alternative<int64_t>(value)) return kBigInteger;
  if (std::holds_alternative<double>(value)) return kReal;
  if (std::holds_alternative<bool>(value) || std::holds_alternative<int16_t>(value) ||
      std::holds_alternative<int32_t>(value)) {
    return kInteger;
  }
  return kText;
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
  statement_.alloc();
  limitQueryTime(session, statement_);
  statement_.prepare(sql::withNamedMarkers(sql));
  bindColumns();
  statement_.define_and_bind();
}

// Each column gets a holder of the C++ type the driver describes it with,
// as SOCI's dynamic rows would, read without their per-value type checks.
void RowQuery::bindColumns() {
  soci::details::statement_backend& backend = *statement_.get_backend();
  const int count = backend.prepare_for_describe();
  cells_.resize(static_cast<size_t>(count));  // the statement keeps their addresses
  for (int i = 0; i < count; ++i) {
    Cell& cell = cells_[static_cast<size_t>(i)];
    std::string name;
    backend.describe_column(i + 1, cell.type, name);
    columns_.push_back(std::move(name));
    switch (cell.type) {
      case soci::dt_integer: statement_.exchange(soci::into(cell.integer, cell.indicator)); break;
      case soci::dt_long_long: statement_.exchange(soci::into(cell.bigInteger, cell.indicator)); break;
      case soci::dt_unsigned_long_long: statement_.exchange(soci::into(cell.unsignedInteger, cell.indicator)); break;
      case soci::dt_double: statement_.exchange(soci::into(cell.real, cell.indicator)); break;
      case soci::dt_date: statement_.exchange(soci::into(cell.date, cell.indicator)); break;
      default: statement_.exchange(soci::into(cell.text, cell.indicator)); break;
    }
  }
}

// Numeric columns read as integers or double, dates and text as text, null
// as null. Text goes into the string a value already holds, keeping its room.
void RowQuery::Cell::store(Value& value) const {
  if (indicator == soci::i_null) {
    value = Value();
    return;
  }
  switch (type) {
    case soci::dt_integer: value = static_cast<int32_t>(integer); return;
    case soci::dt_long_long: value = static_cast<int64_t>(bigInteger); return;
    case soci::dt_unsigned_long_long: value = static_cast<int64_t>(unsignedInteger); return;
    case soci::dt_double: value = real; return;
    case soci::dt_date: value = dateText(date); return;
    default:
      if (auto* held = std::get_if<std::string>(&value)) {
        held->assign(text);
      } else {
        value = text;
      }
  }
}

bool RowQuery::next(std::vector<Value>& values) {
  return translatingDriverErrors([&] {
    if (!fetch()) return false;
    values.resize(cells_.size());
    for (size_t i = 0; i < cells_.size(); ++i) cells_[i].store(values[i]);
    return true;
  });
}

bool RowQuery::fetch() {
  if (started_) return statement_.fetch();
  started_ = true;
  return statement_.execute(true);
}

void RowQuery::restart(const std::vector<Value>& params) {
  params_.assign(params);
  started_ = false;
}

}  // namespace platform::db
