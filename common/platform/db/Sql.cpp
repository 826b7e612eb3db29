#include "Sql.h"

#include <charconv>

namespace platform::db::sql {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordChar(char c) { return isLetter(c) || isDigit(c); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Reads a statement token by token, skipping blanks between tokens.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  // The next run of letters, digits and "_" ("" when none follows).
  std::string_view word() {
    skipBlanks();
    size_t start = pos_;
    while (pos_ < text_.size() && isWordChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  bool keyword(std::string_view expected) { return equalsIgnoreCase(word(), expected); }

  // Consumes `c` when it is the next character after blanks.
  bool symbol(char c) {
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool atEnd() {
    skipBlanks();
    return pos_ == text_.size();
  }

  std::string_view rest() const { return text_.substr(pos_); }

  // Text in single quotes, opening quote already consumed; "''" is one quote.
  std::optional<std::string> quotedText() {
    std::string text;
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c != '\'') {
        text += c;
      } else if (pos_ < text_.size() && text_[pos_] == '\'') {
        text += '\'';
        ++pos_;
      } else {
        return text;
      }
    }
    return std::nullopt;
  }

  // A decimal number with optional sign and fraction.
  std::optional<double> number() {
    skipBlanks();
    size_t start = pos_;
    if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
    while (pos_ < text_.size() && (isDigit(text_[pos_]) || text_[pos_] == '.')) ++pos_;
    std::string_view digits = text_.substr(start, pos_ - start);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
  }

 private:
  void skipBlanks() {
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

std::optional<double> numberOf(const Value& value) {
  if (auto* text = std::get_if<std::string>(&value)) {
    Scanner scanner(*text);
    auto number = scanner.number();
    return scanner.atEnd() ? number : std::nullopt;
  }
  if (auto* i16 = std::get_if<int16_t>(&value)) return *i16;
  if (auto* i32 = std::get_if<int32_t>(&value)) return *i32;
  if (auto* i64 = std::get_if<int64_t>(&value)) return static_cast<double>(*i64);
  if (auto* real = std::get_if<double>(&value)) return *real;
  return std::nullopt;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += separator;
    text += parts[i];
  }
  return text;
}

}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool isPlainIdentifier(std::string_view name) {
  if (name.empty() || !isLetter(name.front())) return false;
  for (char c : name) {
    if (!isWordChar(c)) return false;
  }
  return true;
}

std::string quotedName(std::string_view name, const NameRules& rules) {
  const bool quoting = !rules.quote.empty() && rules.quote != " ";
  const char doubled = quoting && rules.quote.size() == 1 ? rules.quote[0] : '\0';
  std::string quoted;
  quoted.reserve(name.size() + 2 * rules.quote.size() + 2);
  if (quoting) quoted += rules.quote;
  for (char c : name) {
    if (rules.unquoted == NameCase::Lower) c = lower(c);
    if (rules.unquoted == NameCase::Upper) c = upper(c);
    quoted += c;
    if (doubled != '\0' && c == doubled) quoted += c;
  }
  if (quoting) quoted += rules.quote;
  return quoted;
}

std::string quotedName(const ColumnName& column, const NameRules& rules) {
  if (!column.spelledByEngine) return quotedName(column.name, rules);
  return quotedName(column.name, NameRules{rules.quote, NameCase::AsWritten});
}

std::optional<std::string> dataSourceName(std::string_view connectionString) {
  while (!connectionString.empty()) {
    size_t end = connectionString.find(';');
    std::string_view pair = connectionString.substr(0, end);
    connectionString = end == std::string_view::npos ? std::string_view() : connectionString.substr(end + 1);
    size_t equals = pair.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = trimmed(pair.substr(0, equals));
    std::string_view value = trimmed(pair.substr(equals + 1));
    if ((equalsIgnoreCase(key, "Data Source") || equalsIgnoreCase(key, "DSN")) && !value.empty()) {
      return std::string(value);
    }
  }
  return std::nullopt;
}

std::string sqliteConnectString(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text = "db=file:";
  for (char c : path) {
    if (isWordChar(c) || c == '/' || c == '-' || c == '.' || c == '~') {
      text += c;
    } else {
      auto byte = static_cast<unsigned char>(c);
      text += {'%', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  return text;
}

std::string onOneLine(std::string_view text) {
  std::string line;
  bool atBreak = false;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      atBreak = true;
    } else if (!atBreak || !isBlank(c)) {
      if (atBreak && !line.empty() && line.back() != ' ') line += ' ';
      atBreak = false;
      line += c;
    }
  }
  return line;
}

std::string withoutDeleteStar(std::string_view statement) {
  Scanner scanner(statement);
  if (scanner.keyword("DELETE") && scanner.symbol('*') && scanner.keyword("FROM")) {
    return "DELETE FROM" + std::string(scanner.rest());
  }
  return std::string(statement);
}

namespace {

bool isSelect(std::string_view statement) { return Scanner(statement).keyword("SELECT"); }

std::optional<std::string> singleTableOf(std::string_view select) {
  Scanner scanner(select);
  if (!scanner.keyword("SELECT") || !scanner.symbol('*') || !scanner.keyword("FROM")) return std::nullopt;
  std::string_view table = scanner.word();
  if (!isPlainIdentifier(table)) return std::nullopt;
  if (scanner.atEnd()) return std::string(table);
  std::string_view next = scanner.word();
  if (equalsIgnoreCase(next, "WHERE") || (equalsIgnoreCase(next, "ORDER") && scanner.keyword("BY"))) {
    return std::string(table);
  }
  return std::nullopt;
}

}  // namespace

StatementForm statementForm(std::string_view sql) {
  StatementForm form{withoutDeleteStar(sql), false, std::nullopt};
  form.isSelect = isSelect(form.statement);
  if (form.isSelect) form.table = singleTableOf(form.statement);
  return form;
}

std::optional<Criterion> parseCriterion(std::string_view text) {
  Scanner scanner(text);
  std::string_view column = scanner.word();
  if (!isPlainIdentifier(column) || !scanner.symbol('=')) return std::nullopt;
  Criterion criterion{std::string(column), Value()};
  if (scanner.symbol('\'')) {
    auto quoted = scanner.quotedText();
    if (!quoted) return std::nullopt;
    criterion.value = std::move(*quoted);
  } else {
    auto number = scanner.number();
    if (!number) return std::nullopt;
    criterion.value = *number;
  }
  if (!scanner.atEnd()) return std::nullopt;
  return criterion;
}

bool matchesCriterion(const Value& value, const Value& wanted) {
  if (isNull(value)) return false;
  if (auto* text = std::get_if<std::string>(&wanted)) return toText(value) == *text;
  auto number = numberOf(value);
  return number && *number == std::get<double>(wanted);
}

std::string withNamedMarkers(std::string_view statement) {
  std::string named;
  named.reserve(statement.size() + 8);
  char quote = 0;  // the quote of the text we are in, if any
  int markers = 0;
  for (char c : statement) {
    if (quote == 0 && c == '?') {
      named += ":p" + std::to_string(++markers);
      continue;
    }
    if (c == quote) {
      quote = 0;
    } else if (quote == 0 && (c == '\'' || c == '"' || c == '`')) {
      quote = c;
    }
    named += c;
  }
  return named;
}

std::vector<std::string> splitScript(std::string_view script) {
  std::vector<std::string> statements;
  std::string current;
  auto finishStatement = [&] {
    std::string_view statement = trimmed(current);
    if (!statement.empty()) statements.emplace_back(statement);
    current.clear();
  };
  bool inQuotes = false;
  for (size_t i = 0; i < script.size(); ++i) {
    char c = script[i];
    std::string_view rest = script.substr(i);
    if (!inQuotes && (rest.starts_with("--") || rest.starts_with("/*"))) {
      size_t end = rest.starts_with("--") ? rest.find('\n') : rest.find("*/");
      i = end == std::string_view::npos ? script.size() : i + end + (rest[0] == '/' ? 1 : 0);
      current += '\n';
      continue;
    }
    if (c == '\'') inQuotes = !inQuotes;
    if (!inQuotes && c == ';') {
      finishStatement();
      continue;
    }
    current += c;
  }
  finishStatement();
  return statements;
}

std::string insertStatement(const std::string& table, const std::vector<std::string>& columns,
                            const std::vector<bool>& given, const std::vector<std::string>& defaults) {
  if (columns.empty()) return "INSERT INTO " + table + " DEFAULT VALUES";
  std::vector<std::string> rows;
  for (size_t first = 0; first < given.size(); first += columns.size()) {
    std::vector<std::string> cells;
    for (size_t i = 0; i < columns.size(); ++i) cells.push_back(given[first + i] ? "?" : defaults[i]);
    rows.push_back("(" + joined(cells, ", ") + ")");
  }
  return "INSERT INTO " + table + " (" + joined(columns, ", ") + ") VALUES " + joined(rows, ", ");
}

std::string updateStatement(const std::string& table, const std::vector<std::string>& setColumns,
                            const std::vector<std::string>& keyColumns, const std::vector<bool>& keyIsNull) {
  std::vector<std::string> assignments;
  for (const auto& column : setColumns) assignments.push_back(column + " = ?");
  std::vector<std::string> conditions;
  for (size_t i = 0; i < keyColumns.size(); ++i) {
    conditions.push_back(keyColumns[i] + (keyIsNull[i] ? " IS NULL" : " = ?"));
  }
  return "UPDATE " + table + " SET " + joined(assignments, ", ") + " WHERE " + joined(conditions, " AND ");
}

}  // namespace platform::db::sql
