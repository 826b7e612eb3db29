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
using Texts = std::vector<std::string>;

// What a reader saves: nothing while every property keeps its default.
size_t savedCount(ucQuillet& reader) {
  MemoryPropertyStore store;
  reader.UserControl_WriteProperties(store);
  return store.size();
}

// Every property, as text, in a fixed order.
Texts state(ucQuillet& q) {
  return {q.CSVFile(), q.ColumnDefinitionFile(), std::to_string(q.EOF_()), std::to_string(q.MaxCols()),
          std::to_string(q.CurrentLine()), platform::toText(q.LastInvalidValue()),
          platform::toText(q.LastInvalidColumn())};
}

TEST(PropertiesTest, AHostThatStoredNothingGivesTheDefaultsAndDefaultsAreNotStored) {
  MemoryPropertyStore nothing;
  ucQuillet reader;
  reader.UserControl_ReadProperties(nothing);
  EXPECT_EQ(state(reader), (Texts{"0", "0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(reader.LastInvalidValue(), Value(int16_t{0}));
  EXPECT_EQ(errorNumberOf([&] { reader.OpenCSV(true, true); }), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
  EXPECT_EQ(savedCount(reader), 0u);
  reader.CSVFile("in.csv");
  EXPECT_EQ(savedCount(reader), 1u);
  reader.CSVFile("0");
  EXPECT_EQ(savedCount(reader), 0u);
}

// Stored numbers of another width are accepted; text for a number is a type mismatch.
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
  ucQuillet restored;
  restored.UserControl_ReadProperties(store);
  EXPECT_EQ(state(restored), (Texts{reader.CSVFile(), "columns.def", "1", "3", "2", "12a", "SerialNo"}));
  store.writeProperty("MaxCols", Value(int16_t{4}), Value(int32_t{0}));
  store.writeProperty("EOF", Value(int32_t{0}), Value(false));
  restored.UserControl_ReadProperties(store);
  EXPECT_EQ((std::vector<int>{restored.EOF_(), restored.MaxCols()}), (std::vector<int>{false, 4}));
  store.writeProperty("CurrentLine", Value(std::string("two")), Value(int32_t{0}));
  EXPECT_EQ(errorNumberOf([&] { restored.UserControl_ReadProperties(store); }), 13);
}

TEST(PropertiesTest, ChangingAPathTellsTheAttachedHost) {
  MemoryPropertyStore host;
  ucQuillet reader;
  reader.CSVFile("before-attach.csv");
  reader.attachHost(&host, false);
  reader.CSVFile("in.csv");
  reader.ColumnDefinitionFile("columns.def");
  EXPECT_EQ(host.changedProperties(), (Texts{"CSVFile", "ColumnDefinitionFile"}));
}

TEST(PropertiesTest, ReadOnlyAssignmentsFailByModeAndChangeNothing) {
  const std::function<void(ucQuillet&)> assignments[] = {
      [](ucQuillet& q) { q.EOF_(true); }, [](ucQuillet& q) { q.MaxCols(5); }, [](ucQuillet& q) { q.CurrentLine(5); },
      [](ucQuillet& q) { q.LastInvalidValue(Value(std::string("v"))); },
      [](ucQuillet& q) { q.LastInvalidColumn(Value(std::string("c"))); }};
  for (bool designMode : {false, true}) {
    for (const auto& assign : assignments) {
      ucQuillet reader;  // at run time left unattached, as a host may leave it
      MemoryPropertyStore host;
      if (designMode) reader.attachHost(&host, true);
      EXPECT_EQ(errorNumberOf([&] { assign(reader); }),
                designMode ? platform::err::kReadOnlyAtDesignTime : platform::err::kReadOnlyAtRunTime);
      EXPECT_EQ(savedCount(reader), 0u);
    }
  }
}

}  // namespace
}  // namespace quillet
