// Procedure: the error pattern shared by the program's procedures. A call is
// written as numbered steps. A failing step is counted, logged at level 2 as
// "Err.Number = ... Err.Description = ... Line: N", and the next step runs;
// the 11th failure in one call logs the two limit lines and ends the call at
// once, without the exit trace. A procedure may claim error numbers for its
// own special handling (validation failures, a file it may not open).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "platform/Error.h"

namespace tarnwick {

// A callable that is called before the call taking it returns, passed by
// reference: unlike std::function it never copies the callable (a lambda
// capturing more than two variables would be copied to the heap at every
// step of every line).
class StatementRef {
 public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<F>, StatementRef>>>
  StatementRef(F&& statement)  // NOLINT(google-explicit-constructor): takes lambdas as they are written
      : statement_(const_cast<void*>(static_cast<const void*>(std::addressof(statement)))),
        call_([](void* f) { (*static_cast<std::remove_reference_t<F>*>(f))(); }) {}
  void operator()() const { call_(statement_); }

 private:
  void* statement_;
  void (*call_)(void*);
};

class Procedure {
 public:
  enum class Tracing { On, Off };

  // What the call does after a special case has handled its error.
  enum class Then { NextStep, LeaveCall };

  struct Failure {
    const platform::Error& error;
    int line;
  };
  using SpecialCase = std::function<Then(const Failure&)>;

  // The tag is "[" + unit + "]" + name. With tracing on, run() reports the
  // entry and the body reports the exit with traceExit().
  Procedure(const std::string& unit, const std::string& name, Tracing tracing = Tracing::On);
  Procedure(const Procedure&) = delete;
  Procedure& operator=(const Procedure&) = delete;

  const std::string& tag() const { return tag_; }

  // Errors numbered `number` go to `handler` after the count and the limit
  // check. With `counted` false the count is taken back afterwards, so such
  // failures never accumulate toward the limit.
  void onError(int32_t number, SpecialCase handler, bool counted = true);

  // Every error that no onError claims goes to `handler` instead of the
  // standard line (after the count and the limit check).
  void onOtherErrors(SpecialCase handler);

  // Runs the call: the entry trace, then `body`. Returns false when the error
  // limit forced the call out, true otherwise (also after leave()).
  bool run(StatementRef body);

  // Runs statement number `line` under the error pattern.
  void step(int line, StatementRef statement);

  // Statement number `line` that reads a value into `target`. The target
  // takes `fallback` first, so a read that fails (logged and skipped like
  // any statement) leaves that answer and not the one an earlier pass read:
  // a failed end-of-data test must not keep a loop going.
  template <class T, class Read>
  void readWithDefault(int line, T& target, const T& fallback, Read&& read) {
    step(line, [&] {
      target = fallback;
      target = read();
    });
  }

  // Statement number `line` that reports the normal exit.
  void traceExit(int line);

  // Ends the call here (from the body or a special case).
  [[noreturn]] void leave();

  // The standard error line for a failure of statement `line`.
  void logFailure(const Failure& failure) const;

  int16_t errorCount() const { return errorCount_; }

  // The failure that forced the call out by the error limit, if one did.
  const std::optional<platform::Error>& forcedOutBy() const { return forcedOutBy_; }

 private:
  struct Leave {
    const Procedure* owner;
  };
  struct ForcedOut {
    const Procedure* owner;
  };
  struct Claim {
    SpecialCase handler;
    bool counted;
  };

  void handle(const platform::Error& error, int line);

  std::string tag_;
  Tracing tracing_;
  int16_t errorCount_ = 0;
  std::map<int32_t, Claim> claims_;
  SpecialCase otherErrors_;
  std::optional<platform::Error> forcedOutBy_;
};

}  // namespace tarnwick
