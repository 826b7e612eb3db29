#include "platform/KeyedTable.h"

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"

namespace platform {
namespace {

using test::errorNumberOf;
using Keys = std::vector<std::string>;

TEST(KeyedTable, KeepsInsertionOrderAndCaseSensitiveUniqueKeys) {
  KeyedTable<int> table;
  table.add("o", 1);
  table.add("e", 2);
  table.add("E", 3);
  table.set("e", 20);  // an existing key keeps its place
  table.remove("o");
  table.set("o", 10);  // a removed key comes back at the end
  EXPECT_EQ(table.keys(), (Keys{"e", "E", "o"}));
  EXPECT_EQ(table.item("e"), 20);
  EXPECT_EQ(table.item("E"), 3);
  EXPECT_EQ(errorNumberOf([&] { table.add("e", 4); }), 457);
  EXPECT_FALSE(table.exists("O"));
  EXPECT_EQ(errorNumberOf([&] { table.item("O"); }), 5);
  EXPECT_EQ(errorNumberOf([&] { table.remove("O"); }), 5);
}

TEST(KeyedTable, CopyIsIndependentOfTheOriginal) {
  auto original = std::make_unique<KeyedTable<int>>();
  original->add("a", 1);
  original->add("b", 2);
  KeyedTable<int> copy = *original;
  copy.set("a", 100);
  EXPECT_EQ(original->item("a"), 1);
  original.reset();
  copy.remove("b");
  EXPECT_EQ(copy.keys(), Keys{"a"});
}

}  // namespace
}  // namespace platform
