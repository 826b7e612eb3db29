#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "frontend/CommandLine.h"
#include "frontend/StdOutput.h"

namespace tarnwick::test {
namespace {

std::vector<std::pair<std::string, std::string>> entries(const Options& options) {
  return {options.begin(), options.end()};
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(ParseCommandLine, TokenisesArgumentText) {
  struct Case {
    const char* text;
    Pairs expected;
  } cases[] = {
      {"", {}},
      {"/i:nodes.csv /o:\"my results.csv\"", {{"i", "nodes.csv"}, {"o", "my results.csv"}}},
      {"/i nodes.csv", {{"i", "nodes.csv"}}},
      {"/e", {{"e", ""}}},
      {"/I:a/O:b", {{"i", "a"}, {"o", "b"}}},
      {"-i\tx.csv", {{"i", "x.csv"}}},
      {"/i:a.csv extra /o:b.csv", {{"i", "a.csv"}, {"o", "extrab.csv"}}},
      {"/i:C:\\data\\nodes.csv", {{"i", "C"}}},
      {"/i:\"C:\\my-data\\n.csv\"", {{"i", "C:\\my-data\\n.csv"}}},
      {"/i:\"/srv/in/a b.csv\"", {{"i", "/srv/in/a b.csv"}}},
      {"stray /e", {{"e", ""}}},
  };
  for (const auto& c : cases) EXPECT_EQ(entries(parseCommandLine(c.text)), c.expected) << c.text;
}

TEST(BuildArgumentText, KeepsEveryShellWordWhole) {
  struct Case {
    std::vector<std::string> words;
    const char* text;
    Pairs expected;
  } cases[] = {
      {{"/i:/srv/in/node-list.csv", "/o:my results.csv"},
       "/i:\"/srv/in/node-list.csv\" /o:\"my results.csv\"",
       {{"i", "/srv/in/node-list.csv"}, {"o", "my results.csv"}}},
      {{"-i", "nodes.csv"}, "-i \"nodes.csv\"", {{"i", "nodes.csv"}}},
      {{"/i", "my nodes.csv"}, "/i \"my nodes.csv\"", {{"i", "my nodes.csv"}}},
      {{"/i:a.csv", "extra", "/o:b.csv"}, "/i:\"a.csv\" \"extra\" /o:\"b.csv\"", {{"i", "a.csv"}, {"o", "extrab.csv"}}},
      {{"/E:/tmp/x.csv"}, "/E:\"/tmp/x.csv\"", {{"e", "/tmp/x.csv"}}},
      {{"/o:say\"hi\""}, "/o:say\"hi\"", {{"o", "sayhi"}}},
      {{"/e", "/i:x"}, "/e /i:\"x\"", {{"e", ""}, {"i", "x"}}},
  };
  for (const auto& c : cases) {
    std::string text = buildArgumentText(c.words);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(entries(parseCommandLine(text)), c.expected) << text;
  }
}

class DuplicateOptionTest : public ProgramTest {};

TEST_F(DuplicateOptionTest, ShowsBoxNamingSecondOccurrenceAsTypedAndEndsWithStatus2) {
  for (bool interactive : {false, true}) {
    env.err.clear();
    env.interactive = interactive;
    int status = -1;
    try {
      parseCommandLine("/i:a.csv /I:b.csv");
    } catch (const ProcessEnded& ended) {
      status = ended.status;
    }
    EXPECT_EQ(status, 2);
    std::string box =
        "[X] Command Line Argument Error\r\n"
        "The command line arguments specified are invalid.\r\n"
        "You can not specify argument: I twice.\r\n"
        "Please remove the duplicate arguments and try again.\r\n";
    EXPECT_EQ(env.err, interactive ? box + "Press Enter to close.\r\n" : box);
  }
  EXPECT_EQ(env.waits, 1);
  EXPECT_EQ(env.out, "");
}

class StdOutputTest : public ProgramTest {};

TEST_F(StdOutputTest, ColumnFollowsTextAfterLastLineBreak) {
  StdOutput console;
  console.WriteText("abc\r\nde");
  EXPECT_EQ(console.Column(), 2);
  console.WriteText("fgh");
  EXPECT_EQ(console.Column(), 5);
  console.Column(8);
  EXPECT_EQ(env.out, "abc\r\ndefgh   ");
  console.Column(3);
  EXPECT_EQ(console.Column(), 3);
  EXPECT_EQ(env.out, "abc\r\ndefgh   ");
  console.WriteText("\xC3\xA9\xC3\xA9");
  EXPECT_EQ(console.Column(), 5);
}

TEST_F(StdOutputTest, PrintLineEndsInCrLf) {
  printLine("one");
  printLine();
  EXPECT_EQ(env.out, "one\r\n\r\n");
}

}  // namespace
}  // namespace tarnwick::test
