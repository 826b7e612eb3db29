// What the program knows about itself: where it is, what it is called, and
// its product name and version (set once, in the build's project version).
#pragma once

#include <string>

namespace platform {

// The directory that holds the running executable.
std::string programFolder();

// The environment variable that names the data folder.
inline constexpr const char* kDataFolderVariable = "TARNWICK_HOME";

// The folder that holds the logs, the embedded database and the default
// export: the one TARNWICK_HOME names (made absolute), else the program
// folder. Fails with Error 76, its text saying why, when TARNWICK_HOME is
// set but empty or names no folder: a mistyped name never leads a run to
// another database.
std::string dataFolder();

// The executable's file name without its extension ("tarnwick"; a copy
// named "nodeadmin" says "nodeadmin").
std::string programName();

std::string productName();  // "Tarnwick"
int versionMajor();         // 1
int versionMinor();         // 1
int versionRevision();      // 1

}  // namespace platform
