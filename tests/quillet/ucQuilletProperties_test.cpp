// The reader's persistent properties, saved to and restored from a host's store.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "quillet/MemoryPropertyStore.h"
#include "ucQuillet.h"

namespace quillet {
namespace {

using platform::Value;
using platform::test::errorNumberOf;

// What a reader saves: nothing while every property keeps its default.
size_t savedCount(ucQuillet& reader) {
  MemoryPropertyStore store;
  reader.UserControl_WriteProperties(store);
  return store.size();
}

TEST(PropertiesTest, AHostThatStoredNothingGivesTheDefaultsAndDefaultsAreNotStored) {
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
  EXPECT_EQ(errorNumberOf([&] { reader.OpenCSV(true, true); }), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
  EXPECT_EQ(savedCount(reader), 0u);
  reader.CSVFile("in.csv");
  EXPECT_EQ(savedCount(reader), 1u);
  reader.CSVFile("0");
  EXPECT_EQ(savedCount(reader), 0u);
}

TEST(PropertiesTest, StateSavedAfterReadingIsRestoredIntoANewInstance) {
  platform::test::TempFolder folder;
  ucQuillet reader;
  reader.CSVFile(platform::test::writeLines(folder.path("in.csv"), {"SerialNo,Name,X", "12a,n"}));
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

TEST(PropertiesTest, StoredNumbersOfAnotherWidthAreAcceptedAndTextIsATypeMismatch) {
  MemoryPropertyStore store;
  store.writeProperty("MaxCols", Value(int16_t{4}), Value(int32_t{0}));
  store.writeProperty("EOF", Value(int32_t{1}), Value(false));
  ucQuillet reader;
  reader.UserControl_ReadProperties(store);
  EXPECT_EQ(reader.MaxCols(), 4);
  EXPECT_TRUE(reader.EOF_());
  store.writeProperty("CurrentLine", Value(std::string("two")), Value(int32_t{0}));
  EXPECT_EQ(errorNumberOf([&] { reader.UserControl_ReadProperties(store); }), 13);
}

TEST(PropertiesTest, ChangingAPathTellsTheAttachedHost) {
  MemoryPropertyStore host;
  ucQuillet reader;
  reader.CSVFile("before-attach.csv");
  reader.attachHost(&host, false);
  reader.CSVFile("in.csv");
  reader.ColumnDefinitionFile("columns.def");
  EXPECT_EQ(host.changedProperties(), (std::vector<std::string>{"CSVFile", "ColumnDefinitionFile"}));
}

TEST(PropertiesTest, ReadOnlyAssignmentsFailByModeAndChangeNothing) {
  const std::function<void(ucQuillet&)> assignments[] = {
      [](ucQuillet& q) { q.EOF_(true); },
      [](ucQuillet& q) { q.MaxCols(5); },
      [](ucQuillet& q) { q.CurrentLine(5); },
      [](ucQuillet& q) { q.LastInvalidValue(Value(std::string("v"))); },
      [](ucQuillet& q) { q.LastInvalidColumn(Value(std::string("c"))); },
  };
  for (bool designMode : {false, true}) {
    for (size_t i = 0; i < std::size(assignments); ++i) {
      // At run time the reader is left unattached, as a host may leave it.
      ucQuillet reader;
      MemoryPropertyStore host;
      if (designMode) reader.attachHost(&host, true);
      EXPECT_EQ(errorNumberOf([&] { assignments[i](reader); }),
                designMode ? platform::err::kReadOnlyAtDesignTime : platform::err::kReadOnlyAtRunTime)
          << i;
      EXPECT_EQ(savedCount(reader), 0u) << i;
    }
  }
}

}  // namespace
}  // namespace quillet
