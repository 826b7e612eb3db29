#include "frontend/StdOutput.h"

#include <gtest/gtest.h>

#include "RecordingEnv.h"

namespace tarnwick::test {
namespace {

class StdOutputTest : public ProgramTest {};

// The column follows the characters after the last line break; moving it
// forward pads with blanks, moving it back writes nothing.
TEST_F(StdOutputTest, ColumnFollowsTextAfterLastLineBreak) {
  console.WriteText("abc\r\nde");
  EXPECT_EQ(console.Column(), 2);
  console.WriteText("fgh");
  console.Column(8);
  console.Column(3);
  EXPECT_EQ(console.Column(), 3);
  printLine(console, "one");
  EXPECT_EQ(env.out, "abc\r\ndefgh   one\r\n");
  console.WriteText("\xC3\xA9\xC3\xA9");
  EXPECT_EQ(console.Column(), 2);
}

}  // namespace
}  // namespace tarnwick::test
