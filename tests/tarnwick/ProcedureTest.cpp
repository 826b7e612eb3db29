#include "logging/Procedure.h"

#include <gtest/gtest.h>

#include "RecordingEnv.h"

namespace tarnwick::test {
namespace {

class ProcedureTest : public ProgramTest {
 protected:
  // A traced call whose steps 1..failures fail with Error 5, then step 99; whether step 99 ran.
  bool callFailing(int failures) {
    Procedure p("mdlTest", "work");
    bool lastStepRan = false;
    p.run([&] {
      for (int line = 1; line <= failures; ++line)
        p.step(line, [] { platform::raise(platform::err::kInvalidArgument); });
      p.step(99, [&] { lastStepRan = true; });
      p.traceExit(100);
    });
    return lastStepRan;
  }
};

// Ten failures are logged with their line and the call completes; the eleventh ends the call with two lines and without
// its exit trace, so the next call of the tag is number 1.
TEST_F(ProcedureTest, EleventhFailureEndsTheCall) {
  const std::string failure = "  Err.Number = 5 Err.Description = Invalid procedure call or argument";
  for (int failures : {10, 11}) {
    SCOPED_TRACE(failures);
    EXPECT_EQ(callFailing(failures), failures == 10);
    Lines messages = lastMessages(failures + 2);
    EXPECT_EQ(messages[0], "Entering [mdlTest]work_0");
    EXPECT_EQ((Lines{messages[1], messages[10]}), (Lines{failure + " Line: 1", failure + " Line: 10"}));
    if (failures == 10) {
      EXPECT_TRUE(messages[11].starts_with("Exiting  [mdlTest]work_0 Start: ")) << messages[11];
    } else {
      EXPECT_EQ(lastMessages(2), (Lines{failure, "  Error count exceeded, forcing exit from [mdlTest]work"}));
    }
    EXPECT_EQ(Log().depth(), failures - 10);
  }
  callFailing(0);
  EXPECT_TRUE(lastMessages(1)[0].starts_with("  Exiting  [mdlTest]work_1 Start: ")) << lastMessages(1)[0];
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
  EXPECT_TRUE(
      holds(platform::test::readBytes(Log().strLogFile()), "Err.Number = 51 Err.Description = vector index Line: 7"));
}

}  // namespace
}  // namespace tarnwick::test
