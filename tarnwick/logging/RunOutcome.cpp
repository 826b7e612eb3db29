#include "RunOutcome.h"

#include "platform/Env.h"

namespace tarnwick {

int RunOutcome::exitStatus(bool jobRan, bool somethingFailed) {
  if (int signal = platform::env()->interruptSignal()) return kInterruptedBase + signal;
  if (!jobRan) return kNoJobRan;
  return somethingFailed ? kSomethingFailed : kSuccess;
}

}  // namespace tarnwick
