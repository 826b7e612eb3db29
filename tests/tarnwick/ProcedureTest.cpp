#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "logging/Procedure.h"

namespace tarnwick::test {
namespace {

class ProcedureTest : public ProgramTest {
 protected:
  // A traced call whose steps 1..failures fail with Error 5, then one more step.
  bool callFailing(int failures, bool* lastStepRan = nullptr) {
    Procedure p("mdlTest", "work");
    return p.run([&] {
      for (int line = 1; line <= failures; ++line) {
        p.step(line, [] { platform::raise(platform::err::kInvalidArgument); });
      }
      p.step(99, [&] { if (lastStepRan) *lastStepRan = true; });
      p.traceExit(100);
    });
  }

  // The messages logged from the last call's entry on.
  std::vector<std::string> messagesAfterEntry() {
    std::vector<std::string> messages;
    for (const auto& line : logLines()) {
      if (messageOf(line) == "Entering [mdlTest]work_0") messages.clear();
      messages.push_back(messageOf(line));
    }
    return messages;
  }
};

const std::string kFailure = "  Err.Number = 5 Err.Description = Invalid procedure call or argument";

// Ten failures are logged with their line and the call completes; the
// eleventh ends the call with two lines and leaves the depth one higher.
TEST_F(ProcedureTest, EleventhFailureEndsTheCall) {
  for (int failures : {10, 11}) {
    SCOPED_TRACE(failures);
    bool completes = failures == 10, lastStepRan = false;
    EXPECT_EQ(callFailing(failures, &lastStepRan), completes);
    EXPECT_EQ(lastStepRan, completes);
    auto messages = messagesAfterEntry();
    ASSERT_EQ(messages.size(), 2u + failures);
    EXPECT_EQ(messages[1], kFailure + " Line: 1");
    EXPECT_EQ(messages[10], kFailure + " Line: 10");
    EXPECT_TRUE(completes ? messages[11].starts_with("Exiting  [mdlTest]work_0 Start: ") : messages[11] == kFailure)
        << messages[11];
    if (!completes) {
      EXPECT_EQ(messages[12], "  Error count exceeded, forcing exit from [mdlTest]work");
    }
    EXPECT_EQ(Log().depth(), failures - 10);
  }
  // The entry that was never closed makes the next call of the tag number 1.
  callFailing(0);
  EXPECT_EQ(messageOf(logLines().back()).rfind("  Exiting  [mdlTest]work_1 Start: ", 0), 0u);
}

TEST_F(ProcedureTest, UncountedSpecialCaseNeverReachesTheLimitAndCanLeaveTheCall) {
  Procedure p("mdlTest", "special");
  int handled = 0;
  p.onError(-1, [&](const Procedure::Failure& f) {
    ++handled;
    return f.line == 50 ? Procedure::Then::LeaveCall : Procedure::Then::NextStep;
  }, false);
  bool reachedEnd = false;
  EXPECT_TRUE(p.run([&] {
    for (int line = 1; line <= 20; ++line) p.step(line, [] { throw platform::Error(-1, "special"); });
    p.step(50, [] { throw platform::Error(-1, "special"); });
    reachedEnd = true;
  }));
  EXPECT_EQ(handled, 21);
  EXPECT_FALSE(reachedEnd);
  EXPECT_EQ(p.errorCount(), 0);
}

// A foreign exception becomes an error; a nested call forced out does not end its caller.
TEST_F(ProcedureTest, ForeignExceptionsAndNestedForcedExitsStayInsideTheirCall) {
  Procedure outer("mdlTest", "outer", Procedure::Tracing::Off);
  bool callerWentOn = false;
  outer.run([&] {
    outer.step(7, [] { throw std::out_of_range("vector index"); });
    outer.step(8, [&] { callFailing(11); });
    outer.step(9, [&] { callerWentOn = true; });
  });
  EXPECT_TRUE(callerWentOn);
  EXPECT_EQ(outer.errorCount(), 1);
  auto lines = logLines();
  EXPECT_NE(std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
              return messageOf(line) == "Err.Number = 51 Err.Description = vector index Line: 7";
            }), lines.end());
}

}  // namespace
}  // namespace tarnwick::test
