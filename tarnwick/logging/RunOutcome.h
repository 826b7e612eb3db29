// What the run's exit status reports: whether a job ran, whether any line or
// step of it failed, and whether a signal interrupted it.
#pragma once

namespace tarnwick::RunOutcome {

inline constexpr int kSuccess = 0;
inline constexpr int kSomethingFailed = 1;
inline constexpr int kNoJobRan = 2;
inline constexpr int kInterruptedBase = 128;

// 128 + the signal number after SIGINT, SIGTERM or SIGHUP; otherwise 2 when
// no job ran, 1 when something failed (an input line, or a step whose
// failure the log holds), else 0.
int exitStatus(bool jobRan, bool somethingFailed);

}  // namespace tarnwick::RunOutcome
