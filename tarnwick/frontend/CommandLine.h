// CommandLine: turns the words the shell passed into the options dictionary
// (option key -> value text).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/KeyedTable.h"

namespace tarnwick {

using Options = platform::KeyedTable<std::string>;

// Every option name the program knows, as typed after "/" or "-" (in any
// case) or after "--", and the key its value is stored under. A name that
// is not here makes the run show the usage screen and do nothing; a shell
// word "/name..." whose name is not here is a value, such as a path.
struct OptionName {
  const char* name;
  const char* key;
};
inline constexpr OptionName kOptionNames[] = {
    {"e", "e"},              // export, to the file given or NodeExport.csv
    {"i", "i"},              // import the file given ("-": standard input)
    {"o", "o"},              // the import's result file
    {"n", "n"},              // a dry run: the import stores nothing, /n
    {"dry-run", "n"},        //   or --dry-run
    {"q", "q"},              // quiet: no line for each line or node, /q
    {"quiet", "q"},          //   or --quiet
    {"u", "u"},              // the export in UTF-8
    {"?", "help"},           // the usage screen: /? or -?,
    {"h", "help"},           //   -h,
    {"help", "help"},        //   --help
    {"version", "version"},  // the banner line: --version
};

// The key of a known option name; none for a name the program does not know.
std::optional<std::string> optionKey(std::string_view name);

// The first key in `options` that no known option is stored under; none
// when every one is known.
std::optional<std::string> unknownOption(const Options& options);

// The argument text built from the shell's words, joined by single blanks,
// so that every word's value stays whole: an option word ("/x" or "-x") is
// kept up to its first ":" and the rest is quoted; a known "--name" becomes
// "/" + its key; any other word is quoted, and so are "-" alone and a word
// "/..." whose first part (up to the next "/" or ":") is no option name. A
// word that already holds a double quote is left as it is.
std::string buildArgumentText(const std::vector<std::string>& words);

// Cuts the argument text into options. "/" or "-" start a name, ":" or a
// blank end it, a value runs to the next blank; double quotes keep blanks,
// colons, "/" and "-" inside a value. A known name is stored under its key,
// any other in lower case. A repeated option shows the "Command Line
// Argument Error" box and ends the process with status 2.
Options parseCommandLine(const std::string& argumentText);

// The same cut without side effects: a repeated option keeps its first value.
Options scanCommandLine(const std::string& argumentText);

}  // namespace tarnwick
