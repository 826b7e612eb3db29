// Creates components by their programmatic identifier. "Quillet.ucQuillet"
// is served by libquillet.so in the program folder, opened at run time; the
// library exports a factory function named after the class.
#pragma once

#include <string>

namespace platform {

// The library that serves the component `progId` ("Library.Class"):
// lib<library lower-case>.so in the program folder.
std::string componentLibraryFile(const std::string& progId);

// A new instance of the component `progId`: opens its library and calls
// its exported function "create<Class>" (here createucQuillet), which returns
// the instance; the caller owns it and casts it to the component's interface.
// A missing library or factory fails with Error 429.
void* createComponent(const std::string& progId);

}  // namespace platform
