#include "RunOutcome.h"

#include "platform/Env.h"

namespace tarnwick {

bool RunOutcome::failed_ = false;
bool RunOutcome::jobStarted_ = false;

void RunOutcome::noteFailure() { failed_ = true; }
void RunOutcome::noteJobStarted() { jobStarted_ = true; }

int RunOutcome::exitStatus() {
  if (int signal = platform::env()->interruptSignal()) return kInterruptedBase + signal;
  if (!jobStarted_) return kNoJobRan;
  return failed_ ? kSomethingFailed : kSuccess;
}

void RunOutcome::reset() {
  failed_ = false;
  jobStarted_ = false;
}

}  // namespace tarnwick
