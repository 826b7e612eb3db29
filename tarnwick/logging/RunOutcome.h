// What the run's exit status reports: whether a job ran, whether any line or
// step of it failed, and whether a signal interrupted it.
#pragma once

namespace tarnwick {

class RunOutcome {
 public:
  static constexpr int kSuccess = 0;
  static constexpr int kSomethingFailed = 1;
  static constexpr int kNoJobRan = 2;
  static constexpr int kInterruptedBase = 128;

  // A run-time failure was logged, or an input line failed.
  static void noteFailure();
  // The export or the import started.
  static void noteJobStarted();

  // 128 + the signal number after SIGINT, SIGTERM or SIGHUP; otherwise 2
  // when no job ran, 1 when something failed, else 0.
  static int exitStatus();

  static void reset();

 private:
  static bool failed_;
  static bool jobStarted_;
};

}  // namespace tarnwick
