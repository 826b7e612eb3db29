// Text work of the record-set layer (private to it): reading the statements
// the program hands over, and writing the ones and the connection strings
// the layer runs and opens. Pure functions; nothing here talks to a database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/Value.h"

namespace platform::db::sql {

// ASCII letters compared without regard to case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// True for a plain SQL identifier: a letter or "_", then letters, digits, "_".
bool isPlainIdentifier(std::string_view name);

// How an engine reads names: the character that quotes one ("" or " " when
// names cannot be quoted) and the case it gives a name written unquoted.
enum class NameCase : uint8_t { AsWritten, Lower, Upper };
struct NameRules {
  std::string quote = "\"";
  NameCase unquoted = NameCase::AsWritten;
};

// `name` quoted so that it stands for what the name written unquoted stands
// for: in the case the engine gives unquoted names, a quote inside doubled.
// A reserved word (Interval) can name a column this way on every engine.
std::string quotedName(std::string_view name, const NameRules& rules);

// A column as a caller named it, or as the engine spells it (a name read
// back from a query, which stands for its column only as it is written).
struct ColumnName {
  std::string name;
  bool spelledByEngine = false;
  bool operator==(const ColumnName&) const = default;
  bool operator<(const ColumnName& other) const {
    return std::tie(name, spelledByEngine) < std::tie(other.name, other.spelledByEngine);
  }
};

// The column's name as statements write it: quoted as above, or, spelled by
// the engine, quoted as it stands.
std::string quotedName(const ColumnName& column, const NameRules& rules);

// The data-source name of an ADO-style connection string
// ("Data Source=Pelagor", also "DSN=Pelagor"; "key=value" pairs split by
// ";"); nullopt when it names none.
std::optional<std::string> dataSourceName(std::string_view connectionString);

// The SOCI connection string of the SQLite file at `path`: a URI file name
// ("db=file:" and the path with every byte but letters, digits and "/-._~"
// written as %XX), so blanks, quotes or "=" in a folder name can neither end
// the value nor add settings of their own.
std::string sqliteConnectString(std::string_view path);

// `text` with each line break, and the blanks and tabs that indent the next
// line, as one blank (none at the end): a driver's message may span lines,
// and it ends up in log and result-file lines.
std::string onOneLine(std::string_view text);

// "DELETE * FROM ..." as "DELETE FROM ..." (any case, any blanks); every
// other statement unchanged.
std::string withoutDeleteStar(std::string_view statement);

// What a record set makes of a statement text: the statement to run
// (withoutDeleteStar), whether it is a SELECT, and the table its rows can be
// written back to: the one of "SELECT * FROM Table [WHERE ...|ORDER BY ...]",
// none for any other form (a column list, a join, a sub-query).
struct StatementForm {
  std::string statement;
  bool isSelect = false;
  std::optional<std::string> table;
};
StatementForm statementForm(std::string_view sql);

// A find criterion "Column = value": a number, or text in single quotes
// with '' standing for one quote.
struct Criterion {
  std::string column;
  Value value;  // double for a number, std::string for quoted text
};
// nullopt when `text` is not of that form.
std::optional<Criterion> parseCriterion(std::string_view text);

// True when `value` satisfies a criterion value: numbers compare by value
// (text that reads as a number counts), text compares exactly; null never
// matches.
bool matchesCriterion(const Value& value, const Value& wanted);

// The statement with each "?" marker outside quoted text and names ('...',
// "...", `...`) turned into a numbered named one (":p1", ":p2", ...). The
// engines still bind values by position; the names let SOCI's ODBC backend
// describe a failing statement (it has no name for a "?" and throws
// std::out_of_range in place of the driver's message).
std::string withNamedMarkers(std::string_view statement);

// The statements of a script, split at ";" outside quotes and comments
// ("--" to the end of the line, "/* ... */"); comments dropped, blank
// statements skipped.
std::vector<std::string> splitScript(std::string_view script);

// "INSERT INTO t (a, b) VALUES (?, ?), (?, d)": one row of cells for each
// `columns.size()` flags of `given`, a cell "?" where its flag is set and
// the column's entry of `defaults` where it is not. With no columns, "INSERT
// INTO t DEFAULT VALUES" (one row). Names and defaults go in as given.
std::string insertStatement(const std::string& table, const std::vector<std::string>& columns,
                            const std::vector<bool>& given, const std::vector<std::string>& defaults);

// "UPDATE t SET a = ?, b = ? WHERE k1 = ? AND k2 IS NULL ...": one "= ?"
// per key that is not null, "IS NULL" for each null one. The keys' values
// are the caller's to bind after the SET values, nulls left out.
std::string updateStatement(const std::string& table, const std::vector<std::string>& setColumns,
                            const std::vector<std::string>& keyColumns, const std::vector<bool>& keyIsNull);

}  // namespace platform::db::sql
