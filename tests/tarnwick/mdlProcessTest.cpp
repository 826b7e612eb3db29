#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "nodes/NodeSchema.h"
#include "nodes/mdlProcess.h"

namespace tarnwick::test {
namespace {

TEST(FormatWindowTime, EmptyWindowSpansTheDayAndOneLeadingZeroIsDropped) {
  struct Case {
    const char* text;
    bool isBegin;
    const char* stored;
  } cases[] = {
      {"", true, "12:00AM"},        {"", false, "11:59PM"},   {"08:30", true, "8:30"},
      {"00:15", false, "0:15"},     {"17:45", true, "17:45"}, {"9:05pm", false, "9:05pm"},
      {"11:30:15 PM", true, "11:30:15 PM"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatWindowTime(c.text, c.isBegin), c.stored) << c.text;
}

class WriteOutputTest : public ProgramTest {};

// The export (of an empty database) leaves its file open as the run's output
// file; later lines go after its header. An empty value list is logged as an
// error and the line starts with the outcome.
TEST_F(WriteOutputTest, QuotesEveryFieldAndAddsOutcomeAndDetailsWhenGiven) {
  std::string path = env.folder.path("out.csv");
  ProgramObjects objects(console);
  objects.connection.openSqliteFile(env.folder.path("Pelagor.db"), nodeSchema());
  exportData(objects, path);
  EXPECT_TRUE(writeOutput(objects, {"a,b", "say \"hi\"", ""}, false, std::string()));
  EXPECT_TRUE(writeOutput(objects, {"x"}, true, std::string("why")));
  EXPECT_TRUE(writeOutput(objects, {}, true, std::string("none")));
  EXPECT_EQ(lastMessages(2), (std::vector<std::string>{
                                 "Err.Number = 5 Err.Description = Invalid procedure call or argument Line: 2",
                                 ",\"Error\",\"none\""}));
  EXPECT_TRUE(writeOutput(objects, {"y"}));
  EXPECT_EQ(logLines().back().substr(9), "VerInfo:(" + std::string(22, ' ') + "[mdlProcess]writeOutput) \"y\"");
  std::string bytes = platform::test::readBytes(path);
  EXPECT_EQ(bytes.substr(bytes.find("\r\n") + 2),
            "\"a,b\",\"say \"hi\"\",\"\",\"Successful\",\"\"\r\n\"x\",\"Error\",\"why\"\r\n,\"Error\",\"none\"\r\n\"y\"\r\n");
}

}  // namespace
}  // namespace tarnwick::test
