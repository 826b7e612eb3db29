#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QuilletTestSupport.h"
#include "quillet/MemoryPropertyStore.h"
#include "ucQuillet.h"

namespace quillet {
namespace {

using platform::Value;
using quillet_test::errorNumberOf;
using quillet_test::writeCsv;

TEST(PropertiesTest, AHostThatStoredNothingGivesTheDefaults) {
  MemoryPropertyStore store;
  ucQuillet reader;
  reader.UserControl_ReadProperties(store);
  EXPECT_EQ(reader.CSVFile(), "0");
  EXPECT_EQ(reader.ColumnDefinitionFile(), "0");
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(reader.MaxCols(), 0);
  EXPECT_EQ(reader.CurrentLine(), 0);
  EXPECT_EQ(reader.LastInvalidValue(), Value(int16_t{0}));
  EXPECT_EQ(reader.LastInvalidColumn(), Value(int16_t{0}));
  EXPECT_EQ(errorNumberOf([&] { reader.OpenCSV(true, true); }),
            CSVMAN_ERROR_CSVFILENOTSPECIFIED);
}

TEST(PropertiesTest, SavingAFreshInstanceStoresNothing) {
  MemoryPropertyStore store;
  ucQuillet().UserControl_WriteProperties(store);
  EXPECT_EQ(store.size(), 0u);
}

// Records every write, to show the order and the defaults given with them.
class RecordingStore : public IPropertyStore {
 public:
  Value readProperty(const std::string&, const Value& defaultValue) override {
    return defaultValue;
  }
  void propertyChanged(const std::string&) override {}
  void writeProperty(const std::string& name, const Value& value,
                     const Value& defaultValue) override {
    written.push_back(name + "=" + platform::toText(value) + "/" + platform::toText(defaultValue));
  }
  std::vector<std::string> written;
};

TEST(PropertiesTest, EveryPropertyIsWrittenInOrderWithItsDefault) {
  RecordingStore store;
  ucQuillet().UserControl_WriteProperties(store);
  EXPECT_EQ(store.written,
            (std::vector<std::string>{"CSVFile=0/0", "ColumnDefinitionFile=0/0",
                                      "EOF=False/False", "MaxCols=0/0", "LastInvalidValue=0/0",
                                      "LastInvalidColumn=0/0", "CurrentLine=0/0"}));
}

TEST(PropertiesTest, StateSavedAfterReadingIsRestoredIntoANewInstance) {
  ucQuillet reader;
  reader.CSVFile(writeCsv({"SerialNo,Name,X", "12a,n"}));
  reader.ColumnDefinitionFile("columns.def");
  reader.OpenCSV(true, true);
  reader.ReadLine();
  reader.setColumnValidation("serialno", "^\\d+$");
  EXPECT_NE(errorNumberOf([&] { reader.getValue("SerialNo"); }), 0);
  MemoryPropertyStore store;
  reader.UserControl_WriteProperties(store);
  EXPECT_EQ(store.size(), 7u);

  ucQuillet restored;
  restored.UserControl_ReadProperties(store);
  EXPECT_EQ(restored.CSVFile(), reader.CSVFile());
  EXPECT_EQ(restored.ColumnDefinitionFile(), "columns.def");
  EXPECT_TRUE(restored.EOF_());
  EXPECT_EQ(restored.MaxCols(), 3);
  EXPECT_EQ(restored.CurrentLine(), 2);
  EXPECT_EQ(restored.LastInvalidValue(), Value(std::string("12a")));
  EXPECT_EQ(restored.LastInvalidColumn(), Value(std::string("SerialNo")));
}

TEST(PropertiesTest, StoredNumbersOfAnotherWidthAreAccepted) {
  MemoryPropertyStore store;
  store.writeProperty("MaxCols", Value(int16_t{4}), Value(int32_t{0}));
  store.writeProperty("EOF", Value(int32_t{1}), Value(false));
  ucQuillet reader;
  reader.UserControl_ReadProperties(store);
  EXPECT_EQ(reader.MaxCols(), 4);
  EXPECT_TRUE(reader.EOF_());
}

TEST(PropertiesTest, StoredTextForANumberIsATypeMismatch) {
  MemoryPropertyStore store;
  store.writeProperty("CurrentLine", Value(std::string("two")), Value(int32_t{0}));
  ucQuillet reader;
  EXPECT_EQ(errorNumberOf([&] { reader.UserControl_ReadProperties(store); }), 13);
}

TEST(PropertiesTest, InitPropertiesReturnsToTheDefaults) {
  MemoryPropertyStore store;
  store.writeProperty("CSVFile", Value(std::string("in.csv")), Value(std::string("0")));
  store.writeProperty("CurrentLine", Value(int32_t{9}), Value(int32_t{0}));
  ucQuillet reader;
  reader.UserControl_ReadProperties(store);
  reader.UserControl_InitProperties();
  EXPECT_EQ(reader.CSVFile(), "0");
  EXPECT_EQ(reader.CurrentLine(), 0);
}

TEST(PropertiesTest, ChangingAPathTellsTheAttachedHost) {
  MemoryPropertyStore host;
  ucQuillet reader;
  reader.CSVFile("before-attach.csv");
  reader.attachHost(&host, false);
  reader.CSVFile("in.csv");
  reader.ColumnDefinitionFile("columns.def");
  EXPECT_EQ(host.changedProperties(),
            (std::vector<std::string>{"CSVFile", "ColumnDefinitionFile"}));
}

TEST(PropertiesTest, APathSetBackToItsDefaultIsDroppedFromTheStore) {
  MemoryPropertyStore store;
  ucQuillet reader;
  reader.CSVFile("in.csv");
  reader.UserControl_WriteProperties(store);
  EXPECT_TRUE(store.contains("CSVFile"));
  reader.CSVFile("0");
  reader.UserControl_WriteProperties(store);
  EXPECT_EQ(store.size(), 0u);
}

// Each read-only property's assignment, and a check that its value stayed.
struct ReadOnlyAssignment {
  const char* property;
  std::function<void(ucQuillet&)> assign;
  std::function<bool(const ucQuillet&)> unchanged;
};

std::vector<ReadOnlyAssignment> readOnlyAssignments() {
  return {
      {"EOF", [](ucQuillet& q) { q.EOF_(true); }, [](const ucQuillet& q) { return !q.EOF_(); }},
      {"MaxCols", [](ucQuillet& q) { q.MaxCols(5); },
       [](const ucQuillet& q) { return q.MaxCols() == 0; }},
      {"CurrentLine", [](ucQuillet& q) { q.CurrentLine(5); },
       [](const ucQuillet& q) { return q.CurrentLine() == 0; }},
      {"LastInvalidValue", [](ucQuillet& q) { q.LastInvalidValue(Value(std::string("v"))); },
       [](const ucQuillet& q) { return q.LastInvalidValue() == Value(int16_t{0}); }},
      {"LastInvalidColumn", [](ucQuillet& q) { q.LastInvalidColumn(Value(std::string("c"))); },
       [](const ucQuillet& q) { return q.LastInvalidColumn() == Value(int16_t{0}); }},
  };
}

TEST(PropertiesTest, ReadOnlyAssignmentsFailByModeAndChangeNothing) {
  for (bool designMode : {false, true}) {
    const int32_t expected = designMode ? platform::err::kReadOnlyAtDesignTime
                                        : platform::err::kReadOnlyAtRunTime;
    for (const ReadOnlyAssignment& a : readOnlyAssignments()) {
      // At run time the reader is left unattached, as a host may leave it.
      ucQuillet reader;
      MemoryPropertyStore host;
      if (designMode) reader.attachHost(&host, true);
      EXPECT_EQ(errorNumberOf([&] { a.assign(reader); }), expected) << a.property;
      EXPECT_TRUE(a.unchanged(reader)) << a.property;
    }
  }
}

}  // namespace
}  // namespace quillet
