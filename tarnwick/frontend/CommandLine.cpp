#include "CommandLine.h"

#include <algorithm>
#include <cctype>

#include "logging/RunOutcome.h"
#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace tarnwick {

namespace {

bool startsOption(char c) { return c == '/' || c == '-'; }

std::string quoted(const std::string& text) {
  return text.find('"') == std::string::npos ? "\"" + text + "\"" : text;
}

std::string argumentWord(const std::string& word) {
  if (word.empty() || !startsOption(word.front())) return quoted(word);
  size_t colon = word.find(':');
  if (colon == std::string::npos || colon + 1 == word.size()) return word;
  return word.substr(0, colon + 1) + quoted(word.substr(colon + 1));
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The duplicate-option message box, on standard error. It waits for Enter
// only when a person is at the terminal; then the process ends.
void showDuplicateOption(const std::string& nameAsTyped) {
  const std::string text = "[X] Command Line Argument Error\r\n"
                           "The command line arguments specified are invalid.\r\n"
                           "You can not specify argument: " +
                           nameAsTyped +
                           " twice.\r\n"
                           "Please remove the duplicate arguments and try again.\r\n";
  platform::Env* env = platform::env();
  env->writeStdErr(platform::toConsoleCharset(text));
  if (env->isInteractive()) {
    env->writeStdErr("Press Enter to close.\r\n");
    env->waitForEnter();
  }
  env->exitProcess(RunOutcome::kNoJobRan);
}

class Tokeniser {
 public:
  Options run(const std::string& text) {
    for (char c : text) take(c);
    if (!name_.empty()) store();
    return std::move(options_);
  }

 private:
  void take(char c) {
    if (startsOption(c) && !inQuotes_) {
      if (!name_.empty()) store();
      inName_ = true;
      inValue_ = false;
    } else if (c == '"') {
      inQuotes_ = !inQuotes_;
    } else if (!isSeparator(c) || inQuotes_) {
      if (inName_) {
        name_ += c;
      } else if (inValue_) {
        value_ += c;
      }
    } else if (inName_) {
      inName_ = false;
      inValue_ = true;
    } else if (!name_.empty()) {
      store();
    }
  }

  static bool isSeparator(char c) { return c == ':' || c == '\t' || c == ' '; }

  void store() {
    try {
      options_.add(lowerCase(name_), value_);
    } catch (const platform::Error& e) {
      if (e.number() != platform::err::kDuplicateKey) throw;
      showDuplicateOption(name_);
    }
    name_.clear();
    value_.clear();
  }

  Options options_;
  std::string name_;
  std::string value_;
  bool inName_ = false;
  bool inValue_ = false;
  bool inQuotes_ = false;
};

}  // namespace

std::string buildArgumentText(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) {
    if (!text.empty()) text += ' ';
    text += argumentWord(word);
  }
  return text;
}

Options parseCommandLine(const std::string& argumentText) { return Tokeniser().run(argumentText); }

}  // namespace tarnwick
