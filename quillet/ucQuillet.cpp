#include "ucQuillet.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "mdlParse.h"

namespace quillet {

namespace {

using platform::Value;

// The path text that means "no file specified".
const std::string kNotSpecified = "0";

// Lower-cases the UTF-8 letter whose lead byte is at key[i], for the
// two-byte capitals of Windows-1252 (U+00C0 to U+00DE, U+0152, U+0160,
// U+0178, U+017D).
void lowerTwoByteCapital(std::string& key, size_t i) {
  auto lead = static_cast<unsigned char>(key[i]);
  auto next = static_cast<unsigned char>(key[i + 1]);
  if (lead == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
    key[i + 1] = static_cast<char>(next + 0x20);
  } else if (lead == 0xC5 && (next == 0x92 || next == 0xA0 || next == 0xBD)) {
    key[i + 1] = static_cast<char>(next + 1);
  } else if (lead == 0xC5 && next == 0xB8) {  // Y with diaeresis -> U+00FF
    key[i] = static_cast<char>(0xC3);
    key[i + 1] = static_cast<char>(0xBF);
  }
}

// The column-table key of a name: the name in lower case. Every capital
// that a Windows-1252 file can hold is folded; other characters are kept.
std::string columnKey(std::string_view name) {
  std::string key(name);
  for (size_t i = 0; i < key.size(); ++i) {
    char c = key[i];
    if (c >= 'A' && c <= 'Z') {
      key[i] = static_cast<char>(c - 'A' + 'a');
    } else if ((c & 0x80) != 0 && i + 1 < key.size()) {
      lowerTwoByteCapital(key, i);
    }
  }
  return key;
}

// A stored number or boolean as T; any other stored kind is a type mismatch.
template <class T>
T storedNumber(const Value& stored) {
  return std::visit(
      [](const auto& v) -> T {
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(v)>>) {
          return static_cast<T>(v);
        } else {
          platform::raise(platform::err::kTypeMismatch);
        }
      },
      stored);
}

// Whether the file ends after the line just read. A failure to look ahead
// must not take that line from the host: the file counts as going on, and
// the next ReadLine meets the failure again and raises it.
bool endFollows(platform::TextStream& stream) {
  try {
    return stream.atEndOfStream();
  } catch (const platform::Error&) {
    return false;
  }
}

}  // namespace

// The seven stored properties, in the order they are read and written.
const std::vector<ucQuillet::PersistedProperty>& ucQuillet::persistedProperties() {
  static const std::vector<PersistedProperty> properties = {
      {"CSVFile", Value(kNotSpecified), [](const ucQuillet& q) { return Value(q.csvFile_); },
       [](ucQuillet& q, const Value& v) { q.csvFile_ = platform::toText(v); }},
      {"ColumnDefinitionFile", Value(kNotSpecified), [](const ucQuillet& q) { return Value(q.columnDefinitionFile_); },
       [](ucQuillet& q, const Value& v) { q.columnDefinitionFile_ = platform::toText(v); }},
      {"EOF", Value(false), [](const ucQuillet& q) { return Value(q.eof_); },
       [](ucQuillet& q, const Value& v) { q.eof_ = storedNumber<bool>(v); }},
      {"MaxCols", Value(int32_t{0}), [](const ucQuillet& q) { return Value(q.maxCols_); },
       [](ucQuillet& q, const Value& v) { q.maxCols_ = storedNumber<int32_t>(v); }},
      {"LastInvalidValue", Value(int16_t{0}), [](const ucQuillet& q) { return q.lastInvalidValue_; },
       [](ucQuillet& q, const Value& v) { q.lastInvalidValue_ = v; }},
      {"LastInvalidColumn", Value(int16_t{0}), [](const ucQuillet& q) { return q.lastInvalidColumn_; },
       [](ucQuillet& q, const Value& v) { q.lastInvalidColumn_ = v; }},
      {"CurrentLine", Value(int32_t{0}), [](const ucQuillet& q) { return Value(q.currentLine_); },
       [](ucQuillet& q, const Value& v) { q.currentLine_ = storedNumber<int32_t>(v); }},
  };
  return properties;
}

// --- Properties ---

void ucQuillet::CSVFile(const std::string& path) {
  csvFile_ = path;
  notifyChanged("CSVFile");
}

void ucQuillet::ColumnDefinitionFile(const std::string& path) {
  columnDefinitionFile_ = path;
  notifyChanged("ColumnDefinitionFile");
}

void ucQuillet::EOF_(bool) { refuseAssignment(); }
void ucQuillet::MaxCols(int32_t) { refuseAssignment(); }
void ucQuillet::LastInvalidValue(const Value&) { refuseAssignment(); }
void ucQuillet::LastInvalidColumn(const Value&) { refuseAssignment(); }
void ucQuillet::CurrentLine(int32_t) { refuseAssignment(); }

void ucQuillet::refuseAssignment() const {
  platform::raise(designMode_ ? platform::err::kReadOnlyAtDesignTime : platform::err::kReadOnlyAtRunTime);
}

void ucQuillet::notifyChanged(const std::string& property) {
  if (host_) host_->propertyChanged(property);
}

platform::TextEncoding ucQuillet::encoding() const {
  return stream_ ? stream_->encoding() : platform::TextEncoding::Cp1252;
}

ReadProgress ucQuillet::progress() const {
  return stream_ ? ReadProgress{stream_->bytesRead(), stream_->totalBytes()} : ReadProgress{};
}

bool ucQuillet::lineWasCut() const { return stream_ && stream_->lineWasCut(); }

// --- Reading the file ---

Fields ucQuillet::OpenCSV(bool firstLineColumnNames, bool /*validateData*/) {
  if (csvFile_ == kNotSpecified) platform::raise(CSVMAN_ERROR_CSVFILENOTSPECIFIED);
  platform::Env* env = platform::env();
  if (csvFile_ != platform::kStandardInput && !env->fileExists(csvFile_)) {
    platform::raise(CSVMAN_ERROR_CSVFILENOTFOUND);
  }
  stream_ = env->openTextFile(csvFile_, platform::IOMode::ForReading, false, platform::TextEncoding::Cp1252);
  maxCols_ = 0;
  Fields headings;
  if (firstLineColumnNames) headings = readHeadings();
  eof_ = false;
  return headings;
}

Fields ucQuillet::readHeadings() {
  currentLine_ = stream_->line();
  Fields headings = parseLine(stream_->readLine());
  maxCols_ = static_cast<int32_t>(headings.size());
  buildColumnTable(headings);
  return headings;
}

// Adds one record per heading, numbered from 1, under its lower-case name.
// A name already in the table fails with Error 457, and a position beyond
// the 16-bit range with Error 6; the records added before remain.
void ucQuillet::buildColumnTable(const Fields& headings) {
  for (size_t i = 0; i < headings.size(); ++i) {
    if (i >= static_cast<size_t>(INT16_MAX)) platform::raise(platform::err::kOverflow);
    bool added = columns_.try_emplace(columnKey(headings[i]), static_cast<int16_t>(i + 1)).second;
    if (!added) platform::raise(platform::err::kDuplicateKey);
  }
}

const Fields& ucQuillet::ReadLine(int32_t /*lineNumber*/) {
  platform::TextStream& stream = openStream();
  currentLine_ = stream.line();
  const std::string line = stream.readLine();
  currentFields_.reset();  // the last line's fields go before the next are made
  currentFields_ = parseLine(line);
  maxCols_ = std::max(maxCols_, static_cast<int32_t>(currentFields_->size()));
  eof_ = endFollows(stream);
  return *currentFields_;
}

void ucQuillet::CloseCSV() {
  openStream().close();
  stream_.reset();
  eof_ = true;
}

platform::TextStream& ucQuillet::openStream() {
  if (!stream_) platform::raise(platform::err::kObjectNotSet);
  return *stream_;
}

// --- Columns and validation ---

// Keys are lower case, so a name found as it is was already lower case; only
// a name not found that way is folded and looked up again.
const cColInfo& ucQuillet::columnInfo(const std::string& columnName) const {
  auto found = columns_.find(std::string_view(columnName));
  if (found == columns_.end()) found = columns_.find(columnKey(columnName));
  if (found == columns_.end()) platform::raise(CSVMAN_ERROR_COLUMNNOTFOUND);
  return found->second;
}

cColInfo& ucQuillet::column(const std::string& columnName) {
  return const_cast<cColInfo&>(std::as_const(*this).columnInfo(columnName));
}

cColInfo& ucQuillet::headingColumn(const std::string& columnName) {
  if (columns_.empty()) platform::raise(CSVMAN_ERROR_HEADINGSNOTSPECIFIED);
  return column(columnName);
}

const std::string& ucQuillet::fieldAt(int16_t index) const {
  if (!currentFields_) platform::raise(platform::err::kObjectNotSet);
  if (static_cast<size_t>(index) > currentFields_->size()) {
    platform::raise(platform::err::kSubscriptOutOfRange);
  }
  return (*currentFields_)[index - 1];
}

int16_t ucQuillet::getColumnIndex(const std::string& columnName) { return headingColumn(columnName).Index; }

std::string ucQuillet::getValue(const std::string& column) {
  cColInfo& info = headingColumn(column);
  const std::string& value = fieldAt(info.Index);
  if (!value.empty() && !info.accepts(value)) {
    setLastInvalid(column, value);
    platform::raise(CSVMAN_ERROR_VALIDATIONFAILED);
  }
  setLastInvalid(std::string(), std::string());
  return value;
}

void ucQuillet::setLastInvalid(Value column, Value value) {
  lastInvalidColumn_ = std::move(column);
  lastInvalidValue_ = std::move(value);
}

// With rangeCheck the text is "min,max": the bounds are stored and the
// pattern is left alone; a text without a comma fails with Error 9 once
// RangeCheck and MinValue are set.
void ucQuillet::setColumnValidation(const std::string& columnName, const std::string& regExpression, bool rangeCheck) {
  cColInfo& info = column(columnName);
  if (!rangeCheck) {
    info.setPattern(regExpression);
    return;
  }
  size_t comma = regExpression.find(',');
  info.RangeCheck = true;
  info.MinValue = regExpression.substr(0, comma);
  if (comma == std::string::npos) platform::raise(platform::err::kSubscriptOutOfRange);
  std::string_view rest = std::string_view(regExpression).substr(comma + 1);
  info.MaxValue = rest.substr(0, rest.find(','));
}

// --- Host events ---

void ucQuillet::UserControl_InitProperties() {
  for (const PersistedProperty& p : persistedProperties()) p.set(*this, p.defaultValue);
}

void ucQuillet::UserControl_ReadProperties(IPropertyStore& store) {
  for (const PersistedProperty& p : persistedProperties()) {
    p.set(*this, store.readProperty(p.storeName, p.defaultValue));
  }
}

void ucQuillet::UserControl_WriteProperties(IPropertyStore& store) {
  for (const PersistedProperty& p : persistedProperties()) {
    store.writeProperty(p.storeName, p.get(*this), p.defaultValue);
  }
}

void ucQuillet::attachHost(IPropertyStore* store, bool designMode) {
  host_ = store;
  designMode_ = designMode;
}

}  // namespace quillet

// The factory the component loader looks up by name.
extern "C" __attribute__((visibility("default"))) void* createucQuillet() {
  return static_cast<quillet::IucQuillet*>(new quillet::ucQuillet());
}
