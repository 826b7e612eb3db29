// ucQuillet: the CSV reader control. It streams one file line by line, keeps
// the fields of the line last read, finds columns by their heading (without
// regard to case) and tests each non-empty value against its column's
// pattern. It raises every failure to its host and shows and logs nothing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cColInfo.h"
#include "platform/Env.h"
#include "quillet/Quillet.h"

namespace quillet {

class ucQuillet final : public IucQuillet {
 public:
  // A new instance, its properties at their defaults.
  ucQuillet() { UserControl_InitProperties(); }

  std::string CSVFile() const override { return csvFile_; }
  void CSVFile(const std::string& path) override;
  std::string ColumnDefinitionFile() const override { return columnDefinitionFile_; }
  void ColumnDefinitionFile(const std::string& path) override;
  const Fields& ReadLine(int32_t lineNumber = 0) override;
  void CloseCSV() override;
  bool EOF_() const override { return eof_; }
  void EOF_(bool value) override;
  int32_t MaxCols() const override { return maxCols_; }
  void MaxCols(int32_t value) override;
  Fields OpenCSV(bool firstLineColumnNames, bool validateData) override;
  std::string getValue(const std::string& column) override;
  int16_t getColumnIndex(const std::string& columnName) override;
  void setColumnValidation(const std::string& columnName, const std::string& regExpression,
                           bool rangeCheck = false) override;
  platform::Value LastInvalidValue() const override { return lastInvalidValue_; }
  void LastInvalidValue(const platform::Value& value) override;
  platform::Value LastInvalidColumn() const override { return lastInvalidColumn_; }
  void LastInvalidColumn(const platform::Value& value) override;
  int32_t CurrentLine() const override { return currentLine_; }
  void CurrentLine(int32_t value) override;

  void UserControl_InitProperties() override;
  void UserControl_ReadProperties(IPropertyStore& store) override;
  void UserControl_WriteProperties(IPropertyStore& store) override;
  void attachHost(IPropertyStore* store, bool designMode) override;

  platform::TextEncoding encoding() const override;
  ReadProgress progress() const override;
  bool lineWasCut() const override;

  // The record of a column named `columnName` in any case; fails with
  // CSVMAN_ERROR_COLUMNNOTFOUND when no heading has that name.
  const cColInfo& columnInfo(const std::string& columnName) const;

 private:
  // A property kept in the host's store, with its store name and default.
  struct PersistedProperty {
    const char* storeName;
    platform::Value defaultValue;
    platform::Value (*get)(const ucQuillet&);
    void (*set)(ucQuillet&, const platform::Value&);
  };
  static const std::vector<PersistedProperty>& persistedProperties();

  cColInfo& column(const std::string& columnName);
  cColInfo& headingColumn(const std::string& columnName);
  const std::string& fieldAt(int16_t index) const;
  platform::TextStream& openStream();
  Fields readHeadings();
  void buildColumnTable(const Fields& headings);
  void setLastInvalid(platform::Value column, platform::Value value);
  [[noreturn]] void refuseAssignment() const;
  void notifyChanged(const std::string& property);

  std::string csvFile_;
  std::string columnDefinitionFile_;
  bool eof_ = false;
  int32_t maxCols_ = 0;
  int32_t currentLine_ = 0;
  platform::Value lastInvalidValue_;
  platform::Value lastInvalidColumn_;

  std::unique_ptr<platform::TextStream> stream_;
  // Hashes a key given as any text, so lookups need no copy of the name.
  struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };
  // Lower-case heading -> record; never emptied.
  std::unordered_map<std::string, cColInfo, KeyHash, std::equal_to<>> columns_;
  std::optional<Fields> currentFields_;  // none before the first line read

  IPropertyStore* host_ = nullptr;
  bool designMode_ = false;
};

}  // namespace quillet
