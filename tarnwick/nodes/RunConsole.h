// RunConsole and ProgressLine: the console as the import and the export
// print to it, and the import's progress on standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "logging/PrintTarget.h"
#include "platform/Env.h"
#include "quillet/Quillet.h"

namespace tarnwick {

// How far an import has come, on one line of standard error when that is a
// terminal: lines done, the share of the input's bytes read, lines a second
// and the time left. It is drawn at most ten times a second, cleared before
// console text goes to the same terminal, and erased at the end. Elsewhere
// it does nothing.
class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine() { finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(int32_t lines, const quillet::ReadProgress& read);
  // Clears the line when standard output shares its terminal.
  void clearForConsole();
  // Erases the line for good.
  void finish();

 private:
  void erase();

  bool shown_;           // standard error is a terminal
  bool sharesTerminal_;  // and so is standard output
  bool drawn_ = false;
  platform::TimePoint start_;
  std::optional<platform::TimePoint> lastDrawn_;
};

// Passes the jobs' text on to the run's print target. Between holdLine()
// and endLine() it keeps the text of the input line in hand, to show it
// only when the line failed (a quiet import); and while an import shows its
// progress, it clears the progress line out of the way of what it writes.
class RunConsole : public IPrintTarget {
 public:
  explicit RunConsole(IPrintTarget& target) : target_(target) {}

  void WriteText(const std::string& text) override;
  void Column(int32_t n) override;
  int32_t Column() const override { return holding_ ? column_ : target_.Column(); }

  void holdLine();
  // Writes the text kept since holdLine() when `show`, else drops it.
  void endLine(bool show);

  // The progress line, from startProgress() to endProgress(), which erases it.
  void startProgress() { progress_.emplace(); }
  void showProgress(int32_t lines, const quillet::ReadProgress& read);
  void endProgress() { progress_.reset(); }

 private:
  void clearProgress();

  IPrintTarget& target_;
  std::optional<ProgressLine> progress_;
  bool holding_ = false;
  std::string held_;
  int32_t column_ = 0;  // while holding: the column after the held text
};

}  // namespace tarnwick
