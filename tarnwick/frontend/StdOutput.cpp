#include "StdOutput.h"

#include "platform/Env.h"
#include "platform/Text.h"

namespace tarnwick {

void StdOutput::writeStdOut(const std::string& text) { platform::env()->writeStdOut(platform::toConsoleCharset(text)); }

void StdOutput::WriteText(const std::string& text) {
  writeStdOut(text);
  column_ = columnAfter(column_, text);
}

void StdOutput::Column(int32_t n) {
  if (n > column_) writeStdOut(std::string(static_cast<size_t>(n - column_), ' '));
  column_ = n;
}

}  // namespace tarnwick
