#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "platform/KeyedTable.h"

namespace platform {
namespace {

using test::errorNumberOf;
using Keys = std::vector<std::string>;

TEST(KeyedTable, KeepsInsertionOrder) {
  KeyedTable<int> table;
  table.add("o", 1);
  table.add("e", 2);
  table.add("i", 3);
  table.set("e", 20);  // an existing key keeps its place
  table.remove("o");
  table.set("o", 10);  // a removed key comes back at the end
  EXPECT_EQ(table.keys(), (Keys{"e", "i", "o"}));
  EXPECT_EQ(table.item("e"), 20);
  EXPECT_EQ(table.count(), 3u);
}

TEST(KeyedTable, KeysAreCaseSensitiveAndUnique) {
  KeyedTable<std::string> table;
  table.add("Key", "upper");
  table.add("key", "lower");
  EXPECT_EQ(errorNumberOf([&] { table.add("key", "again"); }), 457);
  EXPECT_EQ(table.item("Key"), "upper");
  EXPECT_EQ(table.item("key"), "lower");
  EXPECT_FALSE(table.exists("KEY"));
  EXPECT_EQ(errorNumberOf([&] { table.item("KEY"); }), 5);
  EXPECT_EQ(errorNumberOf([&] { table.remove("KEY"); }), 5);
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
  copy.add("c", 3);
  EXPECT_EQ(copy.keys(), (Keys{"a", "c"}));
  EXPECT_EQ(copy.item("a"), 100);
}

}  // namespace
}  // namespace platform
