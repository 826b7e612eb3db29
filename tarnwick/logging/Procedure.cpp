#include "Procedure.h"

#include <new>

#include "classLog.h"

namespace tarnwick {

namespace {
constexpr int16_t kErrorLimit = 10;
}  // namespace

Procedure::Procedure(const std::string& unit, const std::string& name, Tracing tracing)
    : tag_("[" + unit + "]" + name), tracing_(tracing) {}

void Procedure::onError(int32_t number, SpecialCase handler, bool counted) {
  claims_[number] = Claim{std::move(handler), counted};
}

void Procedure::onOtherErrors(SpecialCase handler) { otherErrors_ = std::move(handler); }

bool Procedure::run(StatementRef body) {
  try {
    if (tracing_ == Tracing::On) Log().enterProc(tag_);
    body();
  } catch (const Leave& leave) {
    if (leave.owner != this) throw;
  } catch (const ForcedOut& forced) {
    if (forced.owner != this) throw;
    return false;
  }
  return true;
}

void Procedure::step(int line, StatementRef statement) {
  try {
    statement();
  } catch (const platform::Error& error) {
    handle(error, line);
  } catch (const std::bad_alloc&) {
    handle(platform::Error::fromNumber(platform::err::kOutOfMemory), line);
  } catch (const std::exception& other) {
    handle(platform::Error(platform::err::kInternalError, other.what()), line);
  }
}

void Procedure::traceExit(int line) {
  step(line, [this] { Log().exitProc(tag_); });
}

void Procedure::leave() { throw Leave{this}; }

void Procedure::logFailure(const Failure& failure) const {
  Log().log(errorLine(failure.error) + " Line: " + std::to_string(failure.line), kError, tag_);
}

void Procedure::handle(const platform::Error& error, int line) {
  ++errorCount_;
  if (errorCount_ > kErrorLimit) {
    Log().log(errorLine(error), kError, tag_);
    Log().log("Error count exceeded, forcing exit from " + tag_, kError, tag_);
    forcedOutBy_ = error;
    throw ForcedOut{this};
  }
  Failure failure{error, line};
  auto claim = claims_.find(error.number());
  Then then = Then::NextStep;
  if (claim != claims_.end()) {
    if (!claim->second.counted) --errorCount_;
    then = claim->second.handler(failure);
  } else if (otherErrors_) {
    then = otherErrors_(failure);
  } else {
    logFailure(failure);
  }
  if (then == Then::LeaveCall) leave();
}

}  // namespace tarnwick
