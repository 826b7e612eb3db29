// The command-line tokeniser, alone and behind the argument-text builder. The
// input is cut at NUL bytes into the shell's words; the builder joins them and
// the tokeniser cuts the text again. The raw input is tokenised as well.
//
// Beyond not crashing: when every word is an option, "/name:value" or "/name"
// (or the same with "-"), with a name free of separators, quotes and option
// characters and a value free of quotes (and, after "/", a name the program
// knows), and a "/name" may be followed by one plain word as its value, the
// options come back exactly as the words gave them, under the key of a known
// name or else the name in lower case; a key repeated ends the process instead.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "frontend/CommandLine.h"
#include "platform/Env.h"

namespace {

using fuzz::check;

// Ending the process is turned into this exception; nothing is written.
struct ProcessEnded {};

class QuietEnv : public platform::EnvWrapper {
 public:
  QuietEnv() : EnvWrapper(platform::Env::Default()) {}
  void writeStdErr(const std::string&) override {}
  void writeStdOut(const std::string&) override {}
  bool isInteractive() override { return false; }
  [[noreturn]] void exitProcess(int) override { throw ProcessEnded{}; }
};

struct ExpectedOption {
  std::string key;
  std::string value;
};

bool startsOption(char c) { return c == '/' || c == '-'; }

bool isPlainName(const std::string& name) {
  return !name.empty() && name.find_first_of("/-\": \t") == std::string::npos;
}

// The option an option word gives; none when the word is outside the
// checked form. `bare` tells whether the word had no ":".
std::optional<ExpectedOption> optionOf(const std::string& word, bool& bare) {
  if (word.empty() || !startsOption(word.front())) return std::nullopt;
  const size_t colon = word.find(':');
  bare = colon == std::string::npos;
  const std::string name = word.substr(1, bare ? std::string::npos : colon - 1);
  const std::string value = bare ? "" : word.substr(colon + 1);
  if (!isPlainName(name) || value.find('"') != std::string::npos) return std::nullopt;
  const std::optional<std::string> key = tarnwick::optionKey(name);
  if (word.front() == '/' && !key) return std::nullopt;  // a value such as a path
  return ExpectedOption{key.value_or(fuzz::asciiLowerCase(name)), value};
}

// A word a bare option takes as its value: not empty, no quote, no option start.
bool isPlainValueWord(const std::string& word) {
  return !word.empty() && !startsOption(word.front()) && word.find('"') == std::string::npos;
}

// The options the words stand for, or none when they fall outside the form.
std::optional<std::vector<ExpectedOption>> expectedOptions(const std::vector<std::string>& words) {
  std::vector<ExpectedOption> options;
  for (size_t i = 0; i < words.size(); ++i) {
    bool bare = false;
    std::optional<ExpectedOption> option = optionOf(words[i], bare);
    if (!option) return std::nullopt;
    if (bare && i + 1 < words.size() && !startsOption(words[i + 1].empty() ? ' ' : words[i + 1].front())) {
      if (!isPlainValueWord(words[i + 1])) return std::nullopt;
      option->value = words[++i];
    }
    options.push_back(*option);
  }
  return options;
}

bool hasRepeatedKey(const std::vector<ExpectedOption>& options) {
  for (size_t i = 0; i < options.size(); ++i) {
    for (size_t j = i + 1; j < options.size(); ++j) {
      if (options[i].key == options[j].key) return true;
    }
  }
  return false;
}

// The options parsed from `text`, or none when the process was ended.
std::optional<tarnwick::Options> parsed(const std::string& text) {
  try {
    return tarnwick::parseCommandLine(text);
  } catch (const ProcessEnded&) {
    return std::nullopt;
  }
}

void checkRoundTrip(const std::vector<ExpectedOption>& expected, const std::optional<tarnwick::Options>& options) {
  if (hasRepeatedKey(expected)) {
    check(!options.has_value());
    return;
  }
  check(options.has_value() && options->count() == expected.size());
  auto entry = options->begin();
  for (const ExpectedOption& option : expected) {
    check(entry->first == option.key && entry->second == option.value);
    ++entry;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietEnv env;
  platform::setEnv(&env);
  const std::string raw(fuzz::asText(data, size));
  parsed(raw);

  const std::vector<std::string> words = fuzz::splitAt(raw, '\0');
  const std::optional<tarnwick::Options> options = parsed(tarnwick::buildArgumentText(words));
  if (const auto expected = expectedOptions(words)) checkRoundTrip(*expected, options);
  return 0;
}
