// What the program knows about itself: where it is, what it is called, and
// its product name and version (set once, in the build's project version).
#pragma once

#include <string>

namespace platform {

// The directory that holds the running executable.
std::string programFolder();

// The executable's file name without its extension ("tarnwick"; a copy
// named "nodeadmin" says "nodeadmin").
std::string programName();

std::string productName();  // "Tarnwick"
int versionMajor();         // 1
int versionMinor();         // 1
int versionRevision();      // 1

}  // namespace platform
