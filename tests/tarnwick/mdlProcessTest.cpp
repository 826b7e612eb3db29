#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "nodes/mdlProcess.h"

namespace tarnwick {
namespace {

TEST(FormatWindowTime, EmptyWindowSpansTheDayAndOneLeadingZeroIsDropped) {
  struct Case {
    const char* text;
    bool isBegin;
    const char* stored;
  } cases[] = {
      {"", true, "12:00AM"},      {"", false, "11:59PM"},          {"08:30", true, "8:30"},
      {"00:15", false, "0:15"},   {"17:45", true, "17:45"},         {"9:05pm", false, "9:05pm"},
      {"9:00 am", true, "9:00 am"}, {"11:30:15 PM", true, "11:30:15 PM"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatWindowTime(c.text, c.isBegin), c.stored) << c.text;
}

TEST(GetColumnNames, NineteenColumnsInExportOrder) {
  std::vector<std::string> expected = {
      "NodeType",        "Action",        "SerialNo",       "Name",
      "VeltroServerName", "VeltroSMTPSuffix", "Codec",        "PhoneNo",
      "Extension",       "DialSequence",  "NormalBeginTime", "NormalEndTime",
      "NormalInterval",  "UrgentBeginTime", "UrgentEndTime", "UrgentInterval",
      "AdministrationBeginTime", "AdministrationEndTime", "AdministrationInterval"};
  EXPECT_EQ(getColumnNames(), expected);
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick::test {
namespace {

class WriteOutputTest : public ProgramTest {};

// The export leaves its file open as the run's output file; later lines go
// after its header.
TEST_F(WriteOutputTest, QuotesEveryFieldAndAddsOutcomeAndDetailsWhenGiven) {
  std::string path = env.folder.path("out.csv");
  exportData(path);
  EXPECT_TRUE(writeOutput({"a,b", "say \"hi\"", ""}, false, std::string()));
  EXPECT_TRUE(writeOutput({"x"}, true, std::string("why")));
  EXPECT_TRUE(writeOutput({"y"}));
  std::string bytes = platform::test::readBytes(path);
  std::string body = bytes.substr(bytes.find("\r\n") + 2);
  EXPECT_EQ(body, "\"a,b\",\"say \"hi\"\",\"\",\"Successful\",\"\"\r\n\"x\",\"Error\",\"why\"\r\n\"y\"\r\n");
  EXPECT_EQ(messageOf(logLines().back()), "\"y\"");
  EXPECT_EQ(logLines().back().substr(0, 17).substr(9), "VerInfo:");
}

TEST_F(WriteOutputTest, EmptyValueListIsLoggedAndTheLineStartsWithTheOutcome) {
  std::string path = env.folder.path("out.csv");
  exportData(path);
  EXPECT_TRUE(writeOutput({}, true, std::string("none")));
  auto lines = logLines();
  EXPECT_EQ(messageOf(lines[lines.size() - 2]), "Err.Number = 5 Err.Description = Invalid procedure call or argument Line: 2");
  EXPECT_EQ(messageOf(lines.back()), ",\"Error\",\"none\"");
  std::string bytes = platform::test::readBytes(path);
  EXPECT_EQ(bytes.substr(bytes.size() - 17), ",\"Error\",\"none\"\r\n");
}

}  // namespace
}  // namespace tarnwick::test
