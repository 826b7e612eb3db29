#include "RunConsole.h"

#include <chrono>
#include <cmath>

#include "platform/Locale.h"

namespace tarnwick {

namespace {

constexpr auto kChangeInterval = std::chrono::milliseconds(100);
const char* const kEraseLine = "\r\x1b[K";  // back to the start of the line, and clear it

// "1:05" or "2:01:05".
std::string clockText(int64_t seconds) {
  auto twoDigits = [](int64_t n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
  const std::string secondsPart = ":" + twoDigits(seconds % 60);
  if (seconds < 3600) return std::to_string(seconds / 60) + secondsPart;
  return std::to_string(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + secondsPart;
}

// "Lines done: 12,345 (45%), 6,789 lines/s, 0:12 left": what is not known
// yet is left out.
std::string progressText(int32_t lines, const quillet::ReadProgress& read, platform::Clock::duration elapsed) {
  const double seconds = std::chrono::duration<double>(elapsed).count();
  std::string text = "Lines done: " + platform::formatGrouped(static_cast<uint64_t>(lines));
  if (read.totalBytes > 0) text += " (" + std::to_string(read.bytesRead * 100 / read.totalBytes) + "%)";
  if (seconds <= 0) return text;
  text += ", " + platform::formatGrouped(static_cast<uint64_t>(lines / seconds)) + " lines/s";
  if (read.bytesRead == 0 || read.bytesRead > read.totalBytes) return text;
  const double left = seconds * static_cast<double>(read.totalBytes - read.bytesRead) /
                      static_cast<double>(read.bytesRead);
  return text + ", " + clockText(std::llround(left)) + " left";
}

}  // namespace

ProgressLine::ProgressLine()
    : shown_(platform::env()->isTerminal(platform::StandardStream::Error)),
      sharesTerminal_(shown_ && platform::env()->isTerminal(platform::StandardStream::Output)),
      start_(shown_ ? platform::env()->now() : platform::TimePoint()) {}

// Drawn afresh at most once per interval; console text that cleared it in
// between leaves it away until then, so it never shows a stale count.
void ProgressLine::update(int32_t lines, const quillet::ReadProgress& read) {
  if (!shown_) return;
  const platform::TimePoint now = platform::env()->now();
  if (lastDrawn_ && now - *lastDrawn_ < kChangeInterval) return;
  lastDrawn_ = now;
  platform::env()->writeStdErr("\r" + progressText(lines, read, now - start_) + "\x1b[K");
  drawn_ = true;
}

void ProgressLine::clearForConsole() {
  if (drawn_ && sharesTerminal_) erase();
}

void ProgressLine::finish() {
  if (drawn_) erase();
  shown_ = false;
}

void ProgressLine::erase() {
  platform::env()->writeStdErr(kEraseLine);
  drawn_ = false;
}

void RunConsole::WriteText(const std::string& text) {
  if (holding_) {
    held_ += text;
    column_ = columnAfter(column_, text);
    return;
  }
  clearProgress();
  target_.WriteText(text);
}

void RunConsole::Column(int32_t n) {
  if (!holding_) {
    clearProgress();
    target_.Column(n);
    return;
  }
  if (n > column_) held_.append(static_cast<size_t>(n - column_), ' ');
  column_ = n;
}

void RunConsole::showProgress(int32_t lines, const quillet::ReadProgress& read) {
  if (progress_) progress_->update(lines, read);
}

void RunConsole::clearProgress() {
  if (progress_) progress_->clearForConsole();
}

void RunConsole::holdLine() {
  if (holding_) return;
  holding_ = true;
  column_ = target_.Column();
}

void RunConsole::endLine(bool show) {
  if (!holding_) return;
  holding_ = false;
  if (show && !held_.empty()) {
    WriteText(held_);
    target_.Column(column_);
  }
  held_.clear();
}

}  // namespace tarnwick
