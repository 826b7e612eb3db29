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
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "frontend/CommandLine.h"
#include "platform/Env.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

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

bool startsOption(const std::string& word) { return !word.empty() && (word[0] == '/' || word[0] == '-'); }

// The options the words stand for, or none when they fall outside the checked form.
std::optional<Pairs> expectedOptions(const std::vector<std::string>& words) {
  Pairs options;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!startsOption(word)) return std::nullopt;
    const size_t colon = word.find(':');
    std::string name = word.substr(1, colon == std::string::npos ? colon : colon - 1);
    std::string value = colon == std::string::npos ? "" : word.substr(colon + 1);
    if (colon == std::string::npos && i + 1 < words.size() && !startsOption(words[i + 1])) {
      value = words[++i];  // a plain word after "/name" is its value
      if (value.empty()) return std::nullopt;
    }
    if (name.empty() || name.find_first_of("/-\": \t") != std::string::npos || value.find('"') != std::string::npos) {
      return std::nullopt;
    }
    const std::optional<std::string> key = tarnwick::optionKey(name);
    if (word[0] == '/' && !key) return std::nullopt;  // a value such as a path
    options.emplace_back(key.value_or(fuzz::asciiLowerCase(name)), value);
  }
  return options;
}

// The options parsed from `text`, or none when the process was ended.
std::optional<Pairs> parsed(const std::string& text) {
  try {
    const tarnwick::Options options = tarnwick::parseCommandLine(text);
    return Pairs(options.begin(), options.end());
  } catch (const ProcessEnded&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietEnv env;
  platform::setEnv(&env);
  const std::string raw(fuzz::asText(data, size));
  parsed(raw);
  const std::vector<std::string> words = fuzz::splitAt(raw, '\0');
  const std::optional<Pairs> options = parsed(tarnwick::buildArgumentText(words));
  if (const std::optional<Pairs> expected = expectedOptions(words)) {
    std::set<std::string> names;
    for (const auto& option : *expected) names.insert(option.first);
    fuzz::check(names.size() < expected->size() ? !options : options == expected);
  }
  return 0;
}
