// CommandLine: turns the words the shell passed into the options dictionary
// (lower-case option name -> value text).
#pragma once

#include <string>
#include <vector>

#include "platform/KeyedTable.h"

namespace tarnwick {

using Options = platform::KeyedTable<std::string>;

// The argument text built from the shell's words, joined by single blanks,
// so that every word's value stays whole: an option word ("/x" or "-x") is
// kept up to its first ":" and the rest is quoted; any other word is quoted.
// A word that already holds a double quote is left as it is.
std::string buildArgumentText(const std::vector<std::string>& words);

// Cuts the argument text into options. "/" or "-" start a name, ":" or a
// blank end it, a value runs to the next blank; double quotes keep blanks,
// colons, "/" and "-" inside a value. A repeated option shows the
// "Command Line Argument Error" box and ends the process with status 2.
Options parseCommandLine(const std::string& argumentText);

}  // namespace tarnwick
