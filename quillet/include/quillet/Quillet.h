// The Quillet CSV reader control as its hosts see it. Tarnwick and any other
// host include this header and create the control by its programmatic
// identifier "Quillet.ucQuillet" (platform::createComponent). Failures are
// raised as platform::Error with the CSVMAN_ERRORS numbers below or the
// platform's own numbers; the control shows nothing and logs nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/Value.h"

namespace quillet {

// The reader's own error numbers (platform/Error.h holds their texts).
enum CSVMAN_ERRORS : int32_t {
  CSVMAN_ERROR_CSVFILENOTSPECIFIED = platform::err::kCsvFileNotSpecified,
  CSVMAN_ERROR_CSVFILENOTFOUND = platform::err::kCsvFileNotFound,
  CSVMAN_ERROR_HEADINGSNOTSPECIFIED = platform::err::kHeadingsNotSpecified,
  CSVMAN_ERROR_COLUMNNOTFOUND = platform::err::kColumnNotFound,
  CSVMAN_ERROR_VALIDATIONFAILED = platform::err::kValidationFailed,
};

// An ordered collection of texts; element 0 is field 1 of the line.
using Fields = std::vector<std::string>;

struct ReadProgress {
  uint64_t bytesRead = 0;
  uint64_t totalBytes = 0;
};

// The host's store of a control's properties (its form data).
class IPropertyStore {
 public:
  virtual ~IPropertyStore() = default;
  // The stored value of `name`, or `defaultValue` when none is stored.
  virtual platform::Value readProperty(const std::string& name, const platform::Value& defaultValue) = 0;
  // Stores `value` under `name`; a value equal to `defaultValue` need not be kept.
  virtual void writeProperty(const std::string& name, const platform::Value& value,
                             const platform::Value& defaultValue) = 0;
  // Told when a persistent property changed, so the host saves it.
  virtual void propertyChanged(const std::string& name) = 0;
};

// What the control shows while its host is being designed: one label.
// Positions and sizes are in twips.
struct ControlFace {
  const char* labelName;
  const char* caption;
  const char* fontName;
  int fontWeight;
  double fontSizePoints;
  int left, top, width, height;
};

inline constexpr ControlFace kControlFace{"lblCSV", ".CSV", "Courier New", 700, 14.25, 60, 120, 675, 315};

// The reader control, members in the order of its interface.
class IucQuillet {
 public:
  virtual ~IucQuillet() = default;

  // The file OpenCSV reads; "-" (platform::kStandardInput) reads standard input.
  virtual std::string CSVFile() const = 0;
  virtual void CSVFile(const std::string& path) = 0;
  virtual std::string ColumnDefinitionFile() const = 0;
  virtual void ColumnDefinitionFile(const std::string& path) = 0;
  // The fields of the next line; they stay valid until the next ReadLine or OpenCSV.
  virtual const Fields& ReadLine(int32_t lineNumber = 0) = 0;
  virtual void CloseCSV() = 0;
  virtual bool EOF_() const = 0;
  virtual void EOF_(bool value) = 0;  // read-only: always fails (382 / 387)
  virtual int32_t MaxCols() const = 0;
  virtual void MaxCols(int32_t value) = 0;  // read-only
  // The headings when FirstLineColumnNames is true, otherwise empty.
  virtual Fields OpenCSV(bool firstLineColumnNames, bool validateData) = 0;
  virtual std::string getValue(const std::string& column) = 0;
  virtual int16_t getColumnIndex(const std::string& columnName) = 0;
  virtual void setColumnValidation(const std::string& columnName, const std::string& regExpression,
                                   bool rangeCheck = false) = 0;
  virtual platform::Value LastInvalidValue() const = 0;
  virtual void LastInvalidValue(const platform::Value& value) = 0;  // read-only
  virtual platform::Value LastInvalidColumn() const = 0;
  virtual void LastInvalidColumn(const platform::Value& value) = 0;  // read-only
  virtual int32_t CurrentLine() const = 0;
  virtual void CurrentLine(int32_t value) = 0;  // read-only

  // Host events of a control (design-time properties).
  virtual void UserControl_InitProperties() = 0;
  virtual void UserControl_ReadProperties(IPropertyStore& store) = 0;
  virtual void UserControl_WriteProperties(IPropertyStore& store) = 0;
  // Attaches the host's store (told of changed properties) and its mode:
  // in design mode a read-only assignment fails with 387, at run time 382.
  virtual void attachHost(IPropertyStore* store, bool designMode) = 0;

  // How the open file is read: UTF-8 with its mark, UTF-8 throughout, or
  // Windows-1252 (platform::Env::openTextFile); Cp1252 while none is open.
  virtual platform::TextEncoding encoding() const = 0;

  // How far reading the open file has come: its bytes taken by the lines
  // read so far (the heading line included) and all its bytes; 0 and 0
  // while none is open.
  virtual ReadProgress progress() const = 0;

  // True when the line last read (the heading line after OpenCSV) was longer
  // than platform::kMaxLineBytes: its fields hold only its first bytes.
  virtual bool lineWasCut() const = 0;
};

}  // namespace quillet
