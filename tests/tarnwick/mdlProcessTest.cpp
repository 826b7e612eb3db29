#include <gtest/gtest.h>

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
