#include "StdOutput.h"

#include "platform/Env.h"
#include "platform/Text.h"

namespace tarnwick {

void StdOutput::writeStdOut(const std::string& text) { platform::env()->writeStdOut(platform::toConsoleCharset(text)); }

// After the last CR LF the column is what follows it; without one, the
// column grows by the text's length in characters.
void StdOutput::WriteText(const std::string& text) {
  writeStdOut(text);
  size_t lineBreak = text.rfind("\r\n");
  if (lineBreak == std::string::npos) {
    column_ += static_cast<int32_t>(platform::utf8Length(text));
  } else {
    column_ = static_cast<int32_t>(platform::utf8Length(text.substr(lineBreak + 2)));
  }
}

void StdOutput::Column(int32_t n) {
  if (n > column_) writeStdOut(std::string(static_cast<size_t>(n - column_), ' '));
  column_ = n;
}

}  // namespace tarnwick
