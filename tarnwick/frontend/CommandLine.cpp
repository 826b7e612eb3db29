#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

#include "logging/RunOutcome.h"
#include "platform/Env.h"
#include "platform/Text.h"

namespace tarnwick {

namespace {

bool startsOption(char c) { return c == '/' || c == '-'; }

std::string quoted(const std::string& text) { return text.find('"') == std::string::npos ? "\"" + text + "\"" : text; }

// Option words start with "-" ("-" alone is standard input, a value) or
// with "/" and an option name up to the next "/" or ":": "/e/i" is two
// options, "/srv/in/nodes.csv" a path.
bool isOptionWord(const std::string& word) {
  if (word.empty() || word == platform::kStandardInput || !startsOption(word.front())) return false;
  if (word.front() == '-') return true;
  const size_t end = word.find_first_of("/:", 1);
  return optionKey(std::string_view(word).substr(1, end == std::string::npos ? end : end - 1)).has_value();
}

std::string argumentWord(const std::string& word) {
  // A known "--name" is written by its key, so a name holding "-" stays whole.
  if (word.starts_with("--")) {
    if (std::optional<std::string> key = optionKey(std::string_view(word).substr(2))) return "/" + *key;
  }
  if (!isOptionWord(word)) return quoted(word);
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
  const std::string text =
      "[X] Command Line Argument Error\r\n"
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
  explicit Tokeniser(bool endOnRepeat) : endOnRepeat_(endOnRepeat) {}

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
    const std::string key = optionKey(name_).value_or(lowerCase(name_));
    if (!options_.exists(key)) {
      options_.add(key, value_);
    } else if (endOnRepeat_) {
      showDuplicateOption(name_);
    }
    name_.clear();
    value_.clear();
  }

  const bool endOnRepeat_;
  Options options_;
  std::string name_;
  std::string value_;
  bool inName_ = false;
  bool inValue_ = false;
  bool inQuotes_ = false;
};

}  // namespace

std::optional<std::string> optionKey(std::string_view name) {
  const std::string lower = lowerCase(std::string(name));
  for (const OptionName& option : kOptionNames) {
    if (lower == option.name) return option.key;
  }
  return std::nullopt;
}

std::optional<std::string> unknownOption(const Options& options) {
  for (const auto& entry : options) {
    const std::string& key = entry.first;
    if (std::none_of(std::begin(kOptionNames), std::end(kOptionNames),
                     [&](const OptionName& option) { return key == option.key; })) {
      return key;
    }
  }
  return std::nullopt;
}

std::string buildArgumentText(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) {
    if (!text.empty()) text += ' ';
    text += argumentWord(word);
  }
  return text;
}

Options parseCommandLine(const std::string& argumentText) { return Tokeniser(true).run(argumentText); }

Options scanCommandLine(const std::string& argumentText) { return Tokeniser(false).run(argumentText); }

}  // namespace tarnwick
